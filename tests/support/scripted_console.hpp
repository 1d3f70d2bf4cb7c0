// A console for tests, fuzz targets and benchmarks: its answers are prepared
// beforehand (see held_file.hpp), and its output goes to a temporary file
// that is read back.
#pragma once

#include <unistd.h>

#include <memory>
#include <string>

#include "support/held_file.hpp"
#include "cli/console.hpp"
#include "cli/dialogue.hpp"

namespace elab_test {

class ScriptedConsole {
 public:
  enum class Feed { file, pipe };

  // shared: input and output share one line state, as on a terminal.
  explicit ScriptedConsole(const std::string& answers, bool shared = false, Feed feed = Feed::file)
      : in_(feed == Feed::file ? file_holding(answers) : pipe_holding(answers)),
        out_(file_holding("")),
        console_(std::make_unique<units::Console>(in_, out_, shared)),
        asker_(*console_) {}
  ~ScriptedConsole() {
    console_.reset();
    ::close(in_);
    ::close(out_);
  }
  ScriptedConsole(const ScriptedConsole&) = delete;
  ScriptedConsole& operator=(const ScriptedConsole&) = delete;

  units::Console& console() { return *console_; }
  // The program's questions on this console.
  elab::ConsoleAsker& asker() { return asker_; }
  int out_fd() const { return out_; }

  // What has reached the output so far, without flushing the console.
  std::string shown() { return whole_file(out_); }

  // Everything written so far.
  std::string output() {
    console_->flush();
    return shown();
  }

  // Everything written, after the console is closed as at the end of a run.
  std::string closed_output() {
    console_->close();
    return shown();
  }

 private:
  int in_;
  int out_;
  std::unique_ptr<units::Console> console_;
  elab::ConsoleAsker asker_;
};

}  // namespace elab_test
