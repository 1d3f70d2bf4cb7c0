// ELAB_THREADS set, or not, for the life of one object: a test runs the
// program, or asks for its second thread, on one thread and on two.
#pragma once

#include <cstdlib>
#include <string>

namespace elab_test {

class ThreadsAsked {
 public:
  explicit ThreadsAsked(const char* value) {
    if (const char* old = std::getenv("ELAB_THREADS")) old_ = old;
    set(value);
  }
  ~ThreadsAsked() { set(old_.empty() ? nullptr : old_.c_str()); }
  ThreadsAsked(const ThreadsAsked&) = delete;
  ThreadsAsked& operator=(const ThreadsAsked&) = delete;

 private:
  static void set(const char* value) {
#if defined(_WIN32)
    _putenv_s("ELAB_THREADS", value != nullptr ? value : "");
#else
    if (value != nullptr) {
      setenv("ELAB_THREADS", value, 1);
    } else {
      unsetenv("ELAB_THREADS");
    }
#endif
  }
  std::string old_;
};

}  // namespace elab_test
