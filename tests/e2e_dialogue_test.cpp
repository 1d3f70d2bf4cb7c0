// End-to-end runs of the binary with answers on a pipe: the console
// transcript, the training file and the exit status, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/answer_options.hpp"
#include "support/dialogue.hpp"
#include "support/prices.hpp"
#include "support/run_process.hpp"
#include "support/variable_set.hpp"

namespace {

using namespace elab_test;

constexpr int kRows = 131;  // window rows 90..111: 22 records, an even count

// ---------------------------------------------------------------------------
// Every menu entry, layout A, all rows.

class MenuEntry : public ::testing::TestWithParam<int> {};

TEST_P(MenuEntry, WritesTheChosenColumn) {
  const int ivar = GetParam();
  int count = 0;
  const std::string dat = alternating_dat(kRows, ivar, 0, &count);
  ASSERT_EQ(count, 22);
  const std::string answers = "-1\n" + std::to_string(ivar) + "\n2\n0\n0\n0\n";
  const auto r = run_prices(alternating_file(kRows), answers);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, normal_transcript(false, 22));
  ASSERT_TRUE(r.elab.has_value());
  EXPECT_EQ(*r.elab, dat);
  EXPECT_TRUE(expect_same_with_options(alternating_file(kRows), answers, r));
}

INSTANTIATE_TEST_SUITE_P(AllEntries, MenuEntry, ::testing::Range(1, 12));

// ---------------------------------------------------------------------------
// Every layout.

class Layout : public ::testing::TestWithParam<int> {};

TEST_P(Layout, WritesTheChosenDays) {
  const int igio = GetParam();
  int count = 0;
  const std::string dat = alternating_dat(kRows, 9, igio, &count);
  const std::string answers = "-1\n9\n2\n0\n0\n" + std::to_string(igio) + "\n";
  const auto r = run_prices(alternating_file(kRows), answers);
  EXPECT_TRUE(expect_same_with_options(alternating_file(kRows), answers, r));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, normal_transcript(false, count));
  ASSERT_TRUE(r.elab.has_value());
  EXPECT_EQ(*r.elab, dat);
  bool ok = false;
  const auto recs = split_records(*r.elab, ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(static_cast<int>(recs.size()), count);
  for (const auto& rec : recs) EXPECT_EQ(rec.size(), igio == -1 ? 109u : 96u);
  if (igio > 0) {
    EXPECT_GE(count, 4);
  }
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, Layout, ::testing::Values(-1, 0, 2, 3, 4, 5, 6));

TEST(Layout, RecordOfAMondayByHand) {
  // Row 91 is a Monday (row 1 is Monday 2 January 1995, 91 = 1 + 18 * 5), odd: close 100.
  EXPECT_EQ(alternating_record(91, 2, 1, 0),
            " 1. 0.  22.5000   1.0000    .9778    .0000 -20.0000  25.0000 -20.0000  25.0000 "
            "-20.0000  25.0000");
  EXPECT_EQ(alternating_record(91, 2, 1, 2),
            "    0.  22.5000   1.0000    .9778    .0000 -20.0000  25.0000 -20.0000  25.0000 "
            "-20.0000  25.0000");
  EXPECT_EQ(alternating_record(91, 2, 1, -1),
            " 1. 0. 0. 0. 0.  0.  22.5000   1.0000    .9778    .0000 -20.0000  25.0000 "
            "-20.0000  25.0000 -20.0000  25.0000");
  const auto r = run_prices(alternating_file(kRows), "-1\n1\n2\n0\n0\n2\n");
  ASSERT_TRUE(r.elab.has_value());
  bool ok = false;
  const auto recs = split_records(*r.elab, ok);
  ASSERT_FALSE(recs.empty());
  EXPECT_EQ(recs[0], alternating_record(91, 2, 1, 2));
}

// ---------------------------------------------------------------------------
// Screening.

struct ScreenCase {
  const char* name;
  std::string answers;  // after "-1\n"
  int ivar;
  bool all_marked;
};

class Screening : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(Screening, MarksAsExpected) {
  const auto& c = GetParam();
  const std::string old = "earlier content\r\n";
  const auto r = run_prices(alternating_file(kRows), "-1\n" + c.answers, &old);
  EXPECT_TRUE(expect_same_with_options(alternating_file(kRows), "-1\n" + c.answers, r));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  ASSERT_TRUE(r.elab.has_value());
  if (c.all_marked) {
    EXPECT_EQ(r.out, normal_transcript(false, 0));
    EXPECT_EQ(*r.elab, "");  // a normal end with no record leaves the file empty
  } else {
    EXPECT_EQ(r.out, normal_transcript(false, 22));
    EXPECT_EQ(*r.elab, alternating_dat(kRows, c.ivar, 0));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Screening,
    ::testing::Values(
        // |25 - 2.5| equals 1 x 22.5 exactly: not marked
        ScreenCase{"OutputTieKept", "1\n1\n1\n0\n0\n", 1, false},
        ScreenCase{"OutputJustBelowTie", "1\n0.99\n1\n0\n0\n", 1, true},
        ScreenCase{"OutputOffStillAsksCoeff", "1\n-5\n0\n0\n0\n", 1, false},
        ScreenCase{"OutputNegativeCoeff", "1\n-1\n1\n0\n0\n", 1, true},
        ScreenCase{"OutputZeroCoeff", "9\n0\n1\n0\n0\n", 9, true},
        // a constant output has no spread: nothing is marked whatever the coefficient
        ScreenCase{"OutputConstantZero", "3\n-1\n1\n0\n0\n", 3, false},
        ScreenCase{"InputWide", "1\n3\n0\n1\n0\n", 1, false},
        ScreenCase{"InputNegativeCoeff", "3\n-1\n0\n1\n0\n", 3, true},
        ScreenCase{"BothWide", "11\n3\n1\n1\n0\n", 11, false},
        ScreenCase{"BothNegative", "5\n-2\n1\n1\n0\n", 5, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Repeated questions and null answers: the exact transcript.

struct DialogueCase {
  const char* name;
  std::string answers;
  std::vector<std::string> blocks;  // console records before the count line
  int ivar;
  int igio;
  bool all_marked = false;
};

std::vector<std::string> blocks(std::initializer_list<std::string> l) { return l; }

class Dialogue : public ::testing::TestWithParam<DialogueCase> {};

TEST_P(Dialogue, Transcript) {
  const auto& c = GetParam();
  int count = 0;
  const std::string dat = c.all_marked ? "" : alternating_dat(kRows, c.ivar, c.igio, &count);
  auto b = c.blocks;
  b.push_back(count_line(count));
  // The program's own format and the CSV of the same rows.
  for (const std::string& prices : {alternating_file(kRows), alternating_csv(kRows)}) {
    SCOPED_TRACE(prices.substr(0, prices.find('\n')));
    const auto r = run_prices(prices, c.answers);
    expect_same_with_options(prices, c.answers, r);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, joined(b) + kNormalEnd);
    ASSERT_TRUE(r.elab.has_value());
    EXPECT_EQ(*r.elab, dat);
  }
}

const std::string D = kDateFrom, T = kDateTo, MN = kMenu, CF = kCoeff, S1 = kScreenOut,
                  S2 = kScreenIn, W = kWeekday;

INSTANTIATE_TEST_SUITE_P(
    Cases, Dialogue,
    ::testing::Values(
        DialogueCase{"MenuZeroAndTwelve", "-1\n0\n12\n1\n2\n0\n0\n0\n",
                     blocks({D, MN, MN, MN, CF, S1, S2, W}), 1, 0},
        DialogueCase{"MenuElevenAtOnce", "-1\n11\n2\n0\n0\n0\n", blocks({D, MN, CF, S1, S2, W}),
                     11, 0},
        DialogueCase{"YesNoTwo", "-1\n1\n2\n2\n0\n2\n2\n0\n0\n",
                     blocks({D, MN, CF, S1, S1, S2, S2, S2, W}), 1, 0},
        DialogueCase{"WeekdayRefused", "-1\n1\n2\n0\n0\n1\n-2\n7\n3\n",
                     blocks({D, MN, CF, S1, S2, W, W, W, W}), 1, 3},
        DialogueCase{"NullMenuComma", "-1\n,\n/\n4\n2\n0\n0\n0\n", blocks({D, MN, MN, MN, CF, S1, S2, W}),
                     4, 0},
        DialogueCase{"NullMenuAfterRefusalKeepsRefused", "-1\n12\n,\n6\n2\n0\n0\n0\n",
                     blocks({D, MN, MN, MN, CF, S1, S2, W}), 6, 0},
        // null coefficient is 0: with output screening every value off the mean is marked
        DialogueCase{"NullCoefficient", "-1\n1\n,\n1\n0\n0\n", blocks({D, MN, CF, S1, S2, W}), 1, 0,
                     true},
        DialogueCase{"NullCoefficientSlash", "-1\n1\n/\n1\n0\n0\n", blocks({D, MN, CF, S1, S2, W}), 1,
                     0, true},
        // null first yes/no is "no"; the negative coefficient would mark everything
        DialogueCase{"NullFirstYesNo", "-1\n1\n-1\n,\n0\n0\n", blocks({D, MN, CF, S1, S2, W}), 1, 0},
        // null second yes/no repeats the first's 1: the input screening marks all
        DialogueCase{"NullSecondYesNoRepeatsYes", "-1\n3\n-1\n1\n/\n0\n",
                     blocks({D, MN, CF, S1, S2, W}), 3, 0, true},
        DialogueCase{"SecondYesNoNoAfterYes", "-1\n3\n-1\n1\n0\n0\n", blocks({D, MN, CF, S1, S2, W}), 3,
                     0},
        DialogueCase{"NullSecondAfterRefusedFirst", "-1\n3\n-1\n2\n0\n,\n0\n",
                     blocks({D, MN, CF, S1, S1, S2, W}), 3, 0},
        DialogueCase{"NullYesNoAfterRefusal", "-1\n1\n2\n2\n,\n0\n0\n0\n",
                     blocks({D, MN, CF, S1, S1, S1, S2, W}), 1, 0},
        DialogueCase{"NullWeekdayFirstGivesLayoutA", "-1\n1\n2\n0\n0\n,\n",
                     blocks({D, MN, CF, S1, S2, W}), 1, 0},
        DialogueCase{"NullWeekdaySlash", "-1\n1\n2\n0\n0\n/\n", blocks({D, MN, CF, S1, S2, W}), 1, 0},
        DialogueCase{"NullWeekdayAfterRefusal", "-1\n1\n2\n0\n0\n7\n,\n-1\n",
                     blocks({D, MN, CF, S1, S2, W, W, W}), 1, -1},
        // answers with signs, blanks, extra values and empty lines
        DialogueCase{"AnswerForms", "\n-1 5\n +1 \n\n2,9\n0 1\n+0\n 0\n",
                     blocks({D, MN, CF, S1, S2, W}), 1, 0},
        DialogueCase{"CrLfAnswers", "-1\r\n2\r\n2\r\n0\r\n0\r\n-1\r\n",
                     blocks({D, MN, CF, S1, S2, W}), 2, -1},
        // date range: null first date is 0, second 0 is the end
        DialogueCase{"NullFirstDate", ",\n0\n1\n2\n0\n0\n0\n", blocks({D, T, MN, CF, S1, S2, W}), 1, 0},
        DialogueCase{"WholeRange", "950101\n951231\n1\n2\n0\n0\n0\n",
                     blocks({D, T, MN, CF, S1, S2, W}), 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Single runs: the file-name question, the early stops, arithmetic faults,
// price file errors and the training file. Each field left unset is not
// compared.

// What elab.dat must be after the run: not compared, missing, or this text.
using Dat = std::optional<std::optional<std::string>>;
const Dat kMissing{std::optional<std::string>{}};
Dat dat(const std::string& text) { return Dat{text}; }

struct RunCase {
  const char* name;
  std::string prices;  // no price file when empty
  std::string answers;
  int status;
  std::optional<std::string> out = {};
  std::optional<std::string> err = {};
  Dat elab = {};
  std::optional<std::string> old_dat = {};
  std::vector<std::string> args = {"prices.txt"};
  std::string file = "prices.txt";
};

// The alternating file with one row's close replaced.
std::string with_close(std::string prices, int row, const std::string& close) {
  std::size_t pos = 0;
  for (int line = 0; line < row; ++line) pos = prices.find('\n', pos) + 1;
  const std::size_t end = prices.find('\n', pos);
  std::string line = prices.substr(pos, end - pos);
  const std::size_t close_at = line.rfind(' ', line.rfind(' ') - 1) + 1;
  line.replace(close_at, line.rfind(' ') - close_at, close);
  return prices.replace(pos, end - pos, line);
}

std::string equal_closes(int n) {
  std::string prices = std::to_string(n) + " 7\n";
  for (const auto& row : business_days(n, 1995, 1, 2)) {
    prices += std::to_string(row.year) + " " + std::to_string(row.month) + " " +
              std::to_string(row.day) + " 0 0 100 " + std::to_string(row.code) + "\n";
  }
  return prices;
}

std::vector<RunCase> run_cases() {
  const std::string alt = alternating_file(kRows);
  const std::string run_a = "-1\n1\n2\n0\n0\n0\n";
  const std::string no_records = "-1\n1\n-1\n1\n0\n0\n";
  const std::string eof_at_open = file_error("6501", "OPEN()", "end of file encountered");
  const std::string dates = joined({kDateFrom, kDateTo}) + kCrLf;
  const std::string old = "old\r\n";
  std::string bad_value = alt;
  bad_value.replace(bad_value.find(" 0 0 "), 5, " 0 x0 ");
  std::string one_row_more = alt;
  one_row_more.replace(0, 3, "132");
  std::vector<RunCase> c = {
      {"NameAskedWithoutArgument", alt, "prices.txt\n" + run_a, 0, kNamePrompt + normal_transcript(false, 22),
       "", dat(alternating_dat(kRows, 1, 0)), {}, {}},
      {"BlankNameAnswerRepeatsAndBlanksAreTrimmed", alt, "\n   \n  prices.txt  \n" + run_a, 0,
       kNamePrompt + kNamePrompt + kNamePrompt + normal_transcript(false, 22), {}, {}, {}, {}},
      {"BlankArgumentAsks", alt, "prices.txt\n" + run_a, 0, kNamePrompt + normal_transcript(false, 22), {}, {}, {},
       {"   "}},
      // mend: a name is the file given, blanks kept
      {"OperandKeepsItsBlanks", alt, run_a, 0, {}, "", dat(alternating_dat(kRows, 1, 0)), {}, {" prices.txt "},
       " prices.txt "},
      {"OperandWithBlanksIsNotAnotherFile", alt, run_a, 1, "",
       file_error("6416", "OPEN( prices.txt)", "file does not exist"), kMissing, {}, {" prices.txt"}},
      {"EndOfInputDuringNameQuestion", "", "", 1, kNamePrompt, eof_at_open, kMissing, {}, {}},
      {"EndOfInputAfterBlankName", "", "  \n", 1, kNamePrompt + kNamePrompt, eof_at_open, {}, {}, {}},
      {"NoRowsAfterNameQuestion", "0,7\n", "p.txt\n", 99, kNamePrompt + kNoRoom, {}, kMissing, {}, {}, "p.txt"},
      {"FewerThanSevenColumns", "131 6\nnot a number\n", "", 1, kTooFewColumns, "", dat(old), old},
      // mend: an English line on standard error names the file and its rows
      {"FewerThan110SelectedRows", alternating_file(109), "-1\n1\n", 1, kDateFrom + kCrLf + kTooFewRows + kCrLf,
       too_few_rows(109, 109),
       dat(old), old},
      // 131 rows run from 2 January to 3 July 1995; up to 31 May there are 108 rows
      {"RangeSelectingTooFewRows", alt, "0\n950531\n", 1, dates + kTooFewRows + kCrLf, too_few_rows(108, 131), kMissing},
      {"Exactly110RowsGiveOneRecord", alternating_file(110), "-1\n1\n2\n1\n1\n0\n", 0, normal_transcript(false, 1),
       "", dat(alternating_dat(110, 1, 0))},
      // one row only: then too few rows
      {"EqualDatesAccepted", alt, "950102\n950102\n", 1, dates + kTooFewRows + kCrLf},
      // row 50 closes at 0: the change of row 51 divides by zero
      {"ZeroCloseDividesByZero", with_close(alt, 50, "0"), run_a, 1, kDateFrom + kCrLf,
       math_error("6103", "floating-point error: divide by zero"), dat(old), old},
      {"ThirtyEqualClosesAreInvalid", equal_closes(kRows), run_a, 1, kDateFrom + kCrLf,
       math_error("6101", "floating-point error: invalid"), kMissing},
      {"BadValueInPriceFile", bad_value, "", 1, "",
       file_error("6103", "READ(prices.txt)", "invalid real value: row 1, value 5"),
       dat(old), old},
      {"RealRowCount", "131.0 7\n", "", 1, "",
       file_error("6101", "READ(prices.txt)", "invalid integer value: head of the file, value 1")},
      {"EndBeforeLastRow", one_row_more, "", 1, "",
       file_error("6501", "READ(prices.txt)", "end of file encountered: row 132 of 132"), kMissing},
      {"TrainingFileReplacedWhenRecordsAreWritten", alt, "-1\n7\n2\n0\n0\n-1\n", 0, {}, {},
       dat(alternating_dat(kRows, 7, -1)), std::string(20000, 'x')},
      {"TrainingFileEmptyAfterNormalRunWithoutRecords", alt, no_records, 0, normal_transcript(false, 0), {}, dat(""),
       "earlier run\r\n"},
      {"TrainingFileCreatedEmptyWithoutRecords", alt, no_records, 0, {}, {}, dat("")},
      // mend: a failed run leaves no new file (above: each stop and report with kMissing)
      {"NoFileAfterTooFewRows", alternating_file(109), "-1\n1\n", 1, {}, {}, kMissing},
      {"MissingDirectoryInName", "", "", 1, "", file_error("6416", "OPEN(nodir/prices.txt)", "path not found"),
       kMissing, {}, {"nodir/prices.txt"}},
  };
  const std::pair<const char*, std::string> empty_sizes[] = {
      {"NoRowsGivesCode99", "0 7\n"}, {"NoColumnsGivesCode99", "131 0\n"}, {"NegativeRowsGiveCode99", "-5 7\n"}};
  for (const auto& [name, head] : empty_sizes)
    c.push_back({name, head + "1995 1 2 0 0 100 2\n", "", 99, kNoRoom, "", dat(old), old});
  const std::pair<const char*, std::string> earlier_ends[] = {
      {"DateOrderEarlierEnd", "950101\n"}, {"DateOrderMinusOne", "-1\n"}, {"DateOrderNullEnd", ",\n"},
      {"DateOrderSlashEnd", "/\n"}};
  for (const auto& [name, second] : earlier_ends)
    c.push_back({name, alt, "950102\n" + second, 1, dates + kDateOrder + kCrLf, "", dat(old), old});
  return c;
}

class SingleRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(SingleRun, StatusConsoleReportAndTrainingFile) {
  const RunCase& c = GetParam();
  TempDir dir;
  if (!c.prices.empty()) dir.write(c.file, c.prices);
  if (c.old_dat) dir.write("elab.dat", *c.old_dat);
  const auto r = run_in(dir, c.args, c.answers);
  EXPECT_EQ(r.status, c.status);
  if (c.out) {
    EXPECT_EQ(r.out, *c.out);
  }
  if (c.err) {
    EXPECT_EQ(r.err, *c.err);
  }
  if (c.elab) {
    EXPECT_EQ(r.elab, *c.elab);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SingleRun, ::testing::ValuesIn(run_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// File name question.

// Mend: a missing price file is reported at its open, not created.
TEST(FileName, MissingTypedFileIsNotCreated) {
  TempDir dir;
  const auto r = run_in(dir, {}, "nosuch.txt\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kNamePrompt);
  EXPECT_EQ(r.err, file_error("6416", "OPEN(nosuch.txt)", "file does not exist"));
  EXPECT_FALSE(dir.read("nosuch.txt").has_value());
  EXPECT_FALSE(r.elab.has_value());
}

TEST(FileName, MissingFileOnCommandLineIsNotCreated) {
  TempDir dir;
  dir.write("elab.dat", "old\r\n");
  const auto r = run_in(dir, {"absent.txt"}, "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, file_error("6416", "OPEN(absent.txt)", "file does not exist"));
  EXPECT_FALSE(dir.read("absent.txt").has_value());
  EXPECT_EQ(r.elab, std::optional<std::string>("old\r\n"));
}

// ---------------------------------------------------------------------------
// --help and --version: their text on stdout, status 0, no file created and
// no question asked.

struct InfoCase {
  const char* name;
  std::string arg;
  std::string starts;  // the output's beginning
  std::string ends;    // and its end
};

class ProgramInfo : public ::testing::TestWithParam<InfoCase> {};

TEST_P(ProgramInfo, WrittenWithoutOpeningAnything) {
  const auto& c = GetParam();
  TempDir dir;
  const auto r = run_in(dir, {c.arg}, "prices.txt\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.out.starts_with(c.starts)) << r.out;
  EXPECT_TRUE(r.out.ends_with(c.ends)) << r.out;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ProgramInfo,
    ::testing::Values(InfoCase{"Version", "--version", "elab " ELAB_VERSION "\r\n", "\r\n"},
                      InfoCase{"Help", "--help", "Usage: elab [OPTION]... [FILE]\r\n", "the arrays.\r\n"},
                      InfoCase{"ShortHelp", "-h", "Usage: elab [OPTION]... [FILE]\r\n", "the arrays.\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The help names every option.
TEST(ProgramInfo, HelpNamesEveryOption) {
  TempDir dir;
  const auto r = run_in(dir, {"--help"}, "");
  for (const char* option : {"--from=", "--to=", "--variable=", "--coefficient=", "--screen-output=",
                             "--screen-inputs=", "--days=", "-o, --output=", "--dates=", "-h, --help",
                             "--version"}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
}

// The locale of messages as GNU programs take it: the first of LC_ALL,
// LC_MESSAGES and LANG that is not empty; Italian under it_*, English
// otherwise. The usage, a usage error, the batch's end line, a table's
// refusals, --check, the warnings, the test set's refusals and the notes
// after a stop follow it; the dialogue does not.
struct LocaleCase {
  const char* name;
  const char* lc_all;
  const char* lc_messages;
  const char* lang;
  bool italian;
};

class Locale : public ::testing::TestWithParam<LocaleCase> {};

std::string replaced_first(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

std::string with_a_sunday(const std::string& prices) {
  return replaced_first(prices, "1995 1 2 0 0 100 2", "1995 1 1 0 0 100 1");
}

TEST_P(Locale, ChoosesTheUsagesLanguage) {
  const auto& c = GetParam();
  const VariableSet all("LC_ALL", c.lc_all), messages("LC_MESSAGES", c.lc_messages), lang("LANG", c.lang);
  TempDir dir;
  EXPECT_TRUE(run_in(dir, {"--help"}, "").out.starts_with(c.italian ? "Uso: elab" : "Usage: elab"));
  EXPECT_EQ(run_in(dir, {"--days=7"}, "").err,
            c.italian ? "elab: valore '7' non valido per --days\r\nProvare 'elab --help'.\r\n"
                      : "elab: invalid value '7' for --days\r\nTry 'elab --help'.\r\n");
  // One file spelt two ways is refused in the user's language as one name is.
  EXPECT_EQ(run_in(dir, {"-o", "new.dat", "--dates=./new.dat", "a.txt"}, "").err,
            c.italian ? "elab: --output e --dates indicano lo stesso file\r\nProvare 'elab --help'.\r\n"
                      : "elab: --output and --dates name the same file\r\nTry 'elab --help'.\r\n");
  EXPECT_EQ(run_in(dir, {"-o", "{name}.dat", "--dates={name}.days", "a.txt", "b.txt"}, "").out,
            (c.italian ? "2 file: 0 scritti, 2 non riusciti" : "2 files: 0 written, 2 failed") +
                program_line_end());
}

INSTANTIATE_TEST_SUITE_P(
    Variables, Locale,
    ::testing::Values(LocaleCase{"Unset", nullptr, nullptr, nullptr, false},
                      LocaleCase{"C", nullptr, nullptr, "C", false},
                      LocaleCase{"Posix", nullptr, nullptr, "POSIX", false},
                      LocaleCase{"English", nullptr, nullptr, "en_US.UTF-8", false},
                      LocaleCase{"Italian", nullptr, nullptr, "it_IT.UTF-8", true},
                      LocaleCase{"ItalianSwiss", nullptr, nullptr, "it_CH", true},
                      LocaleCase{"LcAllFirst", "C", "it_IT.UTF-8", "it_IT.UTF-8", false},
                      LocaleCase{"LcMessagesBeforeLang", nullptr, "it_IT", "C", true},
                      LocaleCase{"EmptyIsUnset", "", "", "it_IT.UTF-8", true},
                      LocaleCase{"ItalyIsNotItalian", nullptr, nullptr, "de_IT.UTF-8", false}),
    [](const auto& info) { return std::string(info.param.name); });

// The dialogue, its count line and its stop are the old program's, the
// same bytes in every locale.
TEST(Locale, LeavesTheDialogueAsItIs) {
  const VariableSet all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr);
  for (const std::string& prices : {alternating_file(kRows), alternating_file(100)}) {
    std::optional<RunResult> first;
    for (const char* lang : {"C", "it_IT.UTF-8"}) {
      const VariableSet set("LANG", lang);
      const auto r = run_prices(prices, "-1\n9\n2\n0\n0\n0\n");
      if (!first) {
        first = r;
        continue;
      }
      EXPECT_EQ(r.out, first->out);
      EXPECT_EQ(r.err.empty(), first->err.empty());  // the note after a stop is in the user's language
      EXPECT_EQ(r.status, first->status);
      EXPECT_EQ(r.elab, first->elab);
    }
  }
}

// A file whose name begins with '-' is named ./-x or follows "--".
TEST(ProgramInfo, DashNamesAfterDotSlashOrDoubleDash) {
  TempDir dir;
  dir.write("--help", alternating_file(kRows));
  dir.write("-", alternating_file(kRows));
  const std::vector<std::vector<std::string>> lines = {
      {"./--help"}, {"--", "--help"}, {"./-"}};
  for (const auto& args : lines) {
    SCOPED_TRACE(args.back());
    const auto r = run_in(dir, args, "-1\n1\n2\n0\n0\n0\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, normal_transcript(false, 22));
    EXPECT_EQ(r.elab, std::optional<std::string>(alternating_dat(kRows, 1, 0)));
  }
}

// ---------------------------------------------------------------------------
// Usage errors: status 2, one line naming the option and its value, then the
// pointer to --help; nothing asked, read or written, no file made or changed.

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  std::string message;  // after "elab: "
};

class Usage : public ::testing::TestWithParam<UsageCase> {};

// Every file of dir with its content.
std::map<std::string, std::string> files_of(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    files[e.path().filename().string()] = read_file(e.path());
  return files;
}

TEST_P(Usage, ReportedBeforeAnythingIsTouched) {
  const auto& c = GetParam();
  TempDir dir;
  dir.write("prices.txt", alternating_file(kRows));
  dir.write("elab.dat", "old\r\n");
  dir.write("days.txt", "old days\r\n");
  const auto before = files_of(dir);
  const auto r = run_in(dir, c.args, "-1\n1\n2\n0\n0\n0\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "elab: " + c.message + "\r\nTry 'elab --help'.\r\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(files_of(dir), before);
}

const std::vector<std::string> kAllButDays = {"--from=all",        "--variable=1",      "--coefficient=2",
                                              "--screen-output=no", "--screen-inputs=no"};

std::vector<std::string> with(std::vector<std::string> args, std::initializer_list<std::string> more) {
  args.insert(args.end(), more);
  return args;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Usage,
    ::testing::Values(
        UsageCase{"UnknownLong", {"--bogus", "prices.txt"}, "unrecognized option '--bogus'"},
        UsageCase{"UnknownLongWithValue", {"--bogus=1"}, "unrecognized option '--bogus'"},
        UsageCase{"UnknownShort", {"-x", "prices.txt"}, "invalid option -- 'x'"},
        UsageCase{"VariableTooLarge", {"--variable=12", "prices.txt"}, "invalid value '12' for --variable"},
        UsageCase{"VariableZero", {"--variable", "0", "prices.txt"}, "invalid value '0' for --variable"},
        UsageCase{"VariableReal", {"--variable=3.0"}, "invalid value '3.0' for --variable"},
        UsageCase{"CoefficientWithComma", {"--coefficient=2,5"}, "invalid value '2,5' for --coefficient"},
        UsageCase{"DateOrderNotKnown", {"--date-order=ymd", "prices.txt"}, "invalid value 'ymd' for --date-order"},
        UsageCase{"SymbolEmpty", {"--symbol=", "prices.txt"}, "invalid value '' for --symbol"},
        UsageCase{"CoefficientEmpty", {"--coefficient=", "prices.txt"}, "invalid value '' for --coefficient"},
        UsageCase{"CoefficientWord", {"--coefficient=two"}, "invalid value 'two' for --coefficient"},
        UsageCase{"DaysSaturday", {"--days=sat"}, "invalid value 'sat' for --days"},
        UsageCase{"DaysOne", {"--days=1"}, "invalid value '1' for --days"},
        UsageCase{"DaysSeven", {"--days=7"}, "invalid value '7' for --days"},
        UsageCase{"YesNoWord", {"--screen-output=si"}, "invalid value 'si' for --screen-output"},
        UsageCase{"YesNoTwo", {"--screen-inputs", "2"}, "invalid value '2' for --screen-inputs"},
        UsageCase{"NoThirtiethOfFebruary", {"--from=2019-02-30"}, "invalid value '2019-02-30' for --from"},
        UsageCase{"NoLeapDayIn1900", {"--to=1900-02-29"}, "invalid value '1900-02-29' for --to"},
        UsageCase{"IsoDateOneDigitMonth", {"--from=2019-6-01"}, "invalid value '2019-6-01' for --from"},
        UsageCase{"DateKeyBeyond32Bits", {"--to=2147483648"}, "invalid value '2147483648' for --to"},
        UsageCase{"AllIsNoLastDate", {"--to=all"}, "invalid value 'all' for --to"},
        UsageCase{"MissingValue", {"prices.txt", "--variable"}, "option '--variable' requires an argument"},
        UsageCase{"MissingOutputName", {"prices.txt", "-o"}, "option '-o' requires an argument"},
        UsageCase{"EmptyOutputName", {"--output=", "prices.txt"}, "invalid value '' for --output"},
        UsageCase{"FlagWithValue", {"--help=yes"}, "option '--help' doesn't allow an argument"},
        UsageCase{"SeveralFilesWithoutName", {"prices.txt", "other.txt"},
                  "several price files need '{name}' in --output (-o 'out/{name}.dat'), or --format=csv for "
                  "one dataset"},
        UsageCase{"SeveralFilesDatesWithoutName", {"-o", "{name}.dat", "--dates=d", "prices.txt", "o.txt"},
                  "several price files need '{name}' in --dates"},
        UsageCase{"OneFileTwice", {"-o", "{name}.dat", "x/prices.csv", "prices.txt", "x/prices.csv"},
                  "price file 'x/prices.csv' given twice: give each file once"},
        UsageCase{"StandardInputAmongSeveral", {"--format=csv", "prices.txt", "-"},
                  "price file '-' (standard input) cannot be one of several"},
        UsageCase{"SymbolTemplate", {"-o", "{symbol}.dat", "prices.txt"}, "'{symbol}' in a file name needs --symbol=all"},
        UsageCase{"NameTemplateWithoutFile", {"-o", "{name}.dat"},
                  "'{name}' in a file name needs the price file on the command line"},
        UsageCase{"NoJobs", {"-j0", "prices.txt"}, "invalid value '0' for -j"},
        UsageCase{"TestFromNoDate", {"--test-from=1995-02-30", "prices.txt"}, "invalid value '1995-02-30' for --test-from"},
        UsageCase{"TestFromWithoutSet", {"--test-from=1995-06-01", "prices.txt"},
                  "--test-from writes a training and a test set: '{set}' in --output (-o 'out/{set}.dat'), or "
                  "--format=csv for one file"},
        UsageCase{"TestFromDatesWithoutSet", {"--test-from=1995-06-01", "-o", "{set}.dat", "--dates=days.txt", "prices.txt"},
                  "--test-from needs '{set}' in --dates"},
        UsageCase{"TestFromCsvWithSet", {"--test-from=1995-06-01", "--format=csv", "-o", "{set}.csv", "prices.txt"},
                  "--format=csv writes both sets to one file, told apart by its Set column: no '{set}' in --output"},
        UsageCase{"SetWithoutTestFrom", {"-o", "{set}.dat", "prices.txt"}, "'{set}' in a file name needs --test-from"},
        UsageCase{"TestSetOverTrainingDates", {"--test-from=1995-06-01", "-o", "{set}train", "--dates=test{set}", "prices.txt"},
                  "--output of the test set and --dates of the training set name the same file"},
        UsageCase{"FormatUnknown", {"--format=xlsx", "prices.txt"}, "invalid value 'xlsx' for --format"},
        UsageCase{"CheckOfStandardInputAmongFiles", {"--check", "prices.txt", "-"},
                  "price file '-' (standard input) cannot be one of several"},
        UsageCase{"CheckWithoutFile", {"--check"}, "--check needs a price file"},
        UsageCase{"EmptyCloseName", {"--close=", "prices.csv"}, "invalid value '' for --close"},
        UsageCase{"OutputAndDatesOneFile", {"-o", "days.txt", "--dates=days.txt", "prices.txt"},
                  "--output and --dates name the same file"},
        // One file however spelled, existing or not.
        UsageCase{"OutputAndDatesOneFileSpelledTwoWays", {"-o", "days.txt", "--dates=./days.txt", "prices.txt"},
                  "--output and --dates name the same file"},
        UsageCase{"OutputAndDatesOneNewFile", {"-o", "new.dat", "--dates=./new.dat", "prices.txt"},
                  "--output and --dates name the same file"},
        UsageCase{"OutputIsThePriceFile", {"-o", "prices.txt", "prices.txt"},
                  "the price file and --output name the same file"},
        UsageCase{"PriceFileIsTheDefaultOutput", {"elab.dat"}, "the price file and --output name the same file"},
        UsageCase{"DatesIsThePriceFile", {"--dates=./prices.txt", "prices.txt"},
                  "the price file and --dates name the same file"},
        UsageCase{"BothOnStandardOutput", {"-o", "-", "--dates=-", "prices.txt"},
                  "--output and --dates name the same file"},
        UsageCase{"StandardInputWithoutAnswers", {"-"},
                  "price file '-' is standard input: the answers need their options (missing: --from "
                  "--variable --coefficient --screen-output --screen-inputs --days)"},
        UsageCase{"StandardInputOneAnswerShort", with(kAllButDays, {"-"}),
                  "price file '-' is standard input: the answers need their options (missing: --days)"},
        UsageCase{"StandardInputWithoutLastDate", {"--from=1995-06-01", "--variable=1", "--coefficient=2",
                                                   "--screen-output=no", "--screen-inputs=no", "--days=0", "-"},
                  "price file '-' is standard input: the answers need their options (missing: --to)"},
        UsageCase{"StandardInputAfterDoubleDash", with(kAllButDays, {"--", "-"}),
                  "price file '-' is standard input: the answers need their options (missing: --days)"}),
    [](const auto& info) { return std::string(info.param.name); });

// One text of each family of the program's own lines, English under C and
// Italian under it_IT; a.txt and b.txt are price files of 300 rows.
struct LocaleTextCase {
  const char* name;
  std::vector<std::string> args;
  std::string input;
  std::string english, italian;  // within standard output or error
  const char* file = nullptr;     // one more file in the folder, and its text
  std::string content = "";
};

class LocaleText : public ::testing::TestWithParam<LocaleTextCase> {};

TEST_P(LocaleText, FollowsTheLocale) {
  const auto& c = GetParam();
  const VariableSet all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr);
  for (const auto& [lang, text] : {std::pair{"C", c.english}, std::pair{"it_IT.UTF-8", c.italian}}) {
    const VariableSet set("LANG", lang);
    TempDir dir;
    dir.write("a.txt", alternating_file(300));
    dir.write("b.txt", alternating_file(300));
    if (c.file != nullptr) dir.write(c.file, c.content);
    const auto r = run_in(dir, c.args, c.input);
    EXPECT_NE((r.out + r.err).find(text), std::string::npos) << lang << "\n" << r.out << r.err;
  }
}

const std::string kAnswers = "-1\n1\n2\n0\n0\n0\n";
const std::vector<std::string> kRun = with(kAllButDays, {"--days=0"});
const std::vector<std::string> kSplitRun = with(kRun, {"--test-from=1995-09-01"});

INSTANTIATE_TEST_SUITE_P(
    Families, LocaleText,
    ::testing::Values(
        LocaleTextCase{"TestCountLine", with(kSplitRun, {"-o", "{set}.dat", "a.txt"}), "",
                       "\r\nTest records:     106\r\n", "\r\nRecord di test:   106\r\n"},
        LocaleTextCase{"BatchTestRecords", with(kSplitRun, {"-o", "{name}.{set}.dat", "a.txt", "b.txt"}), "",
                       "a: Record scritti: 65; test records: 106", "a: Record scritti: 65; record di test: 106"},
        LocaleTextCase{"BatchNotRun", {"--variable=1", "-o", "{name}.dat", "a.txt", "b.txt"}, "-1\n",
                       "elab: b.txt: not run: no answers", "elab: b.txt: non elaborato: mancano le risposte"},
        LocaleTextCase{"BatchUsage", {"a.txt", "b.txt"}, "", "elab: several price files need '{name}' in --output",
                       "elab: piu' file dei prezzi richiedono '{name}' in --output"},
        LocaleTextCase{"BatchFiles", {"-o", "{name}.txt", "a.txt", "b.txt"}, "",
                       "elab: a.txt: the price file and --output name the same file",
                       "elab: a.txt: il file dei prezzi e --output indicano lo stesso file"},
        LocaleTextCase{"BatchOverAPriceFile", {"-o", "{name}2.txt", "a.txt", "a2.txt"}, "",
                       "elab: a.txt: --output 'a2.txt' would overwrite the price file a2.txt: write the outputs",
                       "elab: a.txt: --output 'a2.txt' sovrascriverebbe il file dei prezzi a2.txt: scrivere i"},
        LocaleTextCase{"BatchWrittenTwice", {"-o", "{name}.d", "--dates={name}", "a.txt", "a.d.txt"}, "",
                       "elab: 'a.d' would be written twice, as --output of a.txt and as --dates of a.d.txt: tell",
                       "elab: 'a.d' verrebbe scritto due volte, come --output di a.txt e come --dates di a.d.txt: "},
        LocaleTextCase{"StandardInputAmongSeveral", {"--format=csv", "a.txt", "-"}, "",
                       "elab: price file '-' (standard input) cannot be one of several",
                       "elab: il file dei prezzi '-' (standard input) non puo' essere uno fra piu' file"},
        LocaleTextCase{"SetsUsage", {"-o", "{set}.dat", "a.txt"}, "", "elab: '{set}' in a file name needs --test-from",
                       "elab: '{set}' in un nome di file richiede --test-from"},
        LocaleTextCase{"SetsInOneCsv", with(kSplitRun, {"--format=csv", "-o", "{set}.csv", "a.txt"}), "",
                       "elab: --format=csv writes both sets to one file", "elab: --format=csv scrive i due insiemi"},
        LocaleTextCase{"SetsFiles", with(kSplitRun, {"-o", "{set}train", "--dates=test{set}", "a.txt"}), "",
                       "elab: --output of the test set and --dates of the training set name the same file",
                       "elab: --output dell'insieme di test e --dates dell'insieme di addestramento indicano lo "
                       "stesso file"},
        // A table's and a sources file's refusals.
        LocaleTextCase{"TableQuote", {"q.csv"}, kAnswers, "q.csv: line 2: a quote is not closed",
                       "q.csv: riga 2: virgolette non chiuse", "q.csv", "Date,Close\n2024-01-02,\"3\n"},
        LocaleTextCase{"TableHeader", {"h.csv"}, kAnswers, "line 1: no date column and no close column among",
                       "riga 1: nessuna colonna della data e nessuna colonna della chiusura tra", "h.csv",
                       "When;Value\n2024-01-02;1\n"},
        LocaleTextCase{"TableRow", {"d.csv"}, kAnswers, "line 2, field \"Date\": no such day: \"2024-02-30\"",
                       "riga 2, campo \"Date\": giorno inesistente: \"2024-02-30\"", "d.csv",
                       "Date,Close\n2024-02-30,1\n"},
        LocaleTextCase{"TableSymbols", {"s.csv"}, kAnswers, "2 series in column \"Symbol\"",
                       "2 serie nella colonna \"Symbol\"", "s.csv",
                       "Symbol,Date,Close\nA,2024-01-02,1\nB,2024-01-02,2\n"},
        LocaleTextCase{"TableEmpty", {"e.csv"}, kAnswers, "e.csv: the file is empty: a CSV price file begins",
                       "e.csv: il file e' vuoto: un file dei prezzi CSV comincia", "e.csv", ""},
        LocaleTextCase{"SourcesFile", {"--sources=list.csv", "-o", "{name}.dat"}, kAnswers,
                       "no column 'clos' is known", "colonna 'clos' sconosciuta", "list.csv", "file,clos\n"},
        // --check, a run's warnings, the test set's refusals and the note after a stop.
        LocaleTextCase{"CheckFinding", {"--check", "p.txt"}, "",
                       "row 1, line 2: 1995-01-01 is a Sunday: exchanges do not trade then",
                       "riga 1 (riga 2 del file): 1995-01-01 cade di domenica: le borse sono chiuse", "p.txt",
                       with_a_sunday(alternating_file(kRows))},
        LocaleTextCase{"CheckCount", {"--check", "p.txt"}, "", "0 findings in 131 rows", "0 segnalazioni su 131 righe",
                       "p.txt", alternating_file(kRows)},
        LocaleTextCase{"CheckWeekdayCode", {"--check", "p.txt"}, "",
                       "a weekday code other than the date's: 1995-01-02 is a Monday (2)",
                       "un codice del giorno della settimana diverso da quello della data: 1995-01-02 cade di "
                       "lunedi' (2)",
                       "p.txt", replaced_first(alternating_file(kRows), "1995 1 2 0 0 100 2", "1995 1 2 0 0 100 3")},
        LocaleTextCase{"RunWarning", with(kRun, {"-o", "x.dat", "p.txt"}), "",
                       "p.txt: 1 row on a Saturday or Sunday, the first on 1995-01-01: elab --check lists them",
                       "p.txt: 1 riga di sabato o di domenica, il 1995-01-01: elab --check le elenca", "p.txt",
                       with_a_sunday(alternating_file(kRows))},
        LocaleTextCase{"StrictRefusal", with(kRun, {"--strict", "-o", "x.dat", "p.txt"}), "",
                       "elab --check lists them; --strict takes no such rows",
                       "elab --check le elenca; --strict non accetta righe", "p.txt",
                       with_a_sunday(alternating_file(kRows))},
        LocaleTextCase{"TestFromRefusal", with(kRun, {"--test-from=1995-01-03", "-o", "{set}", "p.txt"}), "",
                       "--test-from: the date leaves 1 training rows, a run needs 110; a test date after",
                       "--test-from: righe di addestramento prima della data: 1, l'elaborazione ne richiede 110; "
                       "andrebbe bene",
                       "p.txt", alternating_file(kRows)},
        LocaleTextCase{"NoteAfterStop", with(kRun, {"-o", "x.dat", "p.txt"}), "",
                       "p.txt: 100 rows selected of the 100 it has", "p.txt: 100 righe selezionate su 100;", "p.txt",
                       alternating_file(100)}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Scripted runs: -o and --dates.

// The days of the records of the alternating file: rows 90..111, those with
// the day code when one is given.
std::string record_days(int igio) {
  std::string days;
  const auto rows = business_days(kRows, 1995, 1, 2);
  for (int i = 90; i <= kRows - 20; ++i) {
    const PriceRow& d = rows[static_cast<std::size_t>(i - 1)];
    if (igio > 0 && d.code != igio) continue;
    char line[16];
    std::snprintf(line, sizeof line, "%04d-%02d-%02d\r\n", d.year, d.month, d.day);
    days += line;
  }
  return days;
}

TEST(Scripted, OutputAndDatesNamedOneLinePerRecord) {
  for (const int igio : {0, 2, -1}) {
    SCOPED_TRACE(igio);
    TempDir dir;
    dir.write("prices.txt", alternating_file(kRows));
    dir.write("out.dat", std::string(30000, 'x'));
    const auto r = run_in(dir,
                          {"--from=all", "--variable=4", "--coefficient=2", "--screen-output=no",
                           "--screen-inputs=no", "--days=" + std::to_string(igio), "-o", "out.dat",
                           "--dates", "days.txt", "prices.txt"},
                          "");
    int count = 0;
    const std::string dat = alternating_dat(kRows, 4, igio, &count);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, count_line(count) + kNormalEnd);
    EXPECT_FALSE(r.elab.has_value());
    EXPECT_EQ(dir.read("out.dat"), std::optional<std::string>(dat));
    EXPECT_EQ(dir.read("days.txt"), std::optional<std::string>(record_days(igio)));
  }
}

TEST(Scripted, DatesFileEmptyWithoutRecords) {
  TempDir dir;
  dir.write("days.txt", "earlier\r\n");
  // a negative coefficient marks every output value
  const auto r = run_in(dir,
                        {"--from=all", "--variable=1", "--coefficient=-1", "--screen-output=yes",
                         "--screen-inputs=no", "--days=mon", "--dates=days.txt", "-"},
                        alternating_file(kRows));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, count_line(0) + kNormalEnd);
  EXPECT_EQ(dir.read("days.txt"), std::optional<std::string>(""));
}

// A run that stops early leaves both files as they were.
TEST(Scripted, EarlyStopKeepsOutputAndDates) {
  TempDir dir;
  dir.write("prices.txt", alternating_file(kRows));
  dir.write("out.dat", "old\r\n");
  dir.write("days.txt", "old days\r\n");
  const auto r = run_in(dir, {"--from=1995-01-03", "--to=950102", "-o", "out.dat", "--dates=days.txt", "prices.txt"},
                        "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kDateOrder);  // nothing asked: no pending line end
  EXPECT_EQ(dir.read("out.dat"), std::optional<std::string>("old\r\n"));
  EXPECT_EQ(dir.read("days.txt"), std::optional<std::string>("old days\r\n"));
  EXPECT_FALSE(r.elab.has_value());
}

// ---------------------------------------------------------------------------
// Error reports for console answers.

struct AnswerErrorCase {
  const char* name;
  std::string answers;
  std::vector<std::string> blocks;
  std::string err;
};

class AnswerError : public ::testing::TestWithParam<AnswerErrorCase> {};

TEST_P(AnswerError, ReportAndOldFileKept) {
  const auto& c = GetParam();
  const std::string old = "kept as it was\r\n";
  const auto r = run_prices(alternating_file(kRows), c.answers, &old);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, c.err);
  // the pending line end follows on the console at exit
  EXPECT_EQ(r.out, joined(c.blocks) + kCrLf);
  EXPECT_EQ(r.elab, std::optional<std::string>(old));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnswerError,
    ::testing::Values(
        AnswerErrorCase{"RealForInteger", "-1\n3.0\n", blocks({D, MN}),
                        file_error("6101", "READ(CON)", "invalid integer value")},
        AnswerErrorCase{"ExponentForInteger", "1E2\n", blocks({D}),
                        file_error("6101", "READ(CON)", "invalid integer value")},
        AnswerErrorCase{"LetterInWeekday", "-1\n1\n2\n0\n0\nx\n", blocks({D, MN, CF, S1, S2, W}),
                        file_error("6101", "READ(CON)", "invalid integer value")},
        AnswerErrorCase{"BadCoefficient", "-1\n1\nabc\n", blocks({D, MN, CF}),
                        file_error("6103", "READ(CON)", "invalid real value")},
        AnswerErrorCase{"IntegerTooBig", "-1\n2147483648\n", blocks({D, MN}),
                        file_error("6100", "READ(CON)", "integer value out of range")},
        AnswerErrorCase{"EndOfInputAtMenu", "-1\n", blocks({D, MN}),
                        file_error("6501", "READ(CON)", "end of file encountered")},
        AnswerErrorCase{"EndOfInputAtStart", "", blocks({D}),
                        file_error("6501", "READ(CON)", "end of file encountered")},
        AnswerErrorCase{"EndOfInputAtSecondDate", "0\n", blocks({D, T}),
                        file_error("6501", "READ(CON)", "end of file encountered")},
        AnswerErrorCase{"EndOfInputAtWeekday", "-1\n1\n2\n0\n0\n", blocks({D, MN, CF, S1, S2, W}),
                        file_error("6501", "READ(CON)", "end of file encountered")},
        AnswerErrorCase{"QuotedAnswer", "'1'\n", blocks({D}),
                        file_error("6504", "READ(CON)", "text where a number was expected")},
        AnswerErrorCase{"ZeroRepeat", "0*1\n", blocks({D}),
                        file_error("6502", "READ(CON)", "repeat count must be positive")},
        AnswerErrorCase{"LineTooLong", std::string(131, '1') + "\n", blocks({D}),
                        file_error("6407", "READ(CON)", "input line too long")}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// elab.dat replacement.

TEST(TrainingFile, DiskFullIsReported) {
  TempDir dir;
  dir.write("prices.txt", alternating_file(kRows));
  std::filesystem::create_symlink("/dev/full", dir.path() / "elab.dat");
  const auto r = run_in(dir, {"prices.txt"}, "-1\n1\n2\n0\n0\n0\n");
  EXPECT_EQ(r.status, 1);
  // reported by the statement that writes the buffer out: the write or the close
  EXPECT_TRUE(r.err == file_error("6422", "CLOSE(elab.dat)", "disk full") ||
              r.err == file_error("6422", "WRITE(elab.dat)", "disk full"))
      << r.err;
  // no count line; the pending line end follows at exit
  EXPECT_EQ(r.out, joined(full_questions(false)) + kCrLf);
}

}  // namespace
