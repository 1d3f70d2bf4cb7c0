// Faults and limits: what a disk, a file system or a hostile price file can
// do to a run. Every case ends with its defined report or stop and status,
// and an existing elab.dat keeps its content unless records were written.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/dialogue.hpp"
#include "support/prices.hpp"
#include "support/run_process.hpp"

namespace fs = std::filesystem;

namespace {

using namespace elab_test;

const std::string& kAnswers = kFullRunAnswers;

std::string price_file(int rows) { return format_prices(random_walk(3, rows)); }

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    // Open to all: some cases run as the unprivileged user.
    fs::permissions(dir_.path(), fs::perms::all);
    dir_.write("prices.txt", price_file(400));
  }
  RunResult run(const std::vector<std::string>& args, const std::string& input,
                const std::vector<std::string>& prefix = {}) {
    return run_in(dir_, args, input, prefix);
  }
  std::string read(const std::string& name) const { return dir_.read(name).value_or(""); }

  TempDir dir_;
};

#define SKIP_UNLESS_UNPRIVILEGED_RUNS() \
  if (!can_drop_privileges()) GTEST_SKIP() << "needs root and setpriv to run unprivileged"

TEST_F(Faults, FullDiskAtTheCloseOfASmallFile) {
  fs::create_symlink("/dev/full", dir_.path() / "elab.dat");
  const auto r = run({"prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6422", "CLOSE(elab.dat)", "disk full"));
}

TEST_F(Faults, FullDiskAtAWriteOfALargeFile) {
  // More records than the file buffer holds: the failure meets a write.
  dir_.write("prices.txt", price_file(20000));
  fs::create_symlink("/dev/full", dir_.path() / "elab.dat");
  const auto r = run({"prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6422", "WRITE(elab.dat)", "disk full"));
}

// Read-only, another's or the user's own (a new file could replace it):
// opened read-only, the first record refused.
TEST_F(Faults, ReadOnlyTrainingFileIsOpenedButRefusesTheFirstRecord) {
  SKIP_UNLESS_UNPRIVILEGED_RUNS();
  for (const bool own : {false, true}) {
    SCOPED_TRACE(own ? "the user's own" : "another's");
    dir_.write("elab.dat", "earlier\r\n");
    const fs::path dat = dir_.path() / "elab.dat";
    ASSERT_EQ(own ? ::chown(dat.c_str(), kNobody, kNobody) : 0, 0);
    fs::permissions(dat, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto r = run({"prices.txt"}, kAnswers, kAsNobody);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, report("F6421", "WRITE(elab.dat)", "write refused"));
    EXPECT_EQ(read("elab.dat"), "earlier\r\n");
    fs::remove(dat);
  }
}

// A normal end with no record must leave the file empty; when it cannot be
// emptied, that is a failure, not a success.
TEST_F(Faults, ReadOnlyTrainingFileThatCannotBeEmptied) {
  SKIP_UNLESS_UNPRIVILEGED_RUNS();
  dir_.write("elab.dat", "earlier\r\n");
  fs::permissions(dir_.path() / "elab.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // A negative coefficient marks every day: no record.
  const auto r = run({"prices.txt"}, "-1\n11\n-1\n1\n0\n0\n", kAsNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6421", "CLOSE(elab.dat)", "write refused"));
  EXPECT_EQ(read("elab.dat"), "earlier\r\n");
}

TEST_F(Faults, ReadOnlyDirectoryCannotCreateTheTrainingFile) {
  SKIP_UNLESS_UNPRIVILEGED_RUNS();
  fs::permissions(dir_.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const auto r = run({"prices.txt"}, kAnswers, kAsNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6414", "OPEN(elab.dat)", "access denied"));
  EXPECT_FALSE(fs::exists(dir_.path() / "elab.dat"));
}

TEST_F(Faults, PriceFileThatNoModeCanOpen) {
  SKIP_UNLESS_UNPRIVILEGED_RUNS();
  fs::permissions(dir_.path() / "prices.txt", fs::perms::none);
  const auto r = run({"prices.txt"}, kAnswers, kAsNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6414", "OPEN(prices.txt)", "access denied"));
}

TEST_F(Faults, ReadOnlyPriceFileIsRead) {
  SKIP_UNLESS_UNPRIVILEGED_RUNS();
  fs::permissions(dir_.path() / "prices.txt", fs::perms::owner_read | fs::perms::others_read);
  const auto r = run({"prices.txt"}, kAnswers, kAsNobody);
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Faults, MissingDirectoryOfThePriceFile) {
  const auto r = run({"nodir/prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6416", "OPEN(nodir/prices.txt)", "path not found"));
}

// Neither the missing file nor elab.dat is created, named or typed.
TEST_F(Faults, MissingPriceFileIsNotCreated) {
  const std::string missing = report("F6416", "OPEN(nothere.txt)", "file does not exist");
  for (const auto& [args, input] : {std::pair<std::vector<std::string>, std::string>{{"nothere.txt"}, kAnswers},
                                    {{}, "nothere.txt\n" + kAnswers}}) {
    const auto r = run(args, input);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, missing);
    EXPECT_FALSE(fs::exists(dir_ / "nothere.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "elab.dat"));
  }
}

// Names are not cut at 260 characters; one the system refuses gets its open
// report.
TEST_F(Faults, LongFileNames) {
  const std::string deep = std::string(200, 'd') + "/" + std::string(200, 'e');
  fs::create_directories(dir_ / deep);
  fs::copy_file(dir_ / "prices.txt", dir_ / deep / "prices.txt");
  auto r = run({deep + "/prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string refused = std::string(300, 'n');
  r = run({refused}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6414", "OPEN(" + refused + ")", "access denied"));
}

TEST_F(Faults, DirectoryAsTrainingFileIsRefusedAtItsOpen) {
  fs::create_directory(dir_ / "elab.dat");
  const auto r = run({"prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6414", "OPEN(elab.dat)", "access denied"));
  EXPECT_EQ(r.out, "");  // before the first question
}

// The file is replaced: a link stays a link to a file with the new records,
// and the permission bits stay.
TEST_F(Faults, ReplacedTrainingFileKeepsItsLinkAndPermissionBits) {
  const std::string reference = run({"prices.txt"}, kAnswers).elab.value_or("");
  fs::create_directory(dir_ / "sub");
  dir_.write("sub/target.dat", "earlier\r\n");
  const auto bits = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
  fs::permissions(dir_ / "sub/target.dat", bits);
  fs::remove(dir_ / "elab.dat");
  fs::create_symlink("sub/target.dat", dir_ / "elab.dat");
  const auto r = run({"prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir_ / "elab.dat"));
  EXPECT_EQ(read("sub/target.dat"), reference);
  EXPECT_EQ(fs::status(dir_ / "sub/target.dat").permissions(), bits);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "sub"), fs::directory_iterator()), 1);
}

TEST_F(Faults, DirectoryAsPriceFileOpensButCannotBeRead) {
  fs::create_directory(dir_.path() / "d");
  const auto r = run({"d"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6500", "READ(d)", "file cannot be read: head of the file, value 1"));
}

// The console input ends in front of each question in turn.
TEST_F(Faults, ConsoleClosingAtEveryQuestion) {
  const std::vector<std::string> lines = {"-1", "11", "2", "1", "1", "-1"};
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::string input;
    for (std::size_t k = 0; k < n; ++k) input += lines[k] + "\n";
    dir_.write("elab.dat", "earlier\r\n");
    const auto r = run({"prices.txt"}, input);
    EXPECT_EQ(r.status, 1) << n;
    EXPECT_EQ(r.err, report("F6501", "READ(CON)", "end of file encountered")) << n;
    EXPECT_EQ(read("elab.dat"), "earlier\r\n") << n;
    // The output's own pending line end is written when the console closes.
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\r\n") << n;
  }
}

// A typed line ending in Ctrl-Z is the end of the input: no file is made.
TEST_F(Faults, ConsoleClosingDuringTheFileNameQuestion) {
  for (const std::string& input : {std::string("  \n"), "prices.txt\x1a\n" + kAnswers, std::string("x\x1a")}) {
    const auto r = run({}, input);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, report("F6501", "OPEN()", "end of file encountered"));
    EXPECT_FALSE(fs::exists(dir_ / "elab.dat"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
  }
}

TEST_F(Faults, AnswerLinesOf130And131Characters) {
  // Blanks in front of the answer make the line 130 characters long.
  const std::string ok = std::string(128, ' ') + "-1";
  auto r = run({"prices.txt"}, ok + "\n11\n2\n1\n1\n-1\n");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string too_long = std::string(129, ' ') + "-1";
  dir_.write("elab.dat", "earlier\r\n");
  r = run({"prices.txt"}, too_long + "\n11\n2\n1\n1\n-1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6407", "READ(CON)", "input line too long"));
  EXPECT_EQ(read("elab.dat"), "earlier\r\n");
}

struct LimitCase {
  const char* name;
  std::string prices;
  int status;
  std::string out_tail;  // the end of the console output
  std::string err;
  std::string answers = kAnswers;
  std::uint64_t address_space = 0;  // a limit the run gets, when not 0
  // For a price file of megabytes: made when its case runs, not when every
  // test program of this file starts.
  std::string (*make_prices)() = nullptr;
};

std::string repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

// 150 rows in January 1995 whose closes alternate between two values.
std::string two_closes(const std::string& odd, const std::string& even) {
  std::string s = "150 7\n";
  for (int r = 0; r < 150; ++r) {
    s += "1995 1 " + std::to_string(1 + r % 28) + " 0 0 " + (r % 2 ? odd : even) + " " +
         std::to_string(2 + r % 5) + "\n";
  }
  return s;
}

std::string wide_rows() {
  std::string wide_row = "200 10000\n";
  for (int r = 0; r < 200; ++r) {
    wide_row += std::to_string(1990 + r / 200) + " 1 " + std::to_string(1 + r % 28) + " 0 0 " +
                std::to_string(100 + r % 7) + " " + std::to_string(2 + r % 5);
    wide_row += repeat(" 1.5", 10000 - 7) + "\n";
  }
  return wide_row;
}

// YYYY-MM-DD of day k of 1995, from 0.
std::string iso_day_of_1995(int k) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int month = 0;
  while (k >= kDays[month]) k -= kDays[month++];
  const auto two = [](int n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
  return "1995-" + two(month + 1) + "-" + two(k + 1);
}

std::string value_of_40_mb() { return "150 7\n" + std::string(40 << 20, '9') + " 1 1 0 0 100 2\n"; }

std::vector<LimitCase> limit_cases() {
  std::string long_value = "150 7\n" + std::string(10000, '9') + " 1 1 0 0 100 2\n";
  std::string zero_close = "150 7\n";
  std::string far_dates = "150 7\n";
  for (int r = 0; r < 150; ++r) {
    const std::string d = "1995 1 " + std::to_string(1 + r % 28) + " 0 0 ";
    const std::string code = " " + std::to_string(2 + r % 5) + "\n";
    zero_close += d + (r == 40 ? "0" : std::to_string(100 + r % 3)) + code;
    far_dates += std::string(r % 2 ? "3e38" : "-3e38") + " 99 99 0 0 " + std::to_string(100 + r % 3) + code;
  }
  std::string zero_close_csv = "Date,Close\n";
  for (int r = 0; r < 150; ++r) {
    const std::string day = iso_day_of_1995(r);
    zero_close_csv += day + "," + (r == 40 ? "0" : std::to_string(100 + r % 3)) + "\n";
  }
  std::string junk;
  std::mt19937 rng(9);
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>(rng() % 256);
  junk[0] = 'x';
  constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
  return {
      {"RowCountAtTheLimit", "2147483647 7\n", 99, kNoRoom, ""},
      {"SizeBeyondTheAddressSpace", "2147483647 2147483647\n", 99, kNoRoom, ""},
      {"OneColumn", "5 1\n1\n2\n3\n4\n5\n", 1, kTooFewColumns, ""},
      // Rows on every day of the calendar: what --check would say of them.
      {"RowOfTenThousandValues", "", 0, kNormalEnd,
       "elab: warning: prices.txt: 56 rows on a Saturday or Sunday, the first on 1990-01-06: elab --check lists "
       "them\r\n",
       kAnswers, 0, wide_rows},
      {"ValueOfTenThousandDigits", long_value, 1, "",
       report("F6102", "READ(prices.txt)",
              "real value out of double precision range: row 1, value 1")},
      {"OnlyBlanks", std::string(100000, ' '), 1, "",
       report("F6501", "READ(prices.txt)", "end of file encountered: head of the file")},
      {"BinaryJunk", junk, 1, "", report("F6101", "READ(prices.txt)",
                                     "invalid integer value: head of the file, value 1")},
      {"CloseOfZero", zero_close, 1, "", math_error("6103", "floating-point error: divide by zero")},
      // mend: a table's arithmetic fault is followed by the row that caused it
      {"CloseOfZeroInATable", zero_close_csv, 1, "",
       math_error("6103", "floating-point error: divide by zero") +
           "elab: prices.txt: line 42, date 1995-02-10, field \"Close\": the close 0 is not above zero, and a run "
           "divides by every close: correct or remove the line\r\n"},
      // mend: an empty file says so after the old report
      {"EmptyFile", "", 1, "",
       report("F6501", "READ(prices.txt)", "end of file encountered: head of the file") +
           "elab: prices.txt: the file is empty\r\n"},
      {"OnlyLineEnds", "\n\r\n \n", 1, "",
       report("F6501", "READ(prices.txt)", "end of file encountered: head of the file") +
           "elab: prices.txt: the file holds nothing but blanks and line ends\r\n"},
      // Denormal closes: underflow passes silently, the run ends normally.
      // (No screening: the spread of a constant input series of these closes
      // rounds below zero, a domain error of its own.)
      {"TinyClosesUnderflowSilently", two_closes("1e-40", "1.5e-40"), 0, count_line(41) + kNormalEnd,
       "elab: warning: prices.txt: 43 rows on a Saturday or Sunday, the first on 1995-01-01: elab --check lists "
       "them\r\n",
       "-1\n11\n2\n0\n0\n-1\n"},
      // The percent change of 3e38 against 1 overflows.
      {"HugeClosesOverflow", two_closes("3e38", "1"), 1, "",
       math_error("6104", "floating-point error: overflow")},
      // Selected by range only, so they need the range answers.
      {"DatesFarOutsideTheCalendar", far_dates, 1, kTooFewRows + kCrLf, too_few_rows(0, 150),
       "-2147483647\n2147483647\n11\n2\n1\n1\n-1\n"},
      // 26 bytes that ask for a row of 1 GB, and one of 8.6 GB: refused at
      // the arrays' step, not obtained and then touched.
      {"HugeRowUnderALimit", "1 250000000\r\n250000000*1\r\n", 99, kNoRoom, "", kAnswers, 512 * kMiB},
      {"WidestRowUnderALimit", "1 2147483647\r\n2147483647*1\r\n", 99, kNoRoom, "", kAnswers,
       4096 * kMiB},
      // 80 MB of matrix: it fits because no copy of it is obtained.
      {"WideRowWithoutACopy", "1 20000000\r\n20000000*1\r\n", 1, kTooFewRows + kCrLf, too_few_rows(1, 1), kAnswers,
       140 * kMiB},
      // The buffer grows for the value after the arrays' step.
      {"ValueOfTensOfMegabytesUnderALimit", "", 99, kOutOfMemory, "", kAnswers, 64 * kMiB,
       value_of_40_mb},
  };
}

class Limits : public Faults, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(Limits, EndsWithItsDefinedReportOrStop) {
  const LimitCase& c = GetParam();
  dir_.write("prices.txt", c.make_prices != nullptr ? c.make_prices() : c.prices);
  dir_.write("elab.dat", "earlier\r\n");
  std::vector<std::string> limit;
  if (c.address_space != 0) {
    // The sanitizers reserve more address space than any such limit.
    if (ELAB_SANITIZED) GTEST_SKIP() << "an address-space limit stops the sanitizers";
    if (::access("/usr/bin/prlimit", X_OK) != 0) GTEST_SKIP() << "prlimit not installed";
    limit = {"/usr/bin/prlimit", "--as=" + std::to_string(c.address_space)};
  }
  const auto r = run({"prices.txt"}, c.answers, limit);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(r.err, c.err);
  EXPECT_TRUE(r.out.ends_with(c.out_tail)) << r.out;
  if (c.status != 0) EXPECT_EQ(read("elab.dat"), "earlier\r\n");
  else EXPECT_NE(read("elab.dat"), "earlier\r\n");
}

INSTANTIATE_TEST_SUITE_P(All, Limits, ::testing::ValuesIn(limit_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Streams and interruptions, each through a shell around the program ("$0"
// is the program, "$@" its arguments) over an earlier elab.dat: the run ends
// with the training file of a plain run, or with the earlier file whole;
// the price file is never written, and no other file is left but a hidden
// temporary of a killed run, which the next run does not trip on.
struct StreamCase {
  const char* name;
  std::string shell;
  int status;  // negative: killed by that signal
  std::string err;
  bool replaced;
  int rows = 400;
};

// Holds the run while its records' temporary is there, then sends the
// signal; the shell ends as the run did. The dates go to a pipe that holds
// far less than they are and is read only until their first byte: by then
// the temporary exists and the run waits in a write, whatever the machine's
// speed. The program starts with the signal's default action: a shell
// starts a program in the background with SIGQUIT ignored, and does not end
// by it itself (it then exits with the run's status, 128 + the signal).
std::string kill_while_writing(const std::string& signal) {
  const std::string restored = signal == "KILL" ? "" : "env --default-signal=" + signal + " ";
  return "mkfifo hold && exec 3<>hold && rm hold; " + restored +
         "\"$0\" --dates=/dev/fd/3 \"$@\" <&0 & p=$!; head -c 1 <&3 >/dev/null; "
         "kill -" + signal + " $p; { wait $p; } 2>/dev/null; s=$?; exec 3>&-; kill -" + signal +
         " $$; exit $s";
}

std::vector<StreamCase> stream_cases() {
  const std::string eof = "end of file encountered";
  return {
      {"PriceFileThroughAPipe", "exec \"$0\" <(cat prices.txt)", 0, "", true},
      {"PriceFileThroughAFifo", "mkfifo f; cat prices.txt >f & exec \"$0\" f", 0, "", true},
      {"PriceFileThroughAFifoEndingEarly", "mkfifo f; head -c 3000 prices.txt >f & exec \"$0\" f", 1,
       report("F6501", "READ(f)", eof + ": row 92 of 400, value 6"), false},
      {"StdoutClosed", "exec \"$0\" \"$@\" >&-", 0, "", true},
      {"StdinClosed", "exec \"$0\" \"$@\" <&-", 1, report("F6501", "READ(CON)", eof), false},
      {"StdinAndStdoutClosed", "exec \"$0\" \"$@\" <&- >&-", 1, report("F6501", "READ(CON)", eof), false},
      {"StderrClosedAtAReport", "exec \"$0\" \"$@\" <&- 2>&-", 1, "", false},
      {"FileSizeLimit", "ulimit -f 8; exec \"$0\" \"$@\"", 1,
       report("F6423", "CLOSE(elab.dat)", "write failed"), false},
      {"FileSizeLimitAtAWrite", "ulimit -f 4096; exec \"$0\" \"$@\"", 1,
       report("F6423", "WRITE(elab.dat)", "write failed"), false, 60000},
      // The same on one thread; a large file on one thread as on two.
      {"FileSizeLimitOneThread", "ulimit -f 8; ELAB_THREADS=1 exec \"$0\" \"$@\"", 1,
       report("F6423", "CLOSE(elab.dat)", "write failed"), false},
      {"FileSizeLimitAtAWriteOneThread", "ulimit -f 4096; ELAB_THREADS=1 exec \"$0\" \"$@\"", 1,
       report("F6423", "WRITE(elab.dat)", "write failed"), false, 60000},
      {"LargeFileOneThread", "ELAB_THREADS=1 exec \"$0\" \"$@\"", 0, "", true, 60000},
      // No second thread to be had: a thread's stack larger than the machine.
      {"LargeFileNoThreadToBeHad", "ulimit -s 1000000000; exec \"$0\" \"$@\"", 0, "", true, 200000},
      {"TerminatedWhileWriting", kill_while_writing("TERM"), -15, "", false, 200000},
      {"HungUpWhileWriting", kill_while_writing("HUP"), -1, "", false, 200000},
      {"KilledWhileWriting", kill_while_writing("KILL"), -9, "", false, 200000},
      // Every signal whose default action ends the process removes the
      // temporary, then ends it as it would have.
      {"QuitWhileWriting", kill_while_writing("QUIT"), 131, "", false, 200000},
      {"AlarmWhileWriting", kill_while_writing("ALRM"), -14, "", false, 200000},
      {"User1WhileWriting", kill_while_writing("USR1"), -10, "", false, 200000},
      {"User2WhileWriting", kill_while_writing("USR2"), -12, "", false, 200000},
      {"CpuLimitWhileWriting", kill_while_writing("XCPU"), -24, "", false, 200000},
      {"VirtualAlarmWhileWriting", kill_while_writing("VTALRM"), -26, "", false, 200000},
      {"ProfilingAlarmWhileWriting", kill_while_writing("PROF"), -27, "", false, 200000},
  };
}

class Streams : public Faults, public ::testing::WithParamInterface<StreamCase> {};

// elab.dat or its directory changed under a run, or guarded by the system:
// the records end up in elab.dat of the run's directory, which keeps its
// links, owner and group; nothing else changes and no temporary is left.
// Each case is a shell around the program, over an earlier elab.dat, and a
// shell that checks the files afterwards (reference.dat: a plain run's
// elab.dat). A case that needs what the system does not give (root, a
// mount, file attributes) exits with 77 and is skipped.
struct PlaceCase {
  const char* name;
  std::string shell;
  std::string check;
  int status = 0;
  std::string err = "";
  int rows = 400;
};

const std::string kNeedsRoot = "[ \"$(id -u)\" = 0 ] || exit 77; ";
const std::string kSameAsPlainRun = "cmp elab.dat reference.dat";
const std::string kNoTemporary = "! ls -a | grep -q partial";

// Waits for the temporary in the current directory, then runs action.
std::string while_writing(const std::string& action) {
  return "\"$0\" \"$@\" <&0 & p=$!; while kill -0 $p 2>/dev/null; do "
         "for f in .elab.dat.partial-*; do [ -e \"$f\" ] && break 2; done; done; " +
         action + "; wait $p";
}

std::vector<PlaceCase> place_cases() {
  const std::string after_the_opening = "{ sleep 1; ";
  const std::string then_run = "cat; } | \"$0\" \"$@\"";
  return {
      {"RemovedDuringTheDialogue", after_the_opening + "rm elab.dat; " + then_run,
       kSameAsPlainRun + " && " + kNoTemporary},
      {"RenamedAwayDuringTheDialogue", after_the_opening + "mv elab.dat kept.dat; " + then_run,
       kSameAsPlainRun + " && printf 'earlier\\r\\n' | cmp - kept.dat"},
      {"DirectoryRenamedDuringTheWrite",
       "mkdir run; cp prices.txt elab.dat run; cd run; " + while_writing("mv ../run ../moved"),
       "cd moved && cmp elab.dat ../reference.dat && " + kNoTemporary + " && [ ! -e ../run ]", 0,
       "", 200000},
      {"HardLinked", "ln elab.dat link.dat; exec \"$0\" \"$@\"",
       kSameAsPlainRun + " && cmp link.dat reference.dat && [ \"$(stat -c %h elab.dat)\" = 2 ]"},
      // The files of -o and --dates under the same rules.
      {"HardLinkedOutputAndDatesFiles",
       "printf 'earlier\\r\\n' | tee out.dat >days.txt; ln out.dat out.link; ln days.txt days.link; "
       "exec \"$0\" -o out.dat --dates=days.txt \"$@\"",
       "cmp out.dat reference.dat && cmp out.link reference.dat && [ \"$(stat -c %h out.dat)\" = 2 ] && "
       "[ \"$(wc -l <days.link)\" -gt 100 ] && cmp days.txt days.link && "
       "printf 'earlier\\r\\n' | cmp - elab.dat && " + kNoTemporary},
      {"WithExtendedAttributes",
       "python3 -c 'import os; os.setxattr(\"elab.dat\", \"user.note\", b\"kept\")' 2>/dev/null || exit 77; "
       "exec \"$0\" \"$@\"",
       kSameAsPlainRun + " && python3 -c 'import os; assert os.getxattr(\"elab.dat\", \"user.note\") == b\"kept\"'"},
      {"OwnedByAnotherUser", kNeedsRoot + "chown 65534:65534 elab.dat; exec \"$0\" \"$@\"",
       kSameAsPlainRun + " && [ \"$(stat -c %u:%g elab.dat)\" = 65534:65534 ] && " + kNoTemporary},
      // Like /tmp: a sticky directory of root's, elab.dat root's and open to
      // all, the run another user's.
      {"StickyDirectoryAndAnotherUsersFile",
       kNeedsRoot + "[ -x /usr/bin/setpriv ] || exit 77; chmod 1777 .; chmod 666 elab.dat; "
                    "exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" \"$@\"",
       kSameAsPlainRun + " && [ \"$(stat -c %u elab.dat)\" = 0 ] && " + kNoTemporary},
      // A file this user may write but not give its owner to a new file.
      {"AnotherUsersFileInAnOpenDirectory",
       kNeedsRoot + "[ -x /usr/bin/setpriv ] || exit 77; chmod 666 elab.dat; "
                    "exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" \"$@\"",
       kSameAsPlainRun + " && [ \"$(stat -c %u elab.dat)\" = 0 ] && " + kNoTemporary},
      {"BindMountedFile",
       kNeedsRoot + "printf 'earlier\\r\\n' >volume.dat; mount --bind volume.dat elab.dat || exit 77; "
                    "\"$0\" \"$@\"; s=$?; umount elab.dat; exit $s",
       "cmp volume.dat reference.dat && printf 'earlier\\r\\n' | cmp - elab.dat && " + kNoTemporary},
      {"AppendOnlyDirectory",
       kNeedsRoot + "mkdir run; cp prices.txt elab.dat run; chattr +a run 2>/dev/null || exit 77; "
                    "cd run; \"$0\" \"$@\"; s=$?; chattr -a .; exit $s",
       "cd run && cmp elab.dat ../reference.dat && " + kNoTemporary},
      // The pair is one change: a failing dates file leaves the training
      // file as it was, and makes none where there was none.
      {"PairKeptWhenTheDatesFail",
       "printf 'earlier\\r\\n' >out.dat; exec \"$0\" -o out.dat --dates=/dev/full \"$@\"",
       "printf 'earlier\\r\\n' | cmp - out.dat && " + kNoTemporary, 1,
       report("F6422", "CLOSE(/dev/full)", "disk full")},
      {"NoNewFileWhenTheDatesFail", "exec \"$0\" -o new.dat --dates=/dev/full \"$@\"",
       "[ ! -e new.dat ] && " + kNoTemporary, 1, report("F6422", "CLOSE(/dev/full)", "disk full")},
      {"PairKeptWhenTheDatesFillTheDisk",
       kNeedsRoot + "printf 'earlier\\r\\n' >out.dat; mkdir full; "
                    "mount -t tmpfs -o size=4k tmpfs full 2>/dev/null || exit 77; "
                    "head -c 4096 /dev/zero >full/fill; \"$0\" -o out.dat --dates=full/days.txt \"$@\"; "
                    "s=$?; ls -a full | grep partial >&2; umount full; exit $s",
       "printf 'earlier\\r\\n' | cmp - out.dat && " + kNoTemporary, 1,
       report("F6422", "CLOSE(full/days.txt)", "disk full")},
      // A descriptor is written as it is, appended to where it appends, and
      // the console goes to standard error; elab.dat is not touched.
      {"StandardOutputAppendedTo",
       "printf 'earlier\\r\\n' >log.txt; \"$0\" -o /dev/stdout \"$@\" >>log.txt 2>console.txt",
       "{ printf 'earlier\\r\\n'; cat reference.dat; } | cmp - log.txt && grep -q Record console.txt && "
       "printf 'earlier\\r\\n' | cmp - elab.dat"},
      {"DashIsStandardOutput", "\"$0\" -o - \"$@\" >out.dat 2>console.txt",
       "cmp out.dat reference.dat && grep -q Record console.txt && printf 'earlier\\r\\n' | cmp - elab.dat"},
      {"OutputNamesKeepTheirBlanks", "exec \"$0\" -o ' out.dat' --dates='days ' \"$@\"",
       "cmp ' out.dat' reference.dat && [ -s 'days ' ] && [ ! -e out.dat ] && [ ! -e days ]"},
      // One file however named: nothing is written.
      {"OutputLinkedToThePriceFile", "cp prices.txt copy.txt; ln -s prices.txt p.lnk; exec \"$0\" -o p.lnk \"$@\"",
       "cmp prices.txt copy.txt && printf 'earlier\\r\\n' | cmp - elab.dat", 2,
       "elab: the price file and --output name the same file\r\nTry 'elab --help'.\r\n"},
      {"DatesHardLinkedToTheOutput", "ln elab.dat hard.dat; exec \"$0\" --dates=../$(basename $PWD)/hard.dat \"$@\"",
       "printf 'earlier\\r\\n' | cmp - elab.dat", 2,
       "elab: --output and --dates name the same file\r\nTry 'elab --help'.\r\n"},
      // Standard error on the file system that the records fill: the
      // temporary goes before the report is written.
      {"FullDiskWithTheReportOnIt",
       kNeedsRoot + "mkdir full; mount -t tmpfs -o size=512k tmpfs full 2>/dev/null || exit 77; "
                    "cp elab.dat full; cd full; \"$0\" ../prices.txt 2>errors.txt; s=$?; "
                    "cat errors.txt >&2; ls -a | grep partial >&2; cd ..; umount full; exit $s",
       "true", 1, report("F6422", "WRITE(elab.dat)", "disk full"), 20000},
  };
}

void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }
void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class Places : public Faults, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(Places, RecordsEndUpInTheFileOfTheRunsDirectory) {
  const PlaceCase& c = GetParam();
  dir_.write("prices.txt", price_file(c.rows));
  dir_.write("reference.dat", run({"prices.txt"}, kAnswers).elab.value_or(""));
  dir_.write("elab.dat", "earlier\r\n");
  const auto r = run({"prices.txt"}, kAnswers, {"/bin/bash", "-c", c.shell});
  if (r.status == 77) GTEST_SKIP() << "the system does not allow this case here";
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(r.err, c.err);
  const auto checked = run_command(dir_, {"/bin/bash", "-c", c.check + " || { ls -la; exit 1; }"}, "");
  EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
}

INSTANTIATE_TEST_SUITE_P(All, Places, ::testing::ValuesIn(place_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(Streams, TrainingFileWholeOrUntouched) {
  const StreamCase& c = GetParam();
  if (ELAB_SANITIZED && c.shell.starts_with("ulimit -s")) {
    GTEST_SKIP() << "a sanitizer lays out its memory by the stack limit";
  }
  const std::string prices = price_file(c.rows);
  dir_.write("prices.txt", prices);
  const std::string reference = run({"prices.txt"}, kAnswers).elab.value_or("");
  dir_.write("elab.dat", "earlier\r\n");
  const auto r = run({"prices.txt"}, kAnswers, {"/bin/bash", "-c", c.shell});
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(read("elab.dat"), c.replaced ? reference : "earlier\r\n");
  EXPECT_EQ(read("prices.txt"), prices);
  for (const auto& entry : fs::directory_iterator(dir_.path())) {
    const std::string name = entry.path().filename().string();
    if (name == "prices.txt" || name == "elab.dat" || name == "f") continue;
    EXPECT_TRUE(c.status == -9 && name.starts_with(".elab.dat.partial-")) << name;
  }
  EXPECT_EQ(run({"prices.txt"}, kAnswers).elab, reference);
}

INSTANTIATE_TEST_SUITE_P(All, Streams, ::testing::ValuesIn(stream_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// elab.dat a FIFO: the records reach a reader that is there from the start
// or comes only later; a reader that goes early ends the run with a write
// error, where the run used to wait for ever, being its own reader.
struct FifoCase {
  const char* name;
  std::string reader;  // a shell command reading the FIFO into "got"
  int status;
  std::string err;
  std::size_t got;  // the bytes the reader gets; 0: the whole file
};

void PrintTo(const FifoCase& c, std::ostream* os) { *os << c.name; }

class FifoReaders : public Faults, public ::testing::WithParamInterface<FifoCase> {};

TEST_P(FifoReaders, RecordsReachTheReaderOrTheRunEnds) {
  const FifoCase& c = GetParam();
  dir_.write("prices.txt", price_file(20000));
  const std::string reference = run({"prices.txt"}, kAnswers).elab.value_or("");
  ASSERT_GT(reference.size(), 1000000u);
  fs::remove(dir_.path() / "elab.dat");
  const std::string shell = "mkfifo elab.dat; " + c.reader +
                            " & timeout 60 \"$0\" \"$@\"; s=$?; wait; rm elab.dat; exit $s";
  const auto r = run({"prices.txt"}, kAnswers, {"/bin/bash", "-c", shell});
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(r.err, c.err);
  const std::string got = read("got");
  EXPECT_EQ(got.size(), c.got == 0 ? reference.size() : c.got);
  EXPECT_TRUE(reference.starts_with(got));
}

INSTANTIATE_TEST_SUITE_P(
    All, FifoReaders,
    ::testing::Values(
        FifoCase{"ReaderFromTheStart", "cat elab.dat >got", 0, "", 0},
        FifoCase{"ReaderComingLater", "{ sleep 1; cat elab.dat >got; }", 0, "", 0},
        FifoCase{"ReaderGoingEarly", "head -c 100000 elab.dat >got", 1,
                 report("F6423", "WRITE(elab.dat)", "write failed"), 100000}),
    [](const auto& info) { return std::string(info.param.name); });

// The same through a link to standard output, a pipe: the run used to hold a
// reading end of it too.
TEST_F(Faults, TrainingFileLinkedToAPipeWhoseReaderGoesEarly) {
  dir_.write("prices.txt", price_file(20000));
  fs::create_symlink("/dev/stdout", dir_.path() / "elab.dat");
  const auto r = run({"prices.txt"}, kAnswers,
                     {"/bin/bash", "-c",
                      "set -o pipefail; timeout 60 \"$0\" \"$@\" | head -c 1000 >/dev/null; "
                      "s=$?; rm elab.dat; exit $s"});
  EXPECT_EQ(r.status, 1);
  // The records go to standard output: the console goes to standard error.
  EXPECT_TRUE(r.err.starts_with("Intervallo di tempo")) << r.err;
  EXPECT_TRUE(r.err.ends_with(report("F6423", "WRITE(elab.dat)", "write failed") + "\r\n")) << r.err;
}

TEST_F(Faults, FullRunUnderMemcheckHasNoErrorAndNoLeak) {
  if (ELAB_SANITIZED) GTEST_SKIP() << "memcheck does not run sanitized binaries";
  if (::access(kMemcheck[0].c_str(), X_OK) != 0) GTEST_SKIP() << "valgrind not installed";
  dir_.write("prices.txt", price_file(5000));
  const auto r = run({"prices.txt"}, kAnswers, kMemcheck);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

}  // namespace
