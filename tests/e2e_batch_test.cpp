// End-to-end runs of several price files in one command: each file's
// outputs as its single run gives them, a failing file reported by name
// and left as it was, the answers asked once, one CSV dataset, and an
// interrupted batch.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/dialogue.hpp"
#include "support/prices.hpp"
#include "support/run_process.hpp"

namespace {

using namespace elab_test;

std::string replaced_first(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

const std::vector<std::string> kAnswers = {"--from=all", "--variable=11", "--coefficient=2",
                                           "--screen-output=yes", "--screen-inputs=yes", "--days=dummies"};

std::vector<std::string> with_answers(std::vector<std::string> args) {
  args.insert(args.begin(), kAnswers.begin(), kAnswers.end());
  return args;
}

// The outputs a single run of file gives: the file of -o, then --dates.
std::pair<std::string, std::string> single_run(const std::string& file, const std::string& content,
                                               const std::vector<std::string>& extra = {}) {
  TempDir dir;
  dir.write(file, content);
  std::vector<std::string> args = with_answers({"-o", "one.out", "--dates=one.days"});
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(file);
  const auto r = run_in(dir, args, "");
  EXPECT_EQ(r.status, 0) << r.err;
  return {dir.read("one.out").value_or("none"), dir.read("one.days").value_or("none")};
}

struct BatchCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;  // written before the run
  std::vector<std::string> args;                            // after the answers
  int status;
  std::string out;
  std::string err;
  std::vector<std::string> written;  // series whose outputs equal their single run's
  std::vector<std::string> kept;     // series whose earlier out/NAME.dat stays "old"
};

class Batch : public ::testing::TestWithParam<BatchCase> {};

TEST_P(Batch, EachFileAsItsSingleRun) {
  const auto& c = GetParam();
  TempDir dir;
  std::filesystem::create_directory(dir / "out");
  for (const auto& [name, content] : c.files) dir.write(name, content);
  for (const auto& name : c.kept) dir.write("out/" + name + ".dat", "old");
  const auto r = run_in(dir, with_answers(c.args), "");
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  for (const auto& [name, content] : c.files) {
    const std::string series = name.substr(0, name.rfind('.'));
    if (std::find(c.written.begin(), c.written.end(), series) == c.written.end()) continue;
    const auto [dat, days] = single_run(name, content);
    EXPECT_EQ(dir.read("out/" + series + ".dat"), dat) << series;
    EXPECT_EQ(dir.read("out/" + series + ".days"), days) << series;
  }
  for (const auto& name : c.kept) EXPECT_EQ(dir.read("out/" + name + ".dat"), "old") << name;
  for (const auto& [name, content] : c.files) EXPECT_EQ(dir.read(name), content) << "a price file changed";
  for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
    EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos);
  }
}

const std::string kCsv = format_csv(random_walk(3, 300));
const std::string kOwn = format_prices(random_walk(4, 400));
const std::vector<std::string> kTemplates = {"-o", "out/{name}.dat", "--dates=out/{name}.days"};

std::vector<std::string> templated(std::vector<std::string> files) {
  files.insert(files.begin(), kTemplates.begin(), kTemplates.end());
  return files;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Batch,
    ::testing::Values(
        BatchCase{"BothFormats", {{"a.csv", kCsv}, {"b.txt", kOwn}}, templated({"a.csv", "b.txt"}), 0,
                  "a: Record scritti: 161\r\nb: Record scritti: 242\r\n2 files: 2 written, 0 failed\r\n", "",
                  {"a", "b"}, {}},
        BatchCase{"OneJobAtATime", {{"a.csv", kCsv}, {"b.txt", kOwn}}, templated({"-j1", "b.txt", "a.csv"}), 0,
                  "b: Record scritti: 242\r\na: Record scritti: 161\r\n2 files: 2 written, 0 failed\r\n", "",
                  {"a", "b"}, {}},
        BatchCase{"FailingFilesNamedAndKept",
                  {{"a.csv", kCsv},
                   {"bad.csv", replaced_first(kCsv, "Close", "Settle")},
                   {"short.txt", format_prices(random_walk(5, 100))},
                   {"b.txt", kOwn}},
                  templated({"a.csv", "missing.txt", "bad.csv", "short.txt", "b.txt"}), 1,
                  "a: Record scritti: 161\r\nb: Record scritti: 242\r\n5 files: 2 written, 3 failed\r\n",
                  "elab: missing.txt: run-time error F6416: OPEN(missing.txt) - file does not exist\r\n"
                  "elab: bad.csv: line 1: no close column among \"Date\", \"Open\", \"High\", \"Low\", \"Settle\", \"Adj Close\", \"Volume\": name it with --close=NAME or by its number, --close=5\r\n"
                  "elab: short.txt: 100 rows selected of the 100 it has; a run takes at least 110: choose a wider range "
                  "of dates or a longer file\r\n",
                  {"a", "b"}, {"missing", "bad", "short"}},
        // mend: an output over a price file is refused before any file runs (it was status 134)
        BatchCase{"OutputOverAPriceFile", {{"a.csv", kCsv}, {"b.txt", kOwn}}, {"-o", "{name}.txt", "a.csv", "b.txt"},
                  2, "", "elab: b.txt: the price file and --output name the same file\r\nTry 'elab --help'.\r\n",
                  {}, {}},
        BatchCase{"DatasetOverAPriceFile", {{"a.csv", kCsv}, {"b.txt", kOwn}},
                  {"--format=csv", "-o", "a.csv", "--dates=out/{name}.days", "a.csv", "b.txt"}, 2, "",
                  "elab: a.csv: the price file and --output name the same file\r\nTry 'elab --help'.\r\n", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The answers not given are asked once, at the first file that reaches each
// question, and hold for the others.
TEST(BatchDialogue, AskedOnceHeldForEveryFile) {
  TempDir dir;
  std::filesystem::create_directory(dir / "out");
  dir.write("a.csv", kCsv);
  dir.write("b.txt", kOwn);
  const auto r = run_in(dir, {"--variable=11", "-o", "out/{name}.dat", "missing.txt", "a.csv", "b.txt"},
                        "-1\n2\n1\n1\n-1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "elab: missing.txt: run-time error F6416: OPEN(missing.txt) - file does not exist\r\n");
  EXPECT_EQ(r.out.find("Intervallo"), r.out.rfind("Intervallo"));
  EXPECT_NE(r.out.find("b: Record scritti: 242\r\n3 files: 2 written, 1 failed\r\n"), std::string::npos);
  EXPECT_EQ(dir.read("out/b.dat"), single_run("b.txt", kOwn).first);
}

// Answers that end before the questions do: the others are not run.
TEST(BatchDialogue, AnswersEndingEndTheBatch) {
  TempDir dir;
  dir.write("a.csv", kCsv);
  dir.write("b.txt", kOwn);
  const auto r = run_in(dir, {"--variable=11", "-o", "{name}.dat", "a.csv", "b.txt"}, "-1\n2\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("elab: a.csv: run-time error F6501: READ(CON)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("elab: b.txt: not run: no answers\r\n"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("2 files: 0 written, 2 failed\r\n"), std::string::npos);
}

// The rows of a CSV after its header, each led by one more field.
std::string rows_led_by(const std::string& csv, const std::string& field) {
  std::string out;
  for (std::size_t at = csv.find('\n') + 1; at < csv.size(); at = csv.find('\n', at) + 1) {
    out += field + "," + csv.substr(at, csv.find('\n', at) + 1 - at);
  }
  return out;
}

// One dataset: the single runs' CSVs one after the other, each line led by
// its series, under one header.
TEST(BatchDataset, TheSingleCsvsWithTheSeriesColumn) {
  TempDir dir;
  dir.write("a.csv", kCsv);
  dir.write("b.txt", kOwn);
  const auto r = run_in(dir, with_answers({"--format=csv", "-o", "all.csv", "b.txt", "a.csv"}), "");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string expected;
  for (const auto& [file, content] : {std::pair{std::string("b.txt"), kOwn}, std::pair{std::string("a.csv"), kCsv}}) {
    const std::string csv = single_run(file, content, {"--format=csv"}).first;
    if (expected.empty()) expected = "Series," + csv.substr(0, csv.find('\n') + 1);
    expected += rows_led_by(csv, file.substr(0, 1));
  }
  EXPECT_EQ(dir.read("all.csv"), expected);
  EXPECT_EQ(expected.substr(0, 28), "Series,Date,GIORNO_1,GIORNO_");
  // mend: -o - is standard output, as for one file (it was a file named "-")
  const auto piped = run_in(dir, with_answers({"--format=csv", "-o", "-", "b.txt", "a.csv"}), "");
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, expected);
  EXPECT_FALSE(dir.read("-"));
}

// --symbol=all: every symbol of a long file, each as its run with
// --symbol; without {symbol} in -o, a usage error.
TEST(BatchSymbols, EverySymbolAsItsOwnRun) {
  const std::string other = format_csv(random_walk(7, 300));
  const std::string long_file =
      "Symbol," + kCsv.substr(0, kCsv.find('\n') + 1) + rows_led_by(kCsv, "A") + rows_led_by(other, "B");
  TempDir dir;
  std::filesystem::create_directory(dir / "out");
  dir.write("l.csv", long_file);
  EXPECT_EQ(run_in(dir, with_answers({"--symbol=all", "-o", "out/x.dat", "l.csv"}), "").status, 2);
  const auto r = run_in(dir, with_answers({"--symbol=all", "-o", "out/{symbol}.dat", "l.csv"}), "");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("2 series: 2 written, 0 failed\r\n"), std::string::npos) << r.out;
  for (const std::string symbol : {"A", "B"}) {
    EXPECT_EQ(dir.read("out/" + symbol + ".dat"), single_run("l.csv", long_file, {"--symbol=" + symbol}).first);
  }
}

// Ctrl-C at points through a batch: no temporary left, every output either
// as it was or whole.
TEST(BatchInterrupted, NoTemporaryLeftFinishedFilesWhole) {
  const std::string big = format_prices(random_walk(6, 20000));
  const auto [whole, days] = single_run("p.txt", big);
  for (const int ms : {5, 40, 120, 300}) {
    SCOPED_TRACE(ms);
    TempDir dir;
    std::filesystem::create_directory(dir / "out");
    std::vector<std::string> args = with_answers(templated({"-j2"}));
    for (int k = 0; k < 12; ++k) {
      dir.write("p" + std::to_string(k) + ".txt", big);
      dir.write("out/p" + std::to_string(k) + ".dat", "old");
      args.push_back("p" + std::to_string(k) + ".txt");
    }
    std::vector<std::string> command = program_command(args);
    const std::vector<char*> argv = argv_of(command);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
      const int null = ::open("/dev/null", O_RDWR);
      for (const int fd : {0, 1, 2}) ::dup2(null, fd);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    ::kill(pid, SIGINT);
    int ws = 0;
    while (::waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(".partial-"), std::string::npos) << name;
      EXPECT_EQ(name.find(".earlier-"), std::string::npos) << name;
      const auto content = read_file(entry.path());
      if (name.ends_with(".dat")) {
        EXPECT_TRUE(content == "old" || content == whole) << name;
      } else {
        EXPECT_TRUE(content.empty() || content == days) << name;
      }
    }
    for (int k = 0; k < 12; ++k) {  // each pair both old or both new
      const std::string name = "out/p" + std::to_string(k);
      EXPECT_EQ(dir.read(name + ".dat") == whole, dir.read(name + ".days") == days) << name;
    }
  }
}

}  // namespace
