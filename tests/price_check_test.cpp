// elab --check on its own: what the own format's text shows (the rows as
// the reader takes them, value counts, decimal commas, lines never read)
// and which findings a report keeps, in which order. The findings of the
// rows' values, run whole, are e2e_csv_test's Check table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/price_check.hpp"
#include "numtext/messages.hpp"

namespace {

std::string report_of(const elab::Findings& findings, std::int64_t rows) {
  std::string s;
  for (const std::string& line : elab::findings_report(findings, rows)) s += line + "\n";
  return s;
}

struct TextCase {
  const char* name;
  std::string text;
  std::int64_t nr, nc;
  std::string row_lines;  // the line of each row
  std::string report;
};

TEST(CheckOwnText, RowsAndFindingsAsTheReaderTakesThem) {
  const TextCase cases[] = {
      {"OneRowPerLine", "2 3\n1 2 3\n4 5 6\n", 2, 3, "2 3", "0 findings in 2 rows\n"},
      {"BlankLinesBeforeARow", "2 3\n\n  \n1 2 3\n4 5 6\n", 2, 3, "4 5", "0 findings in 2 rows\n"},
      // a row over two lines in a file of rows over two lines is no finding
      {"EveryRowOverTwoLines", "2 3\n1 2\n3\n4 5\n6\n", 2, 3, "2 4", "0 findings in 2 rows\n"},
      {"OneRowOverTwoLines", "3 3\n1 2\n3\n4 5 6\n7 8 9\n", 3, 3, "2 4 5",
       "row 1, line 2: 2 values on the line, NC is 3: the row goes on into the next line\n"
       "row 1, line 3: 1 value on the line, NC is 3: the row goes on into the next line\n"
       "2 findings in 3 rows\n"},
      {"ValueTooMany", "3 3\n1 2 3 9\n4 5 6\n7 8 9\n", 3, 3, "2 3 4",
       "row 1, line 2: 4 values on the line, NC is 3: the last ones are never read\n1 finding in 3 rows\n"},
      // most rows over two lines: the count of a line is no finding
      {"ValueTooManyAmongRowsOverTwoLines", "2 3\n1 2 3 9\n4 5\n6\n", 2, 3, "2 3", "0 findings in 2 rows\n"},
      // r*v and r* give r values, a comma after a comma a null one, and a
      // comma at the start of a row a null one too
      {"RepeatsAndNulls", "3 3\n3*7\n1,,3\n,2,3\n", 3, 3, "2 3 4", "0 findings in 3 rows\n"},
      {"RepeatGivingTooMany", "3 3\n4*7\n4 5 6\n7 8 9\n", 3, 3, "2 3 4",
       "row 1, line 2: 4 values on the line, NC is 3: the last ones are never read\n1 finding in 3 rows\n"},
      // a slash ends the row: the targets left keep their values
      {"SlashEndsARow", "3 3\n1 2 /\n4 5 6\n7 8 9\n", 3, 3, "2 3 4",
       "row 1, line 2: 2 values on the line, NC is 3: the row goes on into the next line\n1 finding in 3 rows\n"},
      {"DecimalComma", "2 3\n1 2 3,5\n4 5 6\n", 2, 3, "2 3",
       "row 1, line 2: \"3,5\" is read as two values; decimals take a point\n1 finding in 2 rows\n"},
      // commas apart from blanks are separators
      {"CommasOnlyAreSeparators", "2 3\n1,2,3\n4,5,6\n", 2, 3, "2 3", "0 findings in 2 rows\n"},
      {"LinesAfterTheRows", "1 3\n1 2 3\n\n4 5 6\n/\n7\n", 1, 3, "2",
       "line 4: 2 lines of values after the NR = 1 rows: a run never reads them\n1 finding in 1 row\n"},
      {"HeadOverTwoLines", "2\n3\n1 2 3\n4 5 6\n", 2, 3, "3 4", "0 findings in 2 rows\n"},
      {"RowsPastTheEnd", "3 3\n1 2 3\n", 3, 3, "2 3 3", "0 findings in 3 rows\n"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.name);
    const elab::OwnTextFindings got = elab::check_own_text(c.text, c.nr, c.nc);
    std::string lines;
    for (const std::int64_t l : got.row_lines) lines += (lines.empty() ? "" : " ") + std::to_string(l);
    EXPECT_EQ(lines, c.row_lines);
    EXPECT_EQ(report_of(got.findings, c.nr), c.report);
  }
}

TEST(CheckReport, FirstTwentyInLineOrderWholeFileFindingsLast) {
  elab::Findings findings;
  findings.push_back({0, 0, "of the whole file"});
  for (std::int64_t line = 30; line >= 2; --line) findings.push_back({line - 1, line, "late"});
  findings.push_back({1, 2, "second on line 2"});
  const std::vector<elab::Finding> shown = findings.shown();
  ASSERT_EQ(shown.size(), elab::Findings::kShown);
  EXPECT_EQ(shown[0].what, "late");
  EXPECT_EQ(shown[1].what, "second on line 2");
  EXPECT_EQ(shown.back().line, 20);
  EXPECT_EQ(findings.size(), 31);
  EXPECT_EQ(elab::findings_report(findings, 29).back(), "31 findings in 29 rows, the first 20 shown");

  elab::Findings few;
  few.push_back({0, 0, "of the whole file"});
  few.push_back({3, 4, "a row's"});
  EXPECT_EQ(report_of(few, 5), "row 3, line 4: a row's\nof the whole file\n2 findings in 5 rows\n");
}

// The count line takes a sentence for each form of its counts, and a
// finding one for each place it knows, in each language.
TEST(CheckReport, EachFormInEachLanguage) {
  const struct {
    std::int64_t found, rows, row, line;
    std::string english, italian;  // the report's first and last line
  } cases[] = {
      {0, 1, 0, 0, "0 findings in 1 row", "0 segnalazioni su 1 riga"},
      {1, 1, 0, 0, "x\n1 finding in 1 row", "x\n1 segnalazione su 1 riga"},
      {1, 5, 3, 0, "row 3: x\n1 finding in 5 rows", "riga 3: x\n1 segnalazione su 5 righe"},
      {2, 1, 0, 4, "line 4: x\n2 findings in 1 row", "riga 4 del file: x\n2 segnalazioni su 1 riga"},
      {2, 5, 3, 4, "row 3, line 4: x\n2 findings in 5 rows", "riga 3 (riga 4 del file): x\n2 segnalazioni su 5 righe"},
      {21, 1, 0, 0, "x\n21 findings in 1 row, the first 20 shown",
       "x\n21 segnalazioni su 1 riga, mostrate le prime 20"},
      {21, 5, 0, 0, "x\n21 findings in 5 rows, the first 20 shown",
       "x\n21 segnalazioni su 5 righe, mostrate le prime 20"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.english);
    elab::Findings findings;
    for (std::int64_t k = 0; k < c.found; ++k) findings.push_back({c.row, c.line, "x"});
    for (const auto language : {numtext::Language::english, numtext::Language::italian}) {
      numtext::set_language(language);
      const std::vector<std::string> lines = elab::findings_report(findings, c.rows);
      const std::string got = (c.found > 0 ? lines.front() + "\n" : "") + lines.back();
      EXPECT_EQ(got, language == numtext::Language::italian ? c.italian : c.english);
    }
    numtext::set_language(numtext::Language::english);
  }
}

// The weekday codes of the own format, 1 Sunday .. 7 Saturday.
TEST(CheckReport, WeekdayNamesOfEachCode) {
  const std::vector<std::string> english = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                            "Saturday"};
  const std::vector<std::string> italian = {"domenica", "lunedi'",  "martedi'", "mercoledi'",
                                            "giovedi'", "venerdi'", "sabato"};
  for (std::int32_t code = 1; code <= 7; ++code) {
    numtext::set_language(numtext::Language::italian);
    EXPECT_EQ(elab::weekday_name(code), italian[static_cast<std::size_t>(code - 1)]);
    numtext::set_language(numtext::Language::english);
    EXPECT_EQ(elab::weekday_name(code), english[static_cast<std::size_t>(code - 1)]);
  }
}

}  // namespace
