// Runs the built elab binary in a fresh temporary directory with answers on
// stdin, capturing stdout, stderr, elab.dat and the exit status. Also holds a
// seeded business-day random-walk price generator for test data.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace elab_e2e {

inline std::string binary_path() { return ELAB_BINARY; }
inline std::string source_dir() { return ELAB_SOURCE_DIR; }

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh directory under the system temp dir, removed on destruction.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "elab-run-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + name);
  }
  std::optional<std::string> read(const std::string& name) const {
    if (!std::filesystem::is_regular_file(path_ / name)) return std::nullopt;
    return read_file(path_ / name);
  }

 private:
  std::filesystem::path path_;
};

struct RunResult {
  int status = -1;  // exit status, or -signal when killed by a signal
  bool timed_out = false;
  std::string out;
  std::string err;
  std::optional<std::string> elab;  // elab.dat after the run; nullopt when missing
};

// Runs the binary in dir with the given arguments and stdin bytes; stdin is
// fed while both outputs are drained, and a hung run is killed.
inline RunResult run_in(const TempDir& dir, const std::vector<std::string>& args,
                        const std::string& input,
                        std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0 ||
      ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const std::string bin = binary_path();
  std::vector<std::string> argv_s{bin};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string cwd = dir.path().string();

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(in_pipe[0], STDIN_FILENO);
    ::dup2(out_pipe[1], STDOUT_FILENO);
    ::dup2(err_pipe[1], STDERR_FILENO);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execv(bin.c_str(), argv.data());
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
    char buf[65536];
    auto drain = [&](int idx, int& fd, std::string& sink) {
      if (idx < 0 || fds[idx].revents == 0) return;
      const ssize_t got = ::read(fd, buf, sizeof buf);
      if (got > 0) {
        sink.append(buf, static_cast<std::size_t>(got));
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        ::close(fd);
        fd = -1;
      }
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

// ---------------------------------------------------------------------------
// Price data

struct PriceRow {
  int year = 0, month = 0, day = 0;
  double high = 0, low = 0, close = 0;
  int code = 0;  // 2 = Monday .. 6 = Friday
};

// Days since 1970-01-01 of a civil date.
inline std::int64_t days_from_civil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy =
      (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

inline void civil_from_days(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

// 0 = Monday .. 6 = Sunday; 1970-01-01 was a Thursday.
inline int weekday_index(std::int64_t days) { return static_cast<int>(((days % 7) + 7 + 3) % 7); }

// n business days (Monday to Friday) from the first one on or after the start.
inline std::vector<PriceRow> business_days(int n, int y, int m, int d) {
  std::vector<PriceRow> rows;
  std::int64_t day = days_from_civil(y, m, d);
  while (static_cast<int>(rows.size()) < n) {
    const int wd = weekday_index(day);
    if (wd < 5) {
      PriceRow r;
      civil_from_days(day, r.year, r.month, r.day);
      r.code = wd + 2;
      rows.push_back(r);
    }
    ++day;
  }
  return rows;
}

// A seeded random walk of closes in whole cents, never below 1.00, never
// unchanged from one day to the next.
inline std::vector<PriceRow> random_walk(std::uint64_t seed, int n, int y = 1995, int m = 1,
                                         int d = 2, double start = 500.0) {
  std::vector<PriceRow> rows = business_days(n, y, m, d);
  std::uint64_t s = seed * 6364136223846793005ULL + 1442695040888963407ULL;
  auto next_unit = [&]() {  // uniform in [0, 1)
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  };
  long cents = static_cast<long>(start * 100.0 + 0.5);
  for (auto& r : rows) {
    const double step = (next_unit() - 0.5) * 0.03;  // up to 1.5% a day
    long next = static_cast<long>(static_cast<double>(cents) * (1.0 + step) + 0.5);
    if (next == cents) next += (next_unit() < 0.5) ? -1 : 1;
    if (next < 100) next = 100 + static_cast<long>(next_unit() * 50);
    cents = next;
    r.close = static_cast<double>(cents) / 100.0;
    r.high = static_cast<double>(cents + 1 + static_cast<long>(next_unit() * 500)) / 100.0;
    r.low = static_cast<double>(cents - 1 - static_cast<long>(next_unit() * 500)) / 100.0;
    if (r.low < 0.5) r.low = 0.5;
  }
  return rows;
}

inline std::string money(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.2f", v);
  return b;
}

// The usual file: "NR NC" then one row of seven values per line, LF ends.
inline std::string format_prices(const std::vector<PriceRow>& rows) {
  std::string s = std::to_string(rows.size()) + " 7\n";
  for (const auto& r : rows) {
    s += std::to_string(r.year) + " " + std::to_string(r.month) + " " + std::to_string(r.day) +
         " " + money(r.high) + " " + money(r.low) + " " + money(r.close) + " " +
         std::to_string(r.code) + "\n";
  }
  return s;
}

inline std::string to_crlf(const std::string& s) {
  std::string o;
  for (char c : s) {
    if (c == '\n') o += '\r';
    o += c;
  }
  return o;
}

// Splits elab.dat into records; well_formed is false when the last one has
// no CR LF.
inline std::vector<std::string> split_records(const std::string& dat, bool& well_formed) {
  std::vector<std::string> recs;
  well_formed = true;
  std::size_t pos = 0;
  while (pos < dat.size()) {
    const std::size_t e = dat.find("\r\n", pos);
    if (e == std::string::npos) {
      well_formed = false;
      recs.push_back(dat.substr(pos));
      break;
    }
    recs.push_back(dat.substr(pos, e - pos));
    pos = e + 2;
  }
  return recs;
}

}  // namespace elab_e2e
