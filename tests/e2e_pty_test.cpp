// The binary on a pseudo-terminal: standard input and output are one
// terminal, so console reads write the pending line end before the answer
// and clear it. Output post-processing and echo are off, so the bytes seen
// are exactly those the program writes. Standard error goes to a pipe, or
// to the terminal too.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/dialogue.hpp"
#include "support/prices.hpp"
#include "support/run_process.hpp"

namespace {

using namespace elab_test;
using Clock = std::chrono::steady_clock;

constexpr auto kStepTimeout = std::chrono::seconds(20);

std::string shown(const std::string& s) {
  std::string v;
  for (char c : s) {
    if (c == '\r') v += "\\r";
    else if (c == '\n') v += "\\n";
    else if (static_cast<unsigned char>(c) < 0x20) v += "\\x" + std::to_string(c);
    else v += c;
  }
  return v;
}

class PtySession {
 public:
  PtySession(const TempDir& dir, const std::vector<std::string>& args, bool err_on_terminal = false) {
    int err_pipe[2];
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    termios t{};
    t.c_iflag = ICRNL;
    t.c_oflag = 0;  // no output processing: CR LF pass unchanged
    t.c_cflag = CS8 | CREAD | CLOCAL;
    t.c_lflag = ICANON | ISIG;  // line input, no echo
    t.c_cc[VEOF] = 4;
    t.c_cc[VINTR] = 3;
    t.c_cc[VQUIT] = 28;
    t.c_cc[VERASE] = 127;
    t.c_cc[VKILL] = 21;
    t.c_cc[VMIN] = 1;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    winsize ws{};
    ws.ws_row = 24;
    ws.ws_col = 200;

    std::vector<std::string> command = program_command(args);
    const std::vector<char*> argv = argv_of(command);
    const std::string cwd = dir.path().string();

    pid_ = ::forkpty(&master_, nullptr, &t, &ws);
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
    if (pid_ == 0) {
      if (!err_on_terminal) ::dup2(err_pipe[1], STDERR_FILENO);
      if (::chdir(cwd.c_str()) != 0) ::_exit(126);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(err_pipe[1]);
    err_fd_ = err_pipe[0];
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(err_fd_, F_SETFL, ::fcntl(err_fd_, F_GETFL) | O_NONBLOCK);
  }

  ~PtySession() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      int ws = 0;
      ::waitpid(pid_, &ws, 0);
    }
    if (master_ >= 0) ::close(master_);
    if (err_fd_ >= 0) ::close(err_fd_);
  }

  // Reads until the output holds at least expected.size() bytes (or the
  // terminal closes or time runs out); true when it starts with expected.
  ::testing::AssertionResult wait_for(const std::string& expected) {
    const auto deadline = Clock::now() + kStepTimeout;
    while (out_.size() < expected.size() && !closed_) {
      if (!pump(deadline)) {
        return ::testing::AssertionFailure()
               << "timed out waiting for\n  " << shown(expected) << "\nhave\n  " << shown(out_);
      }
    }
    if (out_.compare(0, expected.size(), expected) != 0 || out_.size() < expected.size()) {
      return ::testing::AssertionFailure()
             << "expected\n  " << shown(expected) << "\nhave\n  " << shown(out_);
    }
    return ::testing::AssertionSuccess();
  }

  // Reads until the output holds text anywhere (or time runs out).
  ::testing::AssertionResult wait_to_hold(const std::string& text) {
    const auto deadline = Clock::now() + kStepTimeout;
    while (out_.find(text) == std::string::npos) {
      if (closed_ || !pump(deadline)) return ::testing::AssertionFailure() << "never shown: " << shown(text);
    }
    return ::testing::AssertionSuccess();
  }

  void type(const std::string& bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + kStepTimeout;
    while (done < bytes.size() && Clock::now() < deadline) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) done += static_cast<std::size_t>(n);
      else if (n < 0 && errno != EAGAIN && errno != EINTR) break;
      else pump(Clock::now() + std::chrono::milliseconds(10));
    }
  }

  // Reads to the end of the run; the exit status, or -1 on a timeout.
  int finish() {
    const auto deadline = Clock::now() + kStepTimeout;
    while (!closed_ && pump(deadline)) {
    }
    // the terminal closes when the program ends; collect standard error
    while (err_fd_ >= 0 && Clock::now() < deadline) {
      pollfd p{err_fd_, POLLIN, 0};
      ::poll(&p, 1, 100);
      read_some(err_fd_, err_);
    }
    int ws = 0;
    while (Clock::now() < deadline) {
      const pid_t got = ::waitpid(pid_, &ws, WNOHANG);
      if (got == pid_) {
        reaped_ = true;
        return WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
      }
      ::usleep(10000);
    }
    return -1;
  }

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  // One poll round; false when the deadline passed.
  bool pump(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd fds[2] = {{master_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    const int pr = ::poll(fds, err_fd_ >= 0 ? 2 : 1, static_cast<int>(std::min<long>(left.count(), 200)));
    if (pr < 0 && errno != EINTR) return false;
    char buf[4096];
    if (fds[0].revents != 0) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) out_.append(buf, static_cast<std::size_t>(n));
      else if (n == 0 || (errno != EAGAIN && errno != EINTR)) closed_ = true;  // EIO: slave closed
    }
    if (err_fd_ >= 0 && fds[1].revents != 0) {
      const ssize_t n = ::read(err_fd_, buf, sizeof buf);
      if (n > 0) err_.append(buf, static_cast<std::size_t>(n));
      else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        ::close(err_fd_);
        err_fd_ = -1;
      }
    }
    return true;
  }

  int master_ = -1;
  int err_fd_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
  bool closed_ = false;
  std::string out_;
  std::string err_;
};

// One step of a dialogue: the bytes the program writes next, then the
// answer typed (empty: nothing typed).
struct Step {
  std::string shows;
  std::string types;
};

struct PtyOutcome {
  int status;
  std::string out;
  std::string err;
  std::optional<std::string> elab;
};

// Runs the steps; each answer is typed only after its question and the
// line end in front of the answer have arrived.
PtyOutcome drive(const TempDir& dir, const std::vector<std::string>& args,
                 const std::vector<Step>& steps) {
  PtySession s(dir, args);
  std::string expected;
  for (const auto& step : steps) {
    expected += step.shows;
    const auto ok = s.wait_for(expected);
    EXPECT_TRUE(ok);
    if (!ok) break;
    if (!step.types.empty()) s.type(step.types);
  }
  const int status = s.finish();
  return {status, s.out(), s.err(), dir.read("elab.dat")};
}

const std::string& R() { return kCrLf; }

std::vector<Step> full_run(const std::vector<std::string>& answers) {
  // answers: from, menu, coeff, yes/no, yes/no, weekday (no second date)
  return {{kDateFrom + R(), answers[0] + "\n"}, {kMenu + R(), answers[1] + "\n"},
          {kCoeff + R(), answers[2] + "\n"},    {kScreenOut + R(), answers[3] + "\n"},
          {kScreenIn + R(), answers[4] + "\n"}, {kWeekday + R(), answers[5] + "\n"}};
}

TEST(Pty, NormalRun) {
  TempDir dir;
  dir.write("prices.txt", alternating_file(131));
  auto steps = full_run({"-1", "1", "2", "0", "0", "0"});
  steps.push_back({count_line(22) + kNormalEnd, ""});
  const auto r = drive(dir, {"prices.txt"}, steps);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  std::string whole;
  for (const auto& s : steps) whole += s.shows;
  EXPECT_EQ(r.out, whole);
  EXPECT_EQ(r.out, joined({kDateFrom, kMenu, kCoeff, kScreenOut, kScreenIn, kWeekday}) + R() +
                       count_line(22) + kNormalEnd);
  EXPECT_EQ(r.elab, std::optional<std::string>(alternating_dat(131, 1, 0)));
}

TEST(Pty, RepeatedQuestionsStartOnTheirOwnLine) {
  TempDir dir;
  dir.write("prices.txt", alternating_file(131));
  int n = 0;
  const std::string dat = alternating_dat(131, 5, 4, &n);
  const std::vector<Step> steps{
      {kDateFrom + R(), "0\n"},       {kDateTo + R(), "0\n"},       {kMenu + R(), "0\n"},
      {kMenu + R(), ",\n"},           {kMenu + R(), "12\n"},        {kMenu + R(), "5\n"},
      {kCoeff + R(), "/\n"},          {kScreenOut + R(), "2\n"},    {kScreenOut + R(), "\n0\n"},
      {kScreenIn + R(), ",\n"},       {kWeekday + R(), "1\n"},      {kWeekday + R(), "-2\n"},
      {kWeekday + R(), "7\n"},        {kWeekday + R(), "4 9\n"},
      {count_line(n) + kNormalEnd, ""}};
  const auto r = drive(dir, {"prices.txt"}, steps);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.elab, std::optional<std::string>(dat));
  EXPECT_EQ(n, 4);  // Wednesdays among rows 90..111
}

TEST(Pty, FileNameQuestion) {
  TempDir dir;
  dir.write("prices.txt", alternating_file(131));
  auto steps = full_run({"-1", "9", "2", "0", "0", "-1"});
  steps.insert(steps.begin(), {{kNamePrompt, "   \n"}, {kNamePrompt, "prices.txt\n"}});
  int n = 0;
  const std::string dat = alternating_dat(131, 9, -1, &n);
  steps.push_back({count_line(n) + kNormalEnd, ""});
  const auto r = drive(dir, {}, steps);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // the question is written straight: the date question follows it directly
  EXPECT_TRUE(r.out.starts_with(kNamePrompt + kNamePrompt + kDateFrom + R())) << shown(r.out);
  EXPECT_EQ(r.elab, std::optional<std::string>(dat));
}

TEST(Pty, DateOrderStopHasNothingPending) {
  TempDir dir;
  dir.write("prices.txt", alternating_file(131));
  dir.write("elab.dat", "old\r\n");
  const std::vector<Step> steps{{kDateFrom + R(), "950105\n"},
                                {kDateTo + R(), "950104\n"},
                                {kDateOrder, ""}};
  const auto r = drive(dir, {"prices.txt"}, steps);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, joined({kDateFrom, kDateTo}) + R() + kDateOrder);
  EXPECT_EQ(r.elab, std::optional<std::string>("old\r\n"));
}

TEST(Pty, TooFewRowsStopHasNothingPending) {
  TempDir dir;
  dir.write("prices.txt", alternating_file(109));
  const std::vector<Step> steps{
      {kDateFrom + R(), "-1\n"},
      {kTooFewRows, ""}};
  const auto r = drive(dir, {"prices.txt"}, steps);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kDateFrom + R() + kTooFewRows);
  EXPECT_EQ(r.err, too_few_rows(109, 109));
  EXPECT_FALSE(r.elab.has_value());  // a failed run makes no file
}

// A read that fails never reaches its end, so the line it found pending is
// still pending: exit closing ends it after the report.
// All rows, then answer to the menu question: the run ends there with
// status 1, err on standard error, the menu line still pending, and elab.dat
// as it was before (old, or none when there was none).
void expect_stop_at_the_menu(const std::string& answer, const std::optional<std::string>& old,
                             const std::string& err) {
  TempDir dir;
  dir.write("prices.txt", alternating_file(131));
  if (old) dir.write("elab.dat", *old);
  const std::vector<Step> steps{{kDateFrom + R(), "-1\n"}, {kMenu + R(), answer}};
  const auto r = drive(dir, {"prices.txt"}, steps);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.out, kDateFrom + R() + kMenu + R() + R());
  EXPECT_EQ(r.elab, old);
}

TEST(Pty, FailedReadLeavesItsLinePending) {
  expect_stop_at_the_menu("3.0\n", "old\r\n", file_error("6101", "READ(CON)", "invalid integer value"));
}

TEST(Pty, EndOfInputAtAQuestion) {
  for (const std::string& end : {std::string("\x04"), std::string("\x1a\n"), std::string("12\x1a\n")}) {
    SCOPED_TRACE(shown(end));
    expect_stop_at_the_menu(end, std::nullopt, file_error("6501", "READ(CON)", "end of file encountered"));
  }
}

TEST(Pty, EndOfInputAtTheFileName) {
  TempDir dir;
  const auto r = drive(dir, {}, {{kNamePrompt, "\x04"}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kNamePrompt);
  EXPECT_EQ(r.err, file_error("6501", "OPEN()", "end of file encountered"));
  EXPECT_FALSE(r.elab.has_value());
}

// An error report after a completed read: nothing is pending, so no line
// end follows the report on the console (unlike a console that is not a
// terminal, where every report is followed by one).
TEST(Pty, ErrorReportAfterAReadLeavesNoExtraLineEnd) {
  // all closes equal: the 30-close range is empty, an invalid operation,
  // found after the date answer was read and nothing is pending
  TempDir dir;
  std::string prices = "131 7\n";
  for (const auto& row : business_days(131, 1995, 1, 2)) {
    prices += std::to_string(row.year) + " " + std::to_string(row.month) + " " +
              std::to_string(row.day) + " 0 0 100 " + std::to_string(row.code) + "\n";
  }
  dir.write("prices.txt", prices);
  const auto r = drive(dir, {"prices.txt"}, {{kDateFrom + R(), "-1\n"}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, math_error("6101", "floating-point error: invalid"));
  EXPECT_EQ(r.out, kDateFrom + R());
}

TEST(Pty, NoRowsStopsWithCode99) {
  TempDir dir;
  dir.write("prices.txt", "0 7\n");
  const auto r = drive(dir, {"prices.txt"},
                       {{kNoRoom, ""}});
  EXPECT_EQ(r.status, 99);
  EXPECT_EQ(r.out, kNoRoom);
}

TEST(Pty, NoRecordsNormalEnd) {
  TempDir dir;
  dir.write("prices.txt", alternating_file(131));
  dir.write("elab.dat", "earlier\r\n");
  auto steps = full_run({"-1", "1", "-1", "1", "0", "0"});
  steps.push_back({count_line(0) + kNormalEnd, ""});
  const auto r = drive(dir, {"prices.txt"}, steps);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.ends_with(kWeekday + R() + "Record scritti:     0" + kNormalEnd));
  EXPECT_EQ(r.elab, std::optional<std::string>(""));
}

// What a terminal shows of bytes written to it: CR back to the line's
// start, LF to the next line, the lines joined by '|' with trailing blanks
// trimmed.
std::string screen_of(const std::string& bytes) {
  std::vector<std::string> lines(1);
  std::size_t column = 0;
  for (const char c : bytes) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
    } else {
      std::string& line = lines.back();
      if (line.size() <= column) line.resize(column + 1, ' ');
      line[column++] = c;
    }
  }
  std::string screen;
  for (std::string& line : lines) {
    line.erase(line.find_last_not_of(' ') + 1);
    if (!line.empty()) screen += line + "|";
  }
  return screen;
}

// Several files with standard error on the terminal: one line of progress
// updated in place, cleared before each file's line, gone at the end. The
// last file is a FIFO written only once a progress line is on the screen:
// the batch is still running then, whichever thread ran first.
TEST(Pty, BatchProgressOnTheTerminal) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "out");
  for (const char* name : {"a.txt", "b.txt"}) dir.write(name, alternating_file(131));
  const std::string last = (dir.path() / "c.txt").string();
  ASSERT_EQ(::mkfifo(last.c_str(), 0600), 0);
  PtySession s(dir,
               {"--from=all", "--variable=11", "--coefficient=2", "--screen-output=yes", "--screen-inputs=yes",
                "--days=dummies", "-j1", "-o", "out/{name}.dat", "a.txt", "b.txt", "c.txt"},
               true);
  ASSERT_TRUE(s.wait_to_hold("\r[")) << shown(s.out());
  std::ofstream(last) << alternating_file(131);
  EXPECT_EQ(s.finish(), 0);
  // The batch's lines end in LF, which a terminal shows (ONLCR, on by
  // default; off in this session to see the bytes) as CR LF.
  std::string shown_with_onlcr;
  for (const char c : s.out()) shown_with_onlcr += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(screen_of(shown_with_onlcr), "a: Record scritti: 22|b: Record scritti: 22|c: Record scritti: 22|"
                                         "3 files: 3 written, 0 failed|")
      << shown(s.out());
}

}  // namespace
