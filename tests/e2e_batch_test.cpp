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
#include <map>
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

// The outputs a single run of file gives: the file of -o, then --dates; of
// one set where set is named.
std::pair<std::string, std::string> single_run(const std::string& file, const std::string& content,
                                               const std::vector<std::string>& extra = {},
                                               const std::string& set = "") {
  TempDir dir;
  dir.write(file, content);
  const std::string stem = set.empty() ? "one" : "one.{set}";
  std::vector<std::string> args = with_answers({"-o", stem + ".out", "--dates=" + stem + ".days"});
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(file);
  const auto r = run_in(dir, args, "");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string made = set.empty() ? "one" : "one." + set;
  return {dir.read(made + ".out").value_or("none"), dir.read(made + ".days").value_or("none")};
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
  std::vector<std::string> tree = {};  // where given, every file there is after the run
  std::vector<std::string> single = {};     // of the single runs too
  std::vector<std::string> sets = {""};     // out/NAME.SET.dat of each set named
};

// Every file under dir, by its path there, with its bytes.
std::map<std::string, std::string> files_under(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
    if (entry.is_regular_file()) {
      files[entry.path().lexically_relative(dir.path()).generic_string()] = read_file(entry.path());
    }
  }
  return files;
}

class Batch : public ::testing::TestWithParam<BatchCase> {};

TEST_P(Batch, EachFileAsItsSingleRun) {
  const auto& c = GetParam();
  TempDir dir;
  std::filesystem::create_directory(dir / "out");
  for (const auto& [name, content] : c.files) {
    std::filesystem::create_directories((dir / name).parent_path());
    dir.write(name, content);
  }
  for (const auto& name : c.kept) dir.write("out/" + name + ".dat", "old");
  const auto before = files_under(dir);
  const auto r = run_in(dir, with_answers(c.args), "");
  EXPECT_EQ(r.status, c.status);
  // A refused batch touches no file.
  if (c.status == 2) {
    EXPECT_EQ(files_under(dir), before);
  }
  if (!c.tree.empty()) {
    std::vector<std::string> tree;
    for (const auto& [name, content] : files_under(dir)) tree.push_back(name);
    EXPECT_EQ(tree, c.tree);
  }
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  for (const auto& [name, content] : c.files) {
    const std::string series = name.substr(0, name.rfind('.'));
    if (std::find(c.written.begin(), c.written.end(), series) == c.written.end()) continue;
    for (const std::string& set : c.sets) {
      const auto [dat, days] = single_run(name, content, c.single, set);
      const std::string stem = "out/" + series + (set.empty() ? "" : "." + set);
      EXPECT_EQ(dir.read(stem + ".dat"), dat) << series << set;
      EXPECT_EQ(dir.read(stem + ".days"), days) << series << set;
    }
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

// The rows of a CSV after its header, each led by one more field.
std::string rows_led_by(const std::string& csv, const std::string& field) {
  std::string out;
  for (std::size_t at = csv.find('\n') + 1; at < csv.size(); at = csv.find('\n', at) + 1) {
    out += field + "," + csv.substr(at, csv.find('\n', at) + 1 - at);
  }
  return out;
}

// A file of several series: the rows of csv once for each symbol.
std::string long_file(const std::string& csv, const std::vector<std::string>& symbols) {
  std::string text = "Symbol," + csv.substr(0, csv.find('\n') + 1);
  for (const std::string& symbol : symbols) text += rows_led_by(csv, symbol);
  return text;
}

// Symbols whose rows are apart, each with a fault of its own rows: B a day
// that is none, C one date twice (its rows first and last).
std::string faulty_symbols() {
  const std::string header = kCsv.substr(0, kCsv.find('\n') + 1);
  const std::string first = kCsv.substr(header.size(), kCsv.find('\n', header.size()) + 1 - header.size());
  std::string no_day = first;
  no_day.replace(5, 2, "13");
  return "Symbol," + header + "C," + first + rows_led_by(kCsv, "A") + "B," + no_day + "C," + first;
}

const std::string kHostile = long_file(kCsv, {"\"../../../escaped\"", "/abs/path/abs", "./x", "x", "\"\"", "-rf",
                                             "\"a\x01" "b\"", "..", "%41"});

std::vector<std::string> templated(std::vector<std::string> files) {
  files.insert(files.begin(), kTemplates.begin(), kTemplates.end());
  return files;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Batch,
    ::testing::Values(
        BatchCase{"BothFormats", {{"a.csv", kCsv}, {"b.txt", kOwn}}, templated({"a.csv", "b.txt"}), 0,
                  "a: Record scritti: 161\nb: Record scritti: 242\n2 files: 2 written, 0 failed\n", "",
                  {"a", "b"}, {}},
        // a name that is all extension keeps its dot: ".a" is its stem
        BatchCase{"NameStartingWithADot", {{".a", kCsv}, {"b.txt", kOwn}}, templated({".a", "b.txt"}), 0,
                  ".a: Record scritti: 161\nb: Record scritti: 242\n2 files: 2 written, 0 failed\n", "",
                  {".a", "b"}, {}},
        BatchCase{"OneJobAtATime", {{"a.csv", kCsv}, {"b.txt", kOwn}}, templated({"-j1", "b.txt", "a.csv"}), 0,
                  "b: Record scritti: 242\na: Record scritti: 161\n2 files: 2 written, 0 failed\n", "",
                  {"a", "b"}, {}},
        BatchCase{"FailingFilesNamedAndKept",
                  {{"a.csv", kCsv},
                   {"bad.csv", replaced_first(kCsv, "Close", "Mid")},
                   {"short.txt", format_prices(random_walk(5, 100))},
                   {"b.txt", kOwn}},
                  templated({"a.csv", "missing.txt", "bad.csv", "short.txt", "b.txt"}), 1,
                  "a: Record scritti: 161\nb: Record scritti: 242\n5 files: 2 written, 3 failed\n",
                  "elab: missing.txt: run-time error F6416: OPEN(missing.txt) - file does not exist\n"
                  "elab: bad.csv: line 1: no close column among \"Date\", \"Open\", \"High\", \"Low\", \"Mid\", \"Adj Close\", \"Volume\": name it with --close=NAME or by its number, --close=5\n"
                  "elab: short.txt: 100 rows selected of the 100 it has; a run takes at least 110: choose a wider range "
                  "of dates or a longer file\n",
                  {"a", "b"}, {"missing", "bad", "short"}},
        BatchCase{"TwoSetsEach", {{"a.csv", kCsv}, {"b.txt", kOwn}},
                  {"--test-from=1995-10-02", "-o", "out/{name}.{set}.dat", "--dates=out/{name}.{set}.days", "a.csv",
                   "b.txt"},
                  0, "a: Record scritti: 67; test records: 25\nb: Record scritti: 74; test records: 109\n2 files: 2 written, 0 failed\n",
                  "", {"a", "b"}, {}, {}, {"--test-from=1995-10-02"}, {"train", "test"}},
        // mend: an output over a price file is refused before any file runs (it was status 134)
        BatchCase{"OutputOverAPriceFile", {{"a.csv", kCsv}, {"b.txt", kOwn}}, {"-o", "{name}.txt", "a.csv", "b.txt"},
                  2, "", "elab: b.txt: the price file and --output name the same file\r\nTry 'elab --help'.\r\n",
                  {}, {}},
        BatchCase{"DatasetOverAPriceFile", {{"a.csv", kCsv}, {"b.txt", kOwn}},
                  {"--format=csv", "-o", "a.csv", "--dates=out/{name}.days", "a.csv", "b.txt"}, 2, "",
                  "elab: a.csv: the price file and --output name the same file\r\nTry 'elab --help'.\r\n", {}, {}},
        // mend: an output over another series' price file is refused (it replaced it)
        BatchCase{"OutputOverAnotherPriceFile", {{"p.csv", kCsv}, {"p2.csv", kCsv}},
                  {"-j1", "-o", "{name}2.csv", "p.csv", "p2.csv"}, 2, "",
                  "elab: p.csv: --output 'p2.csv' would overwrite the price file p2.csv: write the outputs elsewhere (-o 'out/{name}.dat')\r\nTry 'elab --help'.\r\n",
                  {}, {}},
        BatchCase{"DatesOverAnotherPriceFile", {{"p.csv", kCsv}, {"p2.csv", kCsv}},
                  {"-o", "out/{name}.dat", "--dates=./{name}2.csv", "p.csv", "p2.csv"}, 2, "",
                  "elab: p.csv: --dates './p2.csv' would overwrite the price file p2.csv: write the outputs elsewhere (-o 'out/{name}.dat')\r\nTry 'elab --help'.\r\n",
                  {}, {}},
        BatchCase{"DatasetOverTheLastPriceFile", {{"a.csv", kCsv}, {"b.txt", kOwn}},
                  {"--format=csv", "-o", "./b.txt", "a.csv", "b.txt"}, 2, "",
                  "elab: b.txt: the price file and --output name the same file\r\nTry 'elab --help'.\r\n", {}, {}},
        BatchCase{"TwoSeriesWritingOneFile", {{"x.csv", kCsv}, {"x.d.csv", kCsv}},
                  {"-o", "out/{name}.d", "--dates=out/{name}", "x.csv", "x.d.csv"}, 2, "",
                  "elab: 'out/x.d' would be written twice, as --output of x.csv and as --dates of x.d.csv: tell the "
                  "series apart in -o and --dates ({name}, {symbol})\r\nTry 'elab --help'.\r\n",
                  {}, {}},
        BatchCase{"OneFileTwice", {{"a.csv", kCsv}}, templated({"a.csv", "a.csv"}), 2, "",
                  "elab: price file 'a.csv' given twice: give each file once\r\nTry 'elab --help'.\r\n", {}, {}},
        // mend: files of one stem are told apart (the batch was refused)
        BatchCase{"EqualStemsByExtensionThenFolder",
                  {{"ENI.csv", kCsv}, {"ENI.txt", kOwn}, {"a/x.csv", kCsv}, {"b/x.csv", kCsv}},
                  templated({"ENI.csv", "ENI.txt", "a/x.csv", "b/x.csv"}), 0,
                  "ENI.csv: Record scritti: 161\nENI.txt: Record scritti: 242\na/x.csv: Record scritti: 161\n"
                  "b/x.csv: Record scritti: 161\n4 files: 4 written, 0 failed\n", "", {}, {},
                  {"ENI.csv", "ENI.txt", "a/x.csv", "b/x.csv", "out/ENI.csv.dat", "out/ENI.csv.days",
                   "out/ENI.txt.dat", "out/ENI.txt.days", "out/a%2Fx.csv.dat", "out/a%2Fx.csv.days",
                   "out/b%2Fx.csv.dat", "out/b%2Fx.csv.days"}},
        // A name grown to the extension meets another file's stem: both grow.
        BatchCase{"AGrownNameMeetingAStem", {{"x.csv", kCsv}, {"x.txt", kCsv}, {"x.csv.txt", kCsv}},
                  {"-o", "out/{name}.dat", "x.csv", "x.txt", "x.csv.txt"}, 0,
                  "x.csv: Record scritti: 161\nx.txt: Record scritti: 161\nx.csv.txt: Record scritti: 161\n"
                  "3 files: 3 written, 0 failed\n", "", {}, {},
                  {"out/x.csv.dat", "out/x.csv.txt.dat", "out/x.txt.dat", "x.csv", "x.csv.txt", "x.txt"}},
        BatchCase{"EqualStemsIntoOneDataset", {{"ENI.csv", kCsv}, {"ENI.txt", kOwn}},
                  {"--format=csv", "-o", "out/all.csv", "ENI.csv", "ENI.txt"}, 0,
                  "ENI.csv: Record scritti: 161\nENI.txt: Record scritti: 242\n2 files: 2 written, 0 failed\n",
                  "", {}, {}, {"ENI.csv", "ENI.txt", "out/all.csv"}},
        // A symbol of two files is led by its file's name, one Series each.
        BatchCase{"OneSymbolInTwoFilesIntoOneDataset",
                  {{"a.csv", long_file(kCsv, {"A", "B"})}, {"b.csv", long_file(kCsv, {"A"})}},
                  {"--symbol=all", "--format=csv", "-o", "out/all.csv", "a.csv", "b.csv"}, 0,
                  "a/A: Record scritti: 161\nB: Record scritti: 161\nb/A: Record scritti: 161\n"
                  "3 series: 3 written, 0 failed\n", "", {}, {}, {"a.csv", "b.csv", "out/all.csv"}},
        // mend: a symbol is one file name in the folder of -o (it could name
        // any folder, merge with another or be hidden)
        BatchCase{"HostileSymbolsStayInTheFolder", {{"l.csv", kHostile}},
                  {"--symbol=all", "-o", "out/{symbol}.dat", "l.csv"}, 1,
                  "../../../escaped: Record scritti: 161\n/abs/path/abs: Record scritti: 161\n"
                  "./x: Record scritti: 161\nx: Record scritti: 161\n-rf: Record scritti: 161\n"
                  "a\x01" "b: Record scritti: 161\n..: Record scritti: 161\n%41: Record scritti: 161\n"
                  "9 series: 8 written, 1 failed\n",
                  "elab: l.csv (): an empty {symbol} names no file\n", {}, {},
                  {"l.csv", "out/%2541.dat", "out/%2Drf.dat", "out/%2E%2Fx.dat", "out/%2E.%2F..%2F..%2Fescaped.dat",
                   "out/%2E..dat", "out/%2Fabs%2Fpath%2Fabs.dat", "out/a%01b.dat", "out/x.dat"}},
        BatchCase{"SourcesLineRefused", {{"a.csv", kCsv}, {"list.csv", "file,close\na.csv,Close\nb.csv\n"}},
                  {"--sources=list.csv", "-o", "out/{name}.dat"}, 2, "",
                  "elab: --sources list.csv: line 3: 1 fields, the header has 2\r\nTry 'elab --help'.\r\n", {}, {}},
        BatchCase{"SourcesColumnUnknown", {{"a.csv", kCsv}, {"list.csv", "file,clos\na.csv,Close\n"}},
                  {"--sources=list.csv", "-o", "out/{name}.dat"}, 2, "",
                  "elab: --sources list.csv: line 1: no column 'clos' is known: file, close, date_column, date_order, "
                  "symbol, name\r\nTry 'elab --help'.\r\n", {}, {}},
        // one source runs as one file, with its own options
        BatchCase{"SourcesOverTheCommand", {{"l.csv", long_file(kCsv, {"B", "C"})}, {"list.csv", "file,symbol\nl.csv,B\n"}},
                  {"--symbol=A", "--sources=list.csv", "--check"}, 0, "0 findings in 300 rows\r\n", "", {}, {},
                  {"l.csv", "list.csv"}},
        // --check of each series or file, a block each; nothing asked
        // Each symbol's rows read once and apart: a fault is its series' own.
        BatchCase{"EachSymbolFailsOnItsOwnRows", {{"l.csv", faulty_symbols()}},
                  {"--symbol=all", "-o", "out/{symbol}.dat", "l.csv"}, 1,
                  "A: Record scritti: 161\n3 series: 1 written, 2 failed\n",
                  "elab: l.csv (C): lines 2 and 304: the same date 1995-01-02\n"
                  "elab: l.csv (B): line 303, field \"Date\": no such day: \"1995-13-02\"\n",
                  {}, {}, {"l.csv", "out/A.dat"}},
        BatchCase{"CheckEverySymbol", {{"l.csv", long_file(kCsv, {"A", "B"})}},
                  {"--check", "--symbol=all", "l.csv"}, 0,
                  "l.csv (A):\n0 findings in 300 rows\nl.csv (B):\n0 findings in 300 rows\n", "", {}, {},
                  {"l.csv"}},
        BatchCase{"CheckEveryFile", {{"a.csv", replaced_first(kCsv, "\n", "\n1990-01-01,1,1,1,0,0,0\n")}, {"b.txt", kOwn}},
                  {"--check", "a.csv", "missing.txt", "b.txt"}, 1,
                  "a.csv:\nrow 1, line 2: a close of zero or below\n"
                  "row 2, line 3: 1827 calendar days after the previous row's 1990-01-01: days are missing\n"
                  "2 findings in 301 rows\nmissing.txt:\nb.txt:\n0 findings in 400 rows\n",
                  "elab: missing.txt: run-time error F6416: OPEN(missing.txt) - file does not exist\n", {}, {},
                  {"a.csv", "b.txt"}}),
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
  EXPECT_EQ(r.err, "elab: missing.txt: run-time error F6416: OPEN(missing.txt) - file does not exist\n");
  EXPECT_EQ(r.out.find("Intervallo"), r.out.rfind("Intervallo"));
  EXPECT_NE(r.out.find("b: Record scritti: 242\n3 files: 2 written, 1 failed\n"), std::string::npos);
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
  EXPECT_NE(r.err.find("elab: b.txt: not run: no answers\n"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("2 files: 0 written, 2 failed\n"), std::string::npos);
}

// One dataset: the single runs' CSVs one after the other under one header,
// each line led by its series in both.
TEST(BatchDataset, TheSingleCsvsWithTheSeriesColumn) {
  TempDir dir;
  dir.write("a.csv", kCsv);
  dir.write("b.txt", kOwn);
  const auto r = run_in(dir, with_answers({"--format=csv", "-o", "all.csv", "b.txt", "a.csv"}), "");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string expected;
  for (const auto& [file, content] : {std::pair{std::string("b.txt"), kOwn}, std::pair{std::string("a.csv"), kCsv}}) {
    const std::string csv = single_run(file, content, {"--format=csv"}).first;
    if (expected.empty()) expected = csv.substr(0, csv.find('\n') + 1);
    expected += csv.substr(csv.find('\n') + 1);
  }
  EXPECT_EQ(dir.read("all.csv"), expected);
  EXPECT_EQ(expected.substr(0, 28), "Series,Date,GIORNO_1,GIORNO_");
  // mend: -o - is standard output, as for one file (it was a file named "-")
  const auto piped = run_in(dir, with_answers({"--format=csv", "-o", "-", "b.txt", "a.csv"}), "");
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, expected);
  EXPECT_FALSE(dir.read("-"));
}

// pandas' (field, ticker) columns of two series: their closes side by side.
std::string ticker_columns(const std::string& a, const std::string& b) {
  std::string text = "Price,Close,Close\nTicker,A,B\nDate,,\n";
  for (std::size_t at = a.find('\n') + 1, bt = b.find('\n') + 1; at < a.size();
       at = a.find('\n', at) + 1, bt = b.find('\n', bt) + 1) {
    const auto close = [](const std::string& csv, std::size_t from) {
      std::size_t f = from;
      for (int k = 0; k < 4; ++k) f = csv.find(',', f) + 1;
      return csv.substr(f, csv.find(',', f) - f);
    };
    text += a.substr(at, 10) + "," + close(a, at) + "," + close(b, bt) + "\n";
  }
  return text;
}

// --symbol=all: every symbol of a long file, or every ticker of pandas'
// (field, ticker) columns, each as its own run with --symbol; without
// {symbol} in -o, a usage error.
TEST(BatchSymbols, EverySymbolAsItsOwnRun) {
  const std::string other = format_csv(random_walk(7, 300));
  const std::string long_file =
      "Symbol," + kCsv.substr(0, kCsv.find('\n') + 1) + rows_led_by(kCsv, "A") + rows_led_by(other, "B");
  for (const std::string& file : {long_file, ticker_columns(kCsv, other)}) {
    TempDir dir;
    std::filesystem::create_directory(dir / "out");
    dir.write("l.csv", file);
    EXPECT_EQ(run_in(dir, with_answers({"--symbol=all", "-o", "out/x.dat", "l.csv"}), "").status, 2);
    const auto r = run_in(dir, with_answers({"--symbol=all", "-o", "out/{symbol}.dat", "l.csv"}), "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("2 series: 2 written, 0 failed\n"), std::string::npos) << r.out;
    for (const std::string symbol : {"A", "B"}) {
      EXPECT_EQ(dir.read("out/" + symbol + ".dat"), single_run("l.csv", file, {"--symbol=" + symbol}).first);
    }
    EXPECT_NE(dir.read("out/A.dat"), dir.read("out/B.dat"));
  }
}

// A day of at most 12 in every row: the order of a date is the file's
// option to give.
std::string slashed_csv(std::uint64_t seed, bool day_first) {
  std::string text = "Date,Close\n";
  for (const PriceRow& r : random_walk(seed, 800)) {
    if (r.day > 12) continue;
    const std::string d = iso_date(r);
    const std::string day = d.substr(8, 2), month = d.substr(5, 2);
    text += (day_first ? day + "/" + month : month + "/" + day) + "/" + d.substr(0, 4) + "," + money(r.close) + "\n";
  }
  return text;
}

// A sources file serving a folder of ten files that each need options of
// their own: one command, each file's outputs the bytes of its single run
// with its options.
TEST(BatchSources, TenFilesEachAsItsSingleRunWithItsOptions) {
  struct Source {
    std::string file, content, columns;  // columns: close,date_column,date_order,symbol,name
    std::vector<std::string> single;
    std::string name;
  };
  const auto walk = [](std::uint64_t seed) { return format_csv(random_walk(seed, 300)); };
  const std::vector<Source> sources = {
      {"plain.csv", walk(11), ",,,,", {}, "plain"},
      {"mid.csv", replaced_first(walk(12), "Close", "Mid"), "Mid,,,,", {"--close=Mid"}, "mid"},
      {"adj.csv", walk(13), "Adj Close,,,,", {"--close=Adj Close"}, "adj"},
      {"sixth.csv", walk(14), "6,,,,", {"--close=6"}, "sixth"},
      {"when.csv", replaced_first(walk(15), "Date", "When"), ",When,,,", {"--date-column=When"}, "when"},
      {"dmy.csv", slashed_csv(16, true), ",,dmy,,", {"--date-order=dmy"}, "dmy"},
      {"mdy.csv", slashed_csv(17, false), ",,mdy,,", {"--date-order=mdy"}, "mdy"},
      {"long.csv", long_file(walk(18), {"A", "B"}), ",,,B,", {"--symbol=B"}, "long"},
      {"long2.csv", long_file(walk(19), {"A", "B"}), ",,,A,first", {"--symbol=A"}, "first"},
      {"semi.csv", format_csv(random_walk(20, 300), ";"), ",1,,,", {"--date-column=1"}, "semi"},
  };
  TempDir dir;
  std::filesystem::create_directories(dir / "out");
  std::filesystem::create_directories(dir / "prices");
  std::string list = "file,close,date_column,date_order,symbol,name\n";
  for (const Source& s : sources) {
    dir.write("prices/" + s.file, s.content);
    list += s.file + "," + s.columns + "\n";
  }
  dir.write("prices/list.csv", list);
  const auto r = run_in(dir, with_answers({"--sources=prices/list.csv", "-o", "out/{name}.dat", "--dates=out/{name}.days"}), "");
  EXPECT_EQ(r.status, 0) << r.err;
  // The days of twelve a month: what --check would say, a line a file.
  EXPECT_EQ(r.err,
            "elab: warning: prices/dmy.csv: 36 gaps of more than 10 calendar days, the first before 1995-02-01: "
            "elab --check lists them\n"
            "elab: warning: prices/mdy.csv: 36 gaps of more than 10 calendar days, the first before 1995-02-01: "
            "elab --check lists them\n");
  EXPECT_TRUE(r.out.ends_with("\n10 files: 10 written, 0 failed\n")) << r.out;
  for (const Source& s : sources) {
    const auto [dat, days] = single_run(s.file, s.content, s.single);
    EXPECT_EQ(dir.read("out/" + s.name + ".dat"), dat) << s.file;
    EXPECT_EQ(dir.read("out/" + s.name + ".days"), days) << s.file;
  }
  // One source is a single run, named as the source says.
  dir.write("prices/one.csv", "file,name\nplain.csv,alpha\n");
  const auto one = run_in(dir, with_answers({"--sources=prices/one.csv", "--format=csv", "-o", "one.csv"}), "");
  EXPECT_EQ(one.status, 0) << one.err;
  const std::string csv = dir.read("one.csv").value_or("");
  EXPECT_EQ(csv.substr(csv.find('\n') + 1, 6), "alpha,");
  // Without their options most of them fail.
  const auto plain = run_in(dir, with_answers({"--check", "prices/mid.csv", "prices/dmy.csv"}), "");
  EXPECT_EQ(plain.status, 1);
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
