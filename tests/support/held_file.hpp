// Bytes held by a descriptor for the code under test to read: an unlinked
// temporary file (any amount) or a pipe (up to the pipe's buffer).
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace elab_test {

// Writes all of text to fd; throws when it cannot.
inline void write_whole(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) throw std::runtime_error("cannot write the test input");
    done += static_cast<std::size_t>(n);
  }
}

// The read end of a pipe holding text and then its end.
inline int pipe_holding(const std::string& text) {
  int p[2];
  if (::pipe2(p, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  write_whole(p[1], text);
  ::close(p[1]);
  return p[0];
}

// An unlinked temporary file holding text, positioned at its start.
inline int file_holding(const std::string& text) {
  char name[] = "/tmp/elab-test-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  ::unlink(name);
  write_whole(fd, text);
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

// Everything in the file behind fd.
inline std::string whole_file(int fd) {
  std::string text;
  char buf[4096];
  ::lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  return text;
}

// A descriptor closed with its owner.
class HeldFd {
 public:
  explicit HeldFd(int fd) : fd_(fd) {}
  ~HeldFd() { ::close(fd_); }
  HeldFd(const HeldFd&) = delete;
  HeldFd& operator=(const HeldFd&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace elab_test
