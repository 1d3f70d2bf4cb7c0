// Runs the built elab binary in a temporary directory with answers on
// stdin, capturing stdout, stderr, elab.dat and the exit status.
//
// The binary and a command put in front of it can be changed from the
// environment: ELAB_TEST_BINARY names another build of the program, and
// ELAB_TEST_PREFIX (words separated by blanks) runs it through another
// program, such as an emulator for a build of another system.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace elab_test {

// Appends what one read of fd gives to sink; at its end, or on a failure
// other than an interruption or no data yet, closes fd and sets it to -1.
inline void read_some(int& fd, std::string& sink) {
  char buf[65536];
  const ssize_t got = ::read(fd, buf, sizeof buf);
  if (got > 0) {
    sink.append(buf, static_cast<std::size_t>(got));
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    ::close(fd);
    fd = -1;
  }
}

inline std::string source_dir() { return ELAB_SOURCE_DIR; }

inline std::string binary_path() {
  const char* b = std::getenv("ELAB_TEST_BINARY");
  return b != nullptr && *b != '\0' ? b : ELAB_BINARY;
}

// The line end of the program's own lines (a batch's, not the old
// console's): the system's, which a build for Windows makes CR LF.
inline std::string program_line_end() {
  return binary_path().ends_with(".exe") ? "\r\n" : "\n";
}

inline std::vector<std::string> words_of(const char* text) {
  std::vector<std::string> words;
  std::istringstream in(text != nullptr ? text : "");
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Commands to put in front of the program: running it as an unprivileged
// user (root ignores file permissions), and under memcheck.
inline constexpr unsigned kNobody = 65534;
inline const std::vector<std::string> kAsNobody = {"/usr/bin/setpriv", "--reuid=65534",
                                                   "--regid=65534", "--clear-groups"};
inline const std::vector<std::string> kMemcheck = {
    "/usr/bin/valgrind", "--tool=memcheck", "--leak-check=full", "--errors-for-leak-kinds=all",
    "--error-exitcode=42", "-q"};

// The command that runs the program: prefix, the environment's prefix, the
// binary, args.
inline std::vector<std::string> program_command(const std::vector<std::string>& args,
                                                const std::vector<std::string>& prefix = {}) {
  std::vector<std::string> command = prefix;
  for (auto& w : words_of(std::getenv("ELAB_TEST_PREFIX"))) command.push_back(w);
  command.push_back(binary_path());
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

// argv for exec: pointers into command, null at the end.
inline std::vector<char*> argv_of(std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (auto& a : command) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

struct RunResult {
  int status = -1;  // exit status, or -signal when killed by a signal
  bool timed_out = false;
  std::string out;
  std::string err;
  std::optional<std::string> elab;  // elab.dat after the run; nullopt when missing
};

// Runs the command (a program and its arguments) in dir with the given stdin
// bytes; stdin is fed while both outputs are drained, and a hung run is
// killed.
inline RunResult run_command(const TempDir& dir, std::vector<std::string> command,
                             const std::string& input,
                             std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0 ||
      ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const std::vector<char*> argv = argv_of(command);
  const std::string cwd = dir.path().string();

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(in_pipe[0], STDIN_FILENO);
    ::dup2(out_pipe[1], STDOUT_FILENO);
    ::dup2(err_pipe[1], STDERR_FILENO);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  // The child may stop reading early; a write to a closed pipe must not kill us.
  ::signal(SIGPIPE, SIG_IGN);
  ::fcntl(in_pipe[1], F_SETFL, ::fcntl(in_pipe[1], F_GETFL) | O_NONBLOCK);

  RunResult r;
  std::size_t written = 0;
  int in_fd = in_pipe[1];
  if (input.empty()) {
    ::close(in_fd);
    in_fd = -1;
  }
  int out_fd = out_pipe[0], err_fd = err_pipe[0];
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (out_fd >= 0 || err_fd >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      r.timed_out = true;
      ::kill(pid, SIGKILL);
      break;
    }
    pollfd fds[3];
    int n = 0, i_out = -1, i_err = -1, i_in = -1;
    if (out_fd >= 0) { fds[n] = {out_fd, POLLIN, 0}; i_out = n++; }
    if (err_fd >= 0) { fds[n] = {err_fd, POLLIN, 0}; i_err = n++; }
    if (in_fd >= 0) { fds[n] = {in_fd, POLLOUT, 0}; i_in = n++; }
    const int pr = ::poll(fds, static_cast<nfds_t>(n), static_cast<int>(left.count()));
    if (pr < 0) {
      if (errno == EINTR) continue;
      break;
    }
    auto drain = [&](int idx, int& fd, std::string& sink) {
      if (idx >= 0 && fds[idx].revents != 0) read_some(fd, sink);
    };
    drain(i_out, out_fd, r.out);
    drain(i_err, err_fd, r.err);
    if (i_in >= 0 && fds[i_in].revents != 0) {
      if (fds[i_in].revents & (POLLERR | POLLHUP)) {
        ::close(in_fd);
        in_fd = -1;
      } else {
        const ssize_t put = ::write(in_fd, input.data() + written, input.size() - written);
        if (put > 0) written += static_cast<std::size_t>(put);
        if (put < 0 && errno != EAGAIN && errno != EINTR) written = input.size();
        if (written >= input.size()) {
          ::close(in_fd);
          in_fd = -1;
        }
      }
    }
  }
  for (int fd : {in_fd, out_fd, err_fd}) {
    if (fd >= 0) ::close(fd);
  }
  int ws = 0;
  while (::waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
  else if (WIFSIGNALED(ws)) r.status = -WTERMSIG(ws);
  r.elab = dir.read("elab.dat");
  return r;
}

// Runs the program in dir with the given arguments and stdin bytes, behind
// the prefix when one is given.
inline RunResult run_in(const TempDir& dir, const std::vector<std::string>& args,
                        const std::string& input, const std::vector<std::string>& prefix = {}) {
  return run_command(dir, program_command(args, prefix), input);
}

// A run on a price file "prices.txt" named on the command line, over an
// earlier elab.dat when one is given.
inline RunResult run_prices(const std::string& prices, const std::string& answers,
                            const std::string* old_dat = nullptr) {
  TempDir dir;
  dir.write("prices.txt", prices);
  if (old_dat != nullptr) dir.write("elab.dat", *old_dat);
  return run_in(dir, {"prices.txt"}, answers);
}

// Whether the program can be run as the unprivileged user: needs root,
// setpriv, and a binary that user can reach (a clone in a private
// directory cannot).
inline bool can_drop_privileges() {
  if (::geteuid() != 0 || ::access(kAsNobody[0].c_str(), X_OK) != 0) return false;
  TempDir dir;
  std::vector<std::string> check = kAsNobody;
  for (const char* w : {"/usr/bin/test", "-x"}) check.push_back(w);
  check.push_back(binary_path());
  return run_command(dir, check, "").status == 0;
}

}  // namespace elab_test
