// A console for tests: its answers are written into a pipe beforehand and
// its output goes to a temporary file.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "textio/console.hpp"
#include "textio/termination.hpp"

class ScriptedConsole {
 public:
  // attach: make it the run's console, so that stops show their text there.
  explicit ScriptedConsole(const std::string& answers, bool shared = false, bool attach = false)
      : attached_(attach) {
    int p[2];
    EXPECT_EQ(::pipe(p), 0);
    EXPECT_EQ(::write(p[1], answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
    ::close(p[1]);
    in_ = p[0];
    out_file_ = std::tmpfile();
    console_ = std::make_unique<textio::Console>(in_, ::fileno(out_file_), shared);
    if (attached_) textio::attach_console(console_.get());
  }
  ~ScriptedConsole() {
    if (attached_) textio::attach_console(nullptr);
    console_.reset();
    ::close(in_);
    std::fclose(out_file_);
  }
  ScriptedConsole(const ScriptedConsole&) = delete;
  ScriptedConsole& operator=(const ScriptedConsole&) = delete;

  textio::Console& console() { return *console_; }

  // Everything written so far.
  std::string output() {
    console_->flush();
    return written();
  }

  // Everything written, after the console is closed as at the end of a run.
  std::string closed_output() {
    console_->close();
    return written();
  }

 private:
  std::string written() {
    std::string text;
    char buf[4096];
    ::lseek(::fileno(out_file_), 0, SEEK_SET);
    for (ssize_t n; (n = ::read(::fileno(out_file_), buf, sizeof buf)) > 0;)
      text.append(buf, static_cast<std::size_t>(n));
    return text;
  }

  bool attached_;
  int in_ = -1;
  std::FILE* out_file_ = nullptr;
  std::unique_ptr<textio::Console> console_;
};
