// A console for tests, fuzz targets and benchmarks: its answers are prepared
// beforehand (see held_file.hpp), and its output goes to a temporary file
// that is read back.
#pragma once

#include <unistd.h>

#include <memory>
#include <string>

#include "support/held_file.hpp"
#include "units/console.hpp"
#include "units/termination.hpp"

namespace elab_test {

class ScriptedConsole {
 public:
  enum class Feed { file, pipe };

  // shared: input and output share one line state, as on a terminal.
  // attach: make it the run's console, so that stops show their text there.
  explicit ScriptedConsole(const std::string& answers, bool shared = false, bool attach = false,
                           Feed feed = Feed::file)
      : attached_(attach),
        in_(feed == Feed::file ? file_holding(answers) : pipe_holding(answers)),
        out_(file_holding("")),
        console_(std::make_unique<units::Console>(in_, out_, shared)) {
    if (attached_) units::attach_console(console_.get());
  }
  ~ScriptedConsole() {
    if (attached_) units::attach_console(nullptr);
    console_.reset();
    ::close(in_);
    ::close(out_);
  }
  ScriptedConsole(const ScriptedConsole&) = delete;
  ScriptedConsole& operator=(const ScriptedConsole&) = delete;

  units::Console& console() { return *console_; }
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
  bool attached_;
  int in_;
  int out_;
  std::unique_ptr<units::Console> console_;
};

}  // namespace elab_test
