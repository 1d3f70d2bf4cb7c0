// End-to-end runs on CSV price files: their error reports, the closes left
// out, another close column, and elab --check on either format. The
// equivalence of a CSV with the program's own format is in the golden, the
// dialogue and the notation tables.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "support/dialogue.hpp"
#include "support/prices.hpp"
#include "support/run_process.hpp"

namespace {

using namespace elab_test;

const std::string kRunA = "-1\n1\n2\n0\n0\n0\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("no " + from);
  return text.replace(at, from.size(), to);
}

// ---------------------------------------------------------------------------
// Faults of a CSV: one line on standard error, status 1, elab.dat as it was.

struct BadCsvCase {
  const char* name;
  std::string prices;
  std::string err;
  std::vector<std::string> args = {"prices.csv"};
  std::string file = "prices.csv";
};

class BadCsv : public ::testing::TestWithParam<BadCsvCase> {};

TEST_P(BadCsv, ReportedAndTrainingFileKept) {
  const auto& c = GetParam();
  TempDir dir;
  dir.write(c.file, c.prices);
  dir.write("elab.dat", "old\r\n");
  const auto r = run_in(dir, c.args, kRunA);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.elab, std::optional<std::string>("old\r\n"));
}

const std::string kCsv = alternating_csv(131);

INSTANTIATE_TEST_SUITE_P(
    Cases, BadCsv,
    ::testing::Values(
        BadCsvCase{"BadClose", replaced(kCsv, "100.00,50.00", "1O0.00,50.00"),
                   "elab: prices.csv: line 2, field \"Close\": invalid real value: \"1O0.00\"\r\n"},
        // mend: a field is quoted to 40 characters and its length
        BadCsvCase{"LongCloseQuotedShort", replaced(kCsv, "100.00,50.00", std::string(50000, '9') + "x,50.00"),
                   "elab: prices.csv: line 2, field \"Close\": invalid real value: \"" + std::string(40, '9') +
                       "\xE2\x80\xA6\" (50,001 characters)\r\n"},
        BadCsvCase{"FortyCharactersQuotedWhole", replaced(kCsv, "100.00,50.00", std::string(39, '9') + "x,50.00"),
                   "elab: prices.csv: line 2, field \"Close\": invalid real value: \"" + std::string(39, '9') +
                       "x\"\r\n"},
        BadCsvCase{"ImpossibleDate", replaced(kCsv, "1995-01-04", "1995-02-30"),
                   "elab: prices.csv: line 4, field \"Date\": no such day: \"1995-02-30\"\r\n"},
        BadCsvCase{"NoCloseColumn", replaced(kCsv, "Close,Adj", "Mid,Adj"),
                   "elab: prices.csv: line 1: no close column among \"Date\", \"Open\", \"High\", \"Low\", "
                   "\"Mid\", \"Adj Close\", \"Volume\": name it with --close=NAME or by its number, --close=5\r\n"},
        BadCsvCase{"WayOutAfterTitleLines", "Kurse\n\nDatum;Er\xC3\xB6""ffnung;Kassa\n02.01.2024;1;2\n",
                   "elab: prices.csv: line 3: no close column among \"Datum\", \"Er\xC3\xB6""ffnung\", \"Kassa\": "
                   "name it with --close=NAME or by its number, --close=3\r\n"},
        // mend: names in any script get the way out (they were F6101 of the head)
        BadCsvCase{"WayOutCyrillicNames", "\xD0\x9A\xD0\xBE\xD0\xB3\xD0\xB4\xD0\xB0;\xD0\x97\xD0\xB0\xD0\xBA\n01.01.2020;1\n",
                   "elab: prices.csv: line 1: no date column and no close column among \"\xD0\x9A\xD0\xBE\xD0\xB3\xD0\xB4\xD0\xB0\", "
                   "\"\xD0\x97\xD0\xB0\xD0\xBA\": name them with --date-column=NAME and --close=NAME (or a number, "
                   "--close=2)\r\n"},
        BadCsvCase{"WayOutJapaneseNames", "\xE6\x9C\x9F\xE6\x97\xA5;\xE5\x80\xA4\n2020/01/01;1\n",
                   "elab: prices.csv: line 1: no date column and no close column among \"\xE6\x9C\x9F\xE6\x97\xA5\", "
                   "\"\xE5\x80\xA4\": name them with --date-column=NAME and --close=NAME (or a number, "
                   "--close=2)\r\n"},
        // mend: the number offered is one of the file's columns
        BadCsvCase{"WayOutNumberWithinThreeColumns", "Date,Mid,Volume\n2020-01-01,1,2\n",
                   "elab: prices.csv: line 1: no close column among \"Date\", \"Mid\", \"Volume\": name it with "
                   "--close=NAME or by its number, --close=3\r\n"},
        BadCsvCase{"CloseOptionNamesTheDateColumn", kCsv,
                   "elab: prices.csv: line 1: --close=Date names the date column \"Date\" among \"Date\", \"Open\", "
                   "\"High\", \"Low\", \"Close\", \"Adj Close\", \"Volume\": name the close with --close=NAME or by its "
                   "number, --close=5\r\n",
                   {"--close=Date", "prices.csv"}},
        // mend: a close below the smallest normal float is refused (it became 0, or a denormal)
        BadCsvCase{"CloseBelowTheSmallestNormalFloat", replaced(kCsv, "100.00,50.00", "1e-50,50.00"),
                   "elab: prices.csv: line 2, field \"Close\": real value below the smallest normal single precision "
                   "value: \"1e-50\"\r\n"},
        BadCsvCase{"DenormalClose", replaced(kCsv, "100.00,50.00", "1e-40,50.00"),
                   "elab: prices.csv: line 2, field \"Close\": real value below the smallest normal single precision "
                   "value: \"1e-40\"\r\n"},
        BadCsvCase{"CutShortLastLine", kCsv + "1995-07-04,1,2",
                   "elab: prices.csv: line 133: 3 fields, the header has 7: the last line, the file looks cut "
                   "short\r\n"},
        // mend: an empty CSV says so (it was F6501 of the head)
        BadCsvCase{"EmptyCsv", "",
                   "elab: prices.csv: the file is empty: a CSV price file begins with a line of column names\r\n"},
        BadCsvCase{"WayOutNeitherColumn", "When;Value\n2024-01-02;1\n",
                   "elab: prices.csv: line 1: no date column and no close column among \"When\", \"Value\": name them "
                   "with --date-column=NAME and --close=NAME (or a number, --close=2)\r\n"},
        BadCsvCase{"WayOutColumnsApartByBlanksOrBars", "\nDate | Close\n2024-01-02 | 1\n",
                   "elab: prices.csv: line 2: \"Date | Close\" names columns, but a table's columns are apart by "
                   "',', ';' or a tab\r\n"},
        BadCsvCase{"DateOrderNeeded", "Date,Close\n01/02/2024,1\n01/03/2024,2\n",
                   "elab: prices.csv: field \"Date\": every date reads as DD/MM/YYYY or MM/DD/YYYY alike: give "
                   "--date-order=dmy or --date-order=mdy\r\n"},
        BadCsvCase{"SymbolNeeded", "Symbol,Date,Close\nA,2024-01-02,1\nB,2024-01-02,2\n",
                   "elab: prices.csv: 2 series in column \"Symbol\": \"A\", \"B\"; choose one with --symbol=VALUE\r\n"},
        // What --check finds in the days taken, with --strict: nothing written.
        BadCsvCase{"StrictWeekendRow", replaced(kCsv, "1995-01-02", "1995-01-01"),
                   "elab: prices.csv: 1 row on a Saturday or Sunday, the first on 1995-01-01: elab --check lists "
                   "them; --strict takes no such rows\r\n",
                   {"--strict", "--from=all", "--variable=1", "--coefficient=2", "--screen-output=no",
                    "--screen-inputs=no", "--days=monday-flag", "prices.csv"}},
        BadCsvCase{"NoRowWithDateAndClose", "Date,Close\n2024-01-02,\n",
                   "elab: prices.csv: no rows with a date and a close\r\n"},
        BadCsvCase{"HeaderOnlyCrLineEnds", "Date,Close\r", "elab: prices.csv: no rows with a date and a close\r\n"},
        BadCsvCase{"SymbolOnOwnFormat", alternating_file(131),
                   "elab: prices.txt: --symbol=A needs a CSV price file\r\n", {"--symbol=A", "prices.txt"}, "prices.txt"},
        BadCsvCase{"SameDateTwice", replaced(kCsv, "1995-01-04", "1995-01-03"),
                   "elab: prices.csv: lines 3 and 4: the same date 1995-01-03\r\n"},
        BadCsvCase{"FieldMissing", replaced(kCsv, ",1200\n", "\n"),
                   "elab: prices.csv: line 2: 6 fields, the header has 7\r\n"},
        BadCsvCase{"CloseOptionNamesNoColumn", kCsv,
                   "elab: prices.csv: line 1: no column \"Last\" among \"Date\", \"Open\", \"High\", \"Low\", \"Close\", "
                   "\"Adj Close\", \"Volume\": name it with --close=NAME or by its number, --close=5\r\n",
                   {"--close=Last", "prices.csv"}},
        BadCsvCase{"CloseOptionOnOwnFormat", alternating_file(131),
                   "elab: prices.txt: --close=Close needs a CSV price file\r\n", {"--close=Close", "prices.txt"},
                   "prices.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Runs on a CSV that give the run of a file in the program's own format.

struct LikeOwnCase {
  const char* name;
  std::string csv;
  std::string own;
  std::vector<std::string> args;
  std::string err;
};

class CsvLikeOwn : public ::testing::TestWithParam<LikeOwnCase> {};

TEST_P(CsvLikeOwn, SameRun) {
  const auto& c = GetParam();
  const auto own = run_prices(c.own, kFullRunAnswers);
  ASSERT_EQ(own.status, 0) << own.err;
  TempDir dir;
  dir.write("prices.csv", c.csv);
  const auto r = run_in(dir, c.args, kFullRunAnswers);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.out, own.out);
  EXPECT_EQ(r.elab, own.elab);
}

std::vector<PriceRow> halved(std::vector<PriceRow> rows) {
  for (auto& r : rows) r.close = std::stod(money(r.close * 0.5));
  return rows;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvLikeOwn,
    ::testing::Values(
        LikeOwnCase{"NullClosesLeftOut",
                    replaced(replaced(kCsv, "1995-01-04", "1995-01-07,,,,null,,\n1995-01-04"), "1995-01-09",
                             "1995-01-08,1,1,1,N/A,1,0\n1995-01-09"),
                    alternating_file(131), {"prices.csv"},
                    "elab: warning: prices.csv: 2 rows without a close left out, the first on line 4\r\n"},
        // What --check would find, said before the records take their place.
        LikeOwnCase{"GapWarnedOf", replaced(kCsv, "1995-01-02", "1994-12-01"),
                    replaced(alternating_file(131), "1995 1 2 0 0 100 2", "1994 12 1 0 0 100 5"), {"prices.csv"},
                    "elab: warning: prices.csv: 1 gap of more than 10 calendar days, the first before 1995-01-03: "
                    "elab --check lists them\r\n"},
        LikeOwnCase{"AnotherCloseColumn", format_csv(random_walk(5, 200)),
                    format_prices(halved(random_walk(5, 200))), {"--close", "Adj Close", "prices.csv"}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A header longer than any block read (2 MiB, the close last), through a
// pipe: read whole, the run as the file's with a short header.
TEST(CsvHeader, LongerThanABlockThroughAPipe) {
  std::string csv = "Date," + std::string(std::size_t{2} << 20, 'x') + ",Close\n";
  for (const auto& r : alternating_rows(131)) csv += iso_date(r) + ",," + (r.close == 100.0 ? "100\n" : "125\n");
  TempDir dir;
  const auto r = run_in(dir, {"--from=all", "--variable=1", "--coefficient=2", "--screen-output=no",
                              "--screen-inputs=no", "--days=monday-flag", "-"}, csv);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.elab, alternating_dat(131, 1, 0));
}

// ---------------------------------------------------------------------------
// elab --check: each finding once, on standard output; nothing asked, no
// file written.

struct CheckCase {
  const char* name;
  std::string prices;
  std::vector<std::string> lines;  // of standard output
  int status;
  std::string file = "prices.txt";
};

class Check : public ::testing::TestWithParam<CheckCase> {};

TEST_P(Check, ListsTheFindings) {
  const auto& c = GetParam();
  TempDir dir;
  dir.write(c.file, c.prices);
  const auto r = run_in(dir, {"--check", c.file}, "");
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, joined(c.lines) + kCrLf);
  EXPECT_EQ(r.elab, std::nullopt);
}

const std::string kOwn = alternating_file(131);
const std::string kRow1 = "1995 1 2 0 0 100 2\n";

std::vector<std::string> finding(const std::string& line) { return {line, "1 finding in 131 rows"}; }

std::vector<PriceRow> newest_first(const std::vector<PriceRow>& rows) { return {rows.rbegin(), rows.rend()}; }

std::vector<std::string> twenty_and_count() {
  std::vector<std::string> lines;
  for (int i = 1; i <= 19; ++i) {
    lines.push_back("row " + std::to_string(i) + ", line " + std::to_string(i + 1) + ": a close of zero or below");
    if (i == 1) lines.push_back("row 1, line 2: 131 equal closes in a row, to row 131: the series may have stopped");
  }
  lines.push_back("132 findings in 131 rows, the first 20 shown");
  return lines;
}

std::string all_closes_zero() {
  std::string s = kOwn;
  for (std::size_t at = 0; (at = s.find(" 0 0 1", at)) != std::string::npos;) {
    const std::size_t end = s.find(' ', at + 5);
    s.replace(at + 5, end - at - 5, "0");
    at = end;
  }
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Check,
    ::testing::Values(
        CheckCase{"NothingFound", kOwn, {"0 findings in 131 rows"}, 0},
        CheckCase{"NothingInANewestFirstCsv",
                  format_csv(newest_first(alternating_rows(131))),
                  {"0 findings in 131 rows"}, 0, "prices.csv"},
        CheckCase{"WeekdayCode", replaced(kOwn, kRow1, "1995 1 2 0 0 100 3\n"),
                  finding("row 1, line 2: a weekday code other than the date's: 1995-01-02 is a Monday (2)"), 1},
        CheckCase{"DateBeforeThePrevious", replaced(kOwn, "1995 1 3 0 0 125 3", "1994 12 27 0 0 125 3"),
                  finding("row 2, line 3: the date is before the previous row's"), 1},
        CheckCase{"SameDateTwice", replaced(kOwn, "1995 1 3 0 0 125 3", "1995 1 2 0 0 125 2"),
                  finding("row 2, line 3: the same date as row 1 (line 2)"), 1},
        CheckCase{"CloseOfZero", replaced(kOwn, kRow1, "1995 1 2 0 0 0 2\n"),
                  finding("row 1, line 2: a close of zero or below"), 1},
        CheckCase{"CloseOfZeroInACsv", replaced(kCsv, "100.00,50.00", "0,50.00"),
                  finding("row 1, line 2: a close of zero or below"), 1, "prices.csv"},
        CheckCase{"TwoDigitYear", replaced(kOwn, kRow1, "95 1 2 0 0 100 2\n"),
                  finding("row 1, line 2: year 95 has two digits: a run takes it as the year 95, not 1995"), 1},
        CheckCase{"TwoDigitYear99", replaced(kOwn, kRow1, "99 1 2 0 0 100 2\n"),
                  finding("row 1, line 2: year 99 has two digits: a run takes it as the year 99, not 1999"), 1},
        CheckCase{"ValueTooMany", replaced(kOwn, kRow1, "1995 1 2 0 0 100 2 7\n"),
                  finding("row 1, line 2: 8 values on the line, NC is 7: the last ones are never read"), 1},
        CheckCase{"RowsAfterNr", replaced(kOwn, "131 7", "130 7"),
                  {"line 132: 1 line of values after the NR = 130 rows: a run never reads them", "1 finding in 130 rows"},
                  1},
        CheckCase{"DecimalCommaSplits", replaced(kOwn, kRow1, "1995 1 2 0 0 100 2,5\n"),
                  finding("row 1, line 2: \"2,5\" is read as two values; decimals take a point"), 1},
        CheckCase{"AtMostTwentyLines", all_closes_zero(), twenty_and_count(), 1},
        CheckCase{"WeekendRow", replaced(kCsv, "1995-01-02", "1995-01-01"),
                  finding("row 1, line 2: 1995-01-01 is a Sunday: exchanges do not trade then"), 1, "prices.csv"},
        CheckCase{"GapOfDays", replaced(kCsv, "1995-01-02", "1994-12-01"),
                  finding("row 2, line 3: 33 calendar days after the previous row's 1994-12-01: days are missing"), 1,
                  "prices.csv"},
        CheckCase{"FiveEqualCloses", replaced(replaced(kCsv, "1995-01-03,125.00,0.00,0.00,125.00", "1995-01-03,100.00,0.00,0.00,100.00"),
                                              "1995-01-05,125.00,0.00,0.00,125.00", "1995-01-05,100.00,0.00,0.00,100.00"),
                  finding("row 1, line 2: 5 equal closes in a row, to row 5: the series may have stopped"), 1, "prices.csv"},
        CheckCase{"FewerRowsThanARunNeeds", alternating_csv(109),
                  {"109 rows: a run needs at least 110 selected rows", "1 finding in 109 rows"}, 1, "prices.csv"},
        // the first 20 in line order, whichever check found them
        CheckCase{"FirstTwentyByLine", replaced(all_closes_zero(), "1995 1 2 0 0 0 2\n", "1995 1 2 0 0 0 2,5\n"),
                  [] {
                    auto lines = twenty_and_count();
                    lines.insert(lines.begin(), "row 1, line 2: \"2,5\" is read as two values; decimals take a point");
                    lines.erase(lines.end() - 2);
                    lines.back() = "133 findings in 131 rows, the first 20 shown";
                    return lines;
                  }(),
                  1},
        CheckCase{"LongValueQuotedShort", replaced(kOwn, kRow1, "1995 1 2 0 0 100 2," + std::string(100, '5') + "\n"),
                  finding("row 1, line 2: \"2," + std::string(38, '5') + "\xE2\x80\xA6\" (102 characters) is read as "
                          "two values; decimals take a point"),
                  1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// A vendor's file of each family (tests/data/vendor, made by make_files.py)
// gives the run of its twin, the same days as a plain ISO CSV: the same
// elab.dat, dates, console output and status, with no option but the
// answers (and --symbol for a file of several series).

struct VendorCase {
  const char* file;
  std::vector<std::string> args = {};
};

class VendorLikeIso : public ::testing::TestWithParam<VendorCase> {};

TEST_P(VendorLikeIso, SameRunAsTheTwin) {
  const auto& c = GetParam();
  const std::string folder = source_dir() + "/tests/data/vendor/";
  const std::string file = c.file;
  const auto run = [&](const TempDir& dir, const std::string& prices, std::vector<std::string> args) {
    args.insert(args.begin(), "--dates=days.txt");
    args.push_back(folder + prices);
    auto r = run_in(dir, args, kFullRunAnswers);
    r.elab = r.elab.value_or("") + "|" + read_file(dir.path() / "days.txt");
    return r;
  };
  TempDir vendor_dir, twin_dir;
  const auto twin = run(twin_dir, file.substr(0, file.rfind('.')) + ".iso.csv", {});
  ASSERT_EQ(twin.status, 0) << twin.err;
  const auto r = run(vendor_dir, file, c.args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, twin.out);
  EXPECT_EQ(r.elab, twin.elab);
}

INSTANTIATE_TEST_SUITE_P(
    Families, VendorLikeIso,
    ::testing::Values(VendorCase{"german_semicolon.csv"}, VendorCase{"italian_bank.csv"}, VendorCase{"us_portal.csv"},
                      VendorCase{"terminal_tab.txt"}, VendorCase{"spreadsheet_utf16.txt"}, VendorCase{"pandas_tz.csv"},
                      VendorCase{"month_names.csv"}, VendorCase{"dash_month.csv"}, VendorCase{"swiss_apostrophe.csv"},
                      VendorCase{"french_space.csv"}, VendorCase{"spanish_dash.csv"}, VendorCase{"portuguese.csv"},
                      VendorCase{"dutch_compact.csv"}, VendorCase{"iso_timestamp.csv"}, VendorCase{"cr_only.csv"},
                      VendorCase{"long_by_symbol.csv", {"--symbol=BBB"}},
                      VendorCase{"long_by_date.csv", {"--symbol", "BBB"}},
                      VendorCase{"pandas_tickers.csv", {"--symbol=BBB"}}, VendorCase{"pandas_unnamed_index.csv"},
                      // The world's names of the columns and forms of a date.
                      VendorCase{"dutch_slotkoers.csv"}, VendorCase{"portuguese_fecho.csv"},
                      VendorCase{"french_clot.csv"}, VendorCase{"french_cours.csv"}, VendorCase{"futures_settle.csv"},
                      VendorCase{"fund_nav.csv"}, VendorCase{"german_kurs.csv"}, VendorCase{"swedish.csv"},
                      VendorCase{"norwegian.csv"}, VendorCase{"danish.csv"}, VendorCase{"finnish.csv"},
                      VendorCase{"polish.csv"}, VendorCase{"czech.csv"}, VendorCase{"turkish.csv"},
                      VendorCase{"greek.csv"}, VendorCase{"russian.csv"}, VendorCase{"japanese.csv"},
                      VendorCase{"chinese.csv"}, VendorCase{"korean.csv"}, VendorCase{"terminal_dt.csv"},
                      VendorCase{"two_digit_years.csv"}, VendorCase{"weekday_names.csv"},
                      VendorCase{"quoted_line_end.csv"},
                      VendorCase{"terminal_px_last.csv"}, VendorCase{"portal_german_zuletzt.csv"}),
    [](const auto& info) {
      std::string name;
      for (const char ch : std::string(info.param.file)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

}  // namespace
