// Faults and limits: what a disk, a file system or a hostile price file can
// do to a run. Every case ends with its defined report or stop and status,
// and an existing elab.dat keeps its content unless records were written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kAnswers = "-1\n11\n2\n1\n1\n-1\n";

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// Runs the program in dir with the answers on standard input; as the
// unprivileged user when asked, so that file permissions hold.
Outcome run_elab(const fs::path& dir, const std::vector<std::string>& args, const std::string& input,
                 bool unprivileged = false, const std::string& wrapper = "") {
  const fs::path in = dir / ".stdin", out = dir / ".stdout", err = dir / ".stderr";
  write_file(in, input);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) _exit(127);
    const int i = ::open(in.c_str(), O_RDONLY);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::dup2(i, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    std::vector<std::string> argv;
    if (!wrapper.empty()) {
      std::istringstream words(wrapper);
      for (std::string w; words >> w;) argv.push_back(w);
    }
    if (unprivileged) {
      for (const char* w : {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"})
        argv.push_back(w);
    }
    argv.push_back(ELAB_BINARY);
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    ::execvp(cargv[0], cargv.data());
    _exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  Outcome r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = read_file(out);
  r.err = read_file(err);
  return r;
}

std::string report(const std::string& number, const std::string& statement,
                   const std::string& message) {
  std::string r = "\r\nrun-time error ";
  r.append(number).append(": ").append(statement).append("\r\n- ").append(message).append("\r\n");
  return r;
}

// A price file of business days with a random walk of closes.
std::string price_file(int rows, unsigned seed = 3) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> step(0.0, 0.01);
  std::ostringstream s;
  s << rows << " 7\n";
  double close = 500.0;
  int day = 0;
  for (int r = 0; r < rows; ++r, ++day) {
    close *= std::exp(step(rng));
    s << 1990 + day / 250 << ' ' << 1 + day / 21 % 12 << ' ' << 1 + day % 21 << " 0 0 "
      << static_cast<int>(close * 100) / 100.0 << ' ' << 2 + day % 5 << '\n';
  }
  return s.str();
}

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("elab-faults-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::permissions(dir_, fs::perms::all);
    write_file(dir_ / "prices.txt", price_file(400));
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::all);
    fs::remove_all(dir_);
  }
  // Root ignores file permissions, so these cases run as nobody; that user
  // must be able to reach the binary (a clone in a private directory cannot).
  static bool can_drop_privileges() {
    if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0) return false;
    const std::string check = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups "
                              "/usr/bin/test -x " ELAB_BINARY;
    return std::system(check.c_str()) == 0;
  }

  fs::path dir_;
};

TEST_F(Faults, FullDiskAtTheCloseOfASmallFile) {
  fs::create_symlink("/dev/full", dir_ / "elab.dat");
  const Outcome r = run_elab(dir_, {"prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6422", "CLOSE(elab.dat)", "disk full"));
}

TEST_F(Faults, FullDiskAtAWriteOfALargeFile) {
  // More records than the file buffer holds: the failure meets a write.
  write_file(dir_ / "prices.txt", price_file(20000));
  fs::create_symlink("/dev/full", dir_ / "elab.dat");
  const Outcome r = run_elab(dir_, {"prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6422", "WRITE(elab.dat)", "disk full"));
}

TEST_F(Faults, ReadOnlyTrainingFileIsOpenedButRefusesTheFirstRecord) {
  if (!can_drop_privileges()) GTEST_SKIP() << "needs root and setpriv to run unprivileged";
  write_file(dir_ / "elab.dat", "earlier\r\n");
  fs::permissions(dir_ / "elab.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const Outcome r = run_elab(dir_, {"prices.txt"}, kAnswers, true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6421", "WRITE(elab.dat)", "write refused"));
  EXPECT_EQ(read_file(dir_ / "elab.dat"), "earlier\r\n");
}

// A normal end with no record must leave the file empty; when it cannot be
// emptied, that is a failure, not a success.
TEST_F(Faults, ReadOnlyTrainingFileThatCannotBeEmptied) {
  if (!can_drop_privileges()) GTEST_SKIP() << "needs root and setpriv to run unprivileged";
  write_file(dir_ / "elab.dat", "earlier\r\n");
  fs::permissions(dir_ / "elab.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // A negative coefficient marks every day: no record.
  const Outcome r = run_elab(dir_, {"prices.txt"}, "-1\n11\n-1\n1\n0\n0\n", true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6421", "CLOSE(elab.dat)", "write refused"));
  EXPECT_EQ(read_file(dir_ / "elab.dat"), "earlier\r\n");
}

TEST_F(Faults, ReadOnlyDirectoryCannotCreateTheTrainingFile) {
  if (!can_drop_privileges()) GTEST_SKIP() << "needs root and setpriv to run unprivileged";
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const Outcome r = run_elab(dir_, {"prices.txt"}, kAnswers, true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6414", "OPEN(elab.dat)", "access denied"));
  EXPECT_FALSE(fs::exists(dir_ / "elab.dat"));
}

TEST_F(Faults, PriceFileThatNoModeCanOpen) {
  if (!can_drop_privileges()) GTEST_SKIP() << "needs root and setpriv to run unprivileged";
  fs::permissions(dir_ / "prices.txt", fs::perms::none);
  const Outcome r = run_elab(dir_, {"prices.txt"}, kAnswers, true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6414", "OPEN(prices.txt)", "access denied"));
}

TEST_F(Faults, ReadOnlyPriceFileIsRead) {
  if (!can_drop_privileges()) GTEST_SKIP() << "needs root and setpriv to run unprivileged";
  fs::permissions(dir_ / "prices.txt", fs::perms::owner_read | fs::perms::others_read);
  const Outcome r = run_elab(dir_, {"prices.txt"}, kAnswers, true);
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Faults, MissingDirectoryOfThePriceFile) {
  const Outcome r = run_elab(dir_, {"nodir/prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6416", "OPEN(nodir/prices.txt)", "path not found"));
}

TEST_F(Faults, DirectoryAsPriceFileOpensButCannotBeRead) {
  fs::create_directory(dir_ / "d");
  const Outcome r = run_elab(dir_, {"d"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6500", "READ(d)", "file cannot be read"));
}

// The console input ends in front of each question in turn.
TEST_F(Faults, ConsoleClosingAtEveryQuestion) {
  const std::vector<std::string> lines = {"-1", "11", "2", "1", "1", "-1"};
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::string input;
    for (std::size_t k = 0; k < n; ++k) input += lines[k] + "\n";
    write_file(dir_ / "elab.dat", "earlier\r\n");
    const Outcome r = run_elab(dir_, {"prices.txt"}, input);
    EXPECT_EQ(r.status, 1) << n;
    EXPECT_EQ(r.err, report("F6501", "READ(CON)", "end of file encountered")) << n;
    EXPECT_EQ(read_file(dir_ / "elab.dat"), "earlier\r\n") << n;
    // The output's own pending line end is written when the console closes.
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\r\n") << n;
  }
}

TEST_F(Faults, ConsoleClosingDuringTheFileNameQuestion) {
  const Outcome r = run_elab(dir_, {}, "  \n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6501", "OPEN()", "end of file encountered"));
}

TEST_F(Faults, AnswerLinesOf130And131Characters) {
  // Blanks in front of the answer make the line 130 characters long.
  const std::string ok = std::string(128, ' ') + "-1";
  Outcome r = run_elab(dir_, {"prices.txt"}, ok + "\n11\n2\n1\n1\n-1\n");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string too_long = std::string(129, ' ') + "-1";
  write_file(dir_ / "elab.dat", "earlier\r\n");
  r = run_elab(dir_, {"prices.txt"}, too_long + "\n11\n2\n1\n1\n-1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("F6407", "READ(CON)", "input line too long"));
  EXPECT_EQ(read_file(dir_ / "elab.dat"), "earlier\r\n");
}

struct LimitCase {
  const char* name;
  std::string prices;
  int status;
  std::string out_tail;  // the end of the console output
  std::string err;
};

std::string repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

std::vector<LimitCase> limit_cases() {
  const std::string no_room = "Insufficiente spazio per le matrici\r\nReturn code 99\r\n\r\n";
  std::string wide_row = "200 10000\n";
  for (int r = 0; r < 200; ++r) {
    wide_row += std::to_string(1990 + r / 200) + " 1 " + std::to_string(1 + r % 28) + " 0 0 " +
                std::to_string(100 + r % 7) + " " + std::to_string(2 + r % 5);
    wide_row += repeat(" 1.5", 10000 - 7) + "\n";
  }
  std::string long_value = "150 7\n" + std::string(10000, '9') + " 1 1 0 0 100 2\n";
  std::string zero_close = "150 7\n";
  std::string tiny_close = "150 7\n";
  std::string huge_close = "150 7\n";
  std::string far_dates = "150 7\n";
  for (int r = 0; r < 150; ++r) {
    const std::string d = "1995 1 " + std::to_string(1 + r % 28) + " 0 0 ";
    const std::string code = " " + std::to_string(2 + r % 5) + "\n";
    zero_close += d + (r == 40 ? "0" : std::to_string(100 + r % 3)) + code;
    tiny_close += d + (r % 2 ? "1e-40" : "2e-40") + code;
    huge_close += d + (r % 2 ? "3e38" : "1") + code;
    far_dates += std::string(r % 2 ? "3e38" : "-3e38") + " 99 99 0 0 " + std::to_string(100 + r % 3) + code;
  }
  std::string junk;
  std::mt19937 rng(9);
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>(rng() % 256);
  junk[0] = 'x';
  return {
      {"RowCountAtTheLimit", "2147483647 7\n", 99, no_room, ""},
      {"SizeBeyondTheAddressSpace", "2147483647 2147483647\n", 99, no_room, ""},
      {"OneColumn", "5 1\n1\n2\n3\n4\n5\n", 1, "Il file deve avere almeno 7 colonne\r\n", ""},
      {"RowOfTenThousandValues", wide_row, 0, "Stop - Program terminated.\r\n\r\n", ""},
      {"ValueOfTenThousandDigits", long_value, 1, "",
       report("F6102", "READ(prices.txt)", "real value out of double precision range")},
      {"OnlyBlanks", std::string(100000, ' '), 1, "",
       report("F6501", "READ(prices.txt)", "end of file encountered")},
      {"BinaryJunk", junk, 1, "", report("F6101", "READ(prices.txt)", "invalid integer value")},
      {"CloseOfZero", zero_close, 1, "", report("M6103", "MATH", "floating-point error: divide by zero")},
      {"DatesFarOutsideTheCalendar", far_dates, 1,
       "Righe selezionate insufficienti: ne servono almeno 110\r\n\r\n", ""},
  };
}

class Limits : public Faults, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(Limits, EndsWithItsDefinedReportOrStop) {
  const LimitCase& c = GetParam();
  write_file(dir_ / "prices.txt", c.prices);
  write_file(dir_ / "elab.dat", "earlier\r\n");
  // The far dates are selected by range, so they need the range answers.
  const std::string answers = std::string(c.name) == "DatesFarOutsideTheCalendar"
                                  ? "-2147483647\n2147483647\n11\n2\n1\n1\n-1\n"
                                  : kAnswers;
  const Outcome r = run_elab(dir_, {"prices.txt"}, answers);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(r.err, c.err);
  ASSERT_GE(r.out.size(), c.out_tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - c.out_tail.size()), c.out_tail);
  if (c.status != 0) EXPECT_EQ(read_file(dir_ / "elab.dat"), "earlier\r\n");
  else EXPECT_NE(read_file(dir_ / "elab.dat"), "earlier\r\n");
}

INSTANTIATE_TEST_SUITE_P(All, Limits, ::testing::ValuesIn(limit_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Closes of 1e-40 (denormal) and 3e38: underflow passes, the percent change
// of 3e38 against 1 overflows.
TEST_F(Faults, TinyClosesUnderflowSilentlyAndHugeClosesOverflow) {
  std::string tiny = "150 7\n", huge = "150 7\n";
  for (int r = 0; r < 150; ++r) {
    const std::string d = "1995 1 " + std::to_string(1 + r % 28) + " 0 0 ";
    const std::string code = " " + std::to_string(2 + r % 5) + "\n";
    tiny += d + (r % 2 ? "1e-40" : "1.5e-40") + code;
    huge += d + (r % 2 ? "3e38" : "1") + code;
  }
  write_file(dir_ / "prices.txt", tiny);
  Outcome r = run_elab(dir_, {"prices.txt"}, kAnswers);
  EXPECT_EQ(r.err.find("M61"), std::string::npos) << r.err;  // no arithmetic fault
  write_file(dir_ / "prices.txt", huge);
  r = run_elab(dir_, {"prices.txt"}, kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report("M6104", "MATH", "floating-point error: overflow"));
}

TEST_F(Faults, FullRunUnderMemcheckHasNoErrorAndNoLeak) {
  if (ELAB_SANITIZED) GTEST_SKIP() << "memcheck does not run sanitized binaries";
  if (::access("/usr/bin/valgrind", X_OK) != 0) GTEST_SKIP() << "valgrind not installed";
  write_file(dir_ / "prices.txt", price_file(5000));
  const Outcome r = run_elab(dir_, {"prices.txt"}, kAnswers, false,
                             "/usr/bin/valgrind --tool=memcheck --leak-check=full "
                             "--errors-for-leak-kinds=all --error-exitcode=42 -q");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

}  // namespace
