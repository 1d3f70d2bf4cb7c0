// End-to-end runs on generated price files: the free-form notations of the
// file give the same training file, and a long random walk gives records
// whose structure and values agree with the prices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/answer_options.hpp"
#include "support/dialogue.hpp"
#include "support/prices.hpp"
#include "support/run_process.hpp"
#include "support/threads_asked.hpp"

namespace {

using namespace elab_test;

std::string ymd(const PriceRow& r, const std::string& sep) {
  return std::to_string(r.year) + sep + std::to_string(r.month) + sep + std::to_string(r.day);
}

// ---------------------------------------------------------------------------
// Notations of the price file.

using Formatter = std::function<std::string(const std::vector<PriceRow>&)>;

struct NotationCase {
  const char* name;
  Formatter format;
};

// The row count and head, then each row as row writes it.
Formatter each_row(const std::string& head, const std::function<std::string(const PriceRow&)>& row) {
  return [=](const std::vector<PriceRow>& rows) {
    std::string s = std::to_string(rows.size()) + head;
    for (const auto& r : rows) s += row(r);
    return s;
  };
}

const std::vector<NotationCase>& notation_cases() {
  static const std::vector<NotationCase> cases{
      {"CrLf", [](const auto& rows) { return to_crlf(format_prices(rows)); }},
      // an old system's line ends, a CR alone; a CR LF among them is one
      {"CrOnlyAndAStrayCrLf",
       [](const auto& rows) {
         std::string s = format_prices(rows);
         std::replace(s.begin(), s.end(), '\n', '\r');
         return s.insert(s.find('\r') + 1, "\n");
       }},
      {"NoFinalNewline",
       [](const auto& rows) {
         std::string s = format_prices(rows);
         s.pop_back();
         return s;
       }},
      {"NoFinalCrLf",
       [](const auto& rows) {
         std::string s = to_crlf(format_prices(rows));
         s.resize(s.size() - 2);
         return s;
       }},
      // The CR that ends the file ends its last line too.
      {"FinalCrWithoutLf",
       [](const auto& rows) {
         std::string s = to_crlf(format_prices(rows));
         s.pop_back();
         return s;
       }},
      {"Commas", each_row(",7\n", [](const PriceRow& r) {
           return ymd(r, ",") + "," + money(r.high) + "," + money(r.low) + "," + money(r.close) +
                  "," + std::to_string(r.code) + "\n";
       })},
      {"BlanksAroundCommas", each_row(" , 7\n", [](const PriceRow& r) {
           return ymd(r, " , ") + " ,  " + money(r.high) + " ," + money(r.low) + ", " +
                  money(r.close) + "  ,  " + std::to_string(r.code) + "  \n";
       })},
      {"Tabs", each_row("\t7\n", [](const PriceRow& r) {
           return "\t" + ymd(r, "\t") + "\t" + money(r.high) + "\t\t" + money(r.low) + " \t" +
                  money(r.close) + "\t" + std::to_string(r.code) + "\t\n";
       })},
      {"RepeatCount", each_row(" 7\n", [](const PriceRow& r) {
           return ymd(r, " ") + " 3*" + money(r.close) + " " + std::to_string(r.code) + "\n";
       })},
      {"RepeatCountOfNulls", each_row(" 7\n", [](const PriceRow& r) {
           return ymd(r, " ") + " 2* " + money(r.close) + " " + std::to_string(r.code) + "\n";
       })},
      {"NullValues", each_row(" 7\n", [](const PriceRow& r) {
           return ymd(r, ",") + ",,," + money(r.close) + "," + std::to_string(r.code) + "\n";
       })},
      {"RowsOverThreeLines", each_row("\n7\n", [](const PriceRow& r) {
           return ymd(r, " ") + "\n" + money(r.high) + "\n\n" + money(r.low) + " " +
                  money(r.close) + "\n" + std::to_string(r.code) + "\n";
       })},
      {"RowsOverLinesCrLf", each_row(" 7\r\n", [](const PriceRow& r) {
           return ymd(r, " ") + "\r\n" + money(r.high) + " " + money(r.low) + "\r\n" +
                  money(r.close) + " " + std::to_string(r.code) + "\r\n";
       })},
      {"ExtraValuesOnLine", each_row(" 7 99 x\n", [](const PriceRow& r) {
           return ymd(r, " ") + " " + money(r.high) + " " + money(r.low) + " " + money(r.close) +
                  " " + std::to_string(r.code) + " 123.5 garbage\n";
       })},
      {"EightColumns", each_row(" 8\n", [](const PriceRow& r) {
           return ymd(r, " ") + " " + money(r.high) + " " + money(r.low) + " " + money(r.close) +
                  " " + std::to_string(r.code) + " 42\n";
       })},
      // "/" leaves the rest of the row as it was (zero): column 8 is not used
      {"SlashEndsRow", each_row(" 8 /\n", [](const PriceRow& r) {
           return ymd(r, ",") + ",,," + money(r.close) + "," + std::to_string(r.code) + "/7\n";
       })},
      {"ExponentForms", each_row(" 7\n", [](const PriceRow& r) {
           return std::to_string(r.year / 1000) + "." + std::to_string(r.year % 1000 / 100) +
                  std::to_string(r.year % 100 / 10) + std::to_string(r.year % 10) + "e3 " +
                  std::to_string(r.month) + ". " + std::to_string(r.day) + "D0 1E2 2.5d-1 " +
                  money(r.close) + " +" + std::to_string(r.code) + "\n";
       })},
      // A vendor's CSV of the same days, in its forms.
      {"Csv", [](const auto& rows) { return format_csv(rows); }},
      {"CsvSemicolonsDecimalCommas", [](const auto& rows) { return format_csv(rows, ";"); }},
      {"CsvTabsSlashDates", [](const auto& rows) { return format_csv(rows, "\t", "/"); }},
      {"CsvCompactDatesBomCrLf", [](const auto& rows) { return "\xEF\xBB\xBF" + to_crlf(format_csv(rows, ",", "")); }},
      {"CsvNewestFirst",
       [](const auto& rows) { return format_csv(std::vector<PriceRow>(rows.rbegin(), rows.rend())); }},
      {"CsvQuotedLowerCaseHeader",
       [](const auto& rows) {
         std::string s = "\"volume\",\"date\",\"close\"\n";
         for (const auto& r : rows) s += "\"1,200\",\"" + iso_date(r) + "\", " + money(r.close) + " \n";
         return s;
       }},
      {"TrailingLinesNotRead",
       [](const auto& rows) { return format_prices(rows) + "this is never read\n1 2 3\n"; }},
  };
  return cases;
}

class Notation : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Notation, SameTrainingFileAsPlain) {
  const auto& c = notation_cases()[GetParam()];
  const auto rows = random_walk(7, 300);
  for (const std::string answers : {"-1\n9\n2\n0\n0\n-1\n", "0\n0\n1\n2\n1\n1\n0\n"}) {
    SCOPED_TRACE(answers);
    const auto plain = run_prices(format_prices(rows), answers);
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_TRUE(plain.elab.has_value());
    ASSERT_GT(plain.elab->size(), 1000u);
    const auto r = run_prices(c.format(rows), answers);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, plain.out);
    EXPECT_EQ(r.elab, plain.elab);
  }
}

INSTANTIATE_TEST_SUITE_P(All, Notation, ::testing::Range<std::size_t>(0, notation_cases().size()),
                         [](const auto& info) {
                           return std::string(notation_cases()[info.param].name);
                         });

// Every case runs (the range above is the table's), and none of them
// writes the plain file, which would make its comparison vacuous.
TEST(Notation, EveryNotationDiffersFromThePlainFile) {
  const auto rows = random_walk(7, 300);
  for (const auto& c : notation_cases()) EXPECT_NE(c.format(rows), format_prices(rows)) << c.name;
}

TEST(Notation, RowShortOfValuesShiftsLaterRows) {
  // a row with six values takes the first value of the next line: the file
  // then ends before the last row
  auto text = format_prices(random_walk(3, 200));
  const std::size_t second_row = text.find('\n', text.find('\n') + 1) + 1;
  const std::size_t code_at = text.rfind(' ', text.find('\n', second_row)) ;
  text.erase(code_at, text.find('\n', second_row) - code_at);
  const auto r = run_prices(text, "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, file_error("6501", "READ(prices.txt)", "end of file encountered: row 200 of 200"));
}

struct BadFileCase {
  const char* name;
  std::string replace_from, replace_to;  // first occurrence in the file
  std::string err;
};

class BadFile : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(BadFile, Report) {
  const auto& c = GetParam();
  std::string text = alternating_file(131);
  const std::size_t at = text.find(c.replace_from);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, c.replace_from.size(), c.replace_to);
  const std::string old = "old\r\n";
  const auto r = run_prices(text, "-1\n", &old);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.elab, std::optional<std::string>(old));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadFile,
    ::testing::Values(
        BadFileCase{"Letters", " 0 0 ", " 0 abc ",
                    file_error("6103", "READ(prices.txt)", "invalid real value: row 1, value 5")},
        BadFileCase{"Quoted", " 0 0 ", " 0 '0' ",
                    file_error("6504", "READ(prices.txt)",
                               "text where a number was expected: row 1, value 5")},
        BadFileCase{"ZeroRepeat", " 0 0 ", " 0*0 ",
                    file_error("6502", "READ(prices.txt)",
                               "repeat count must be positive: row 1, value 4")},
        BadFileCase{"TwoAsterisks", " 0 0 ", " 2*3*0 ",
                    file_error("6503", "READ(prices.txt)",
                               "invalid value: two asterisks: row 1, value 4")},
        BadFileCase{"BeyondSingle", " 0 0 ", " 0 1e39 ",
                    file_error("6104", "READ(prices.txt)",
                               "real value out of single precision range: row 1, value 5")},
        BadFileCase{"BeyondDouble", " 0 0 ", " 0 1e400 ",
                    file_error("6102", "READ(prices.txt)",
                               "real value out of double precision range: row 1, value 5")},
        BadFileCase{"RowCountReal", "131 7", "131.0 7",
                    file_error("6101", "READ(prices.txt)",
                               "invalid integer value: head of the file, value 1")},
        BadFileCase{"ColumnCountTooBig", "131 7", "131 9999999999",
                    file_error("6100", "READ(prices.txt)",
                               "integer value out of range: head of the file, value 2")},
        // The message names the row being read and the value within it.
        BadFileCase{"LetterInRow17", "1995 1 24 0 0 100 ", "1995 1 24 0 0 1O0 ",
                    file_error("6103", "READ(prices.txt)", "invalid real value: row 17, value 6")},
        BadFileCase{"LastRowCutShort", "1995 7 3 0 0 100 2\n", "1995 7 3 0 0\n",
                    file_error("6501", "READ(prices.txt)",
                               "end of file encountered: row 131 of 131, value 6")},
        BadFileCase{"RowsOfEightEndMidRow", "131 7", "131 8",
                    file_error("6501", "READ(prices.txt)",
                               "end of file encountered: row 66 of 131, value 8")}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Date keys that do not fit 32 bits are never selected by a range.

TEST(DateKey, HugeYearsNeverSelected) {
  const std::string base = alternating_file(131);
  const std::string body = base.substr(base.find('\n') + 1);
  const std::string text =
      "134 7\n1e12 1 2 0 0 125 2\n" + body + "-1e12 1 2 0 0 100 2\n3000000 1 1 0 0 100 2\n";
  for (const std::string range : {"-2147483647\n2147483647\n", "-2147483647\n0\n", "0\n0\n"}) {
    SCOPED_TRACE(range);
    const auto r = run_prices(text, range + "1\n2\n0\n0\n0\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, normal_transcript(true, 22));
    EXPECT_EQ(r.elab, std::optional<std::string>(alternating_dat(131, 1, 0)));
  }
}

TEST(DateKey, TwoDigitYearsNeedNegativeBounds) {
  std::string text = alternating_file(131);
  // 1995 -> 95: every key is negative
  std::string two;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t e = text.find('\n', pos);
    std::string line = text.substr(pos, e - pos);
    if (line.rfind("1995 ", 0) == 0) line = line.substr(2);
    two += line + "\n";
    pos = e + 1;
  }
  const auto none = run_prices(two, "0\n0\n");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, joined({kDateFrom, kDateTo}) +
                          kCrLf + kTooFewRows + kCrLf);
  const auto all = run_prices(two, "-1\n1\n2\n0\n0\n0\n");
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.elab, std::optional<std::string>(alternating_dat(131, 1, 0)));
  const auto neg = run_prices(two, "-18050000\n-1\n1\n2\n0\n0\n0\n");
  EXPECT_EQ(neg.status, 0);
  EXPECT_EQ(neg.out, normal_transcript(true, 22));
  EXPECT_EQ(neg.elab, std::optional<std::string>(alternating_dat(131, 1, 0)));
}

TEST(DateKey, FractionalDayTruncates) {
  std::string text = alternating_file(131);
  // 3 January 1995 written as day 3.9; the range starting on the 3rd keeps it
  const std::size_t at = text.find("1995 1 3 ");
  text.replace(at, 9, "1995 1 3.9 ");
  const auto r = run_prices(text, "950103\n0\n1\n2\n0\n0\n0\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, normal_transcript(true, 21));
}

// ---------------------------------------------------------------------------
// A long random walk.

constexpr int kDays = 3000;  // business days from 2 January 1995 into 2006

struct Field {
  bool stars = false;
  double value = 0;
};

// Parses one F8.4 field, checking its form: blanks, an optional minus, digits
// only when the magnitude is 1 or more, the point and four digits.
::testing::AssertionResult parse_f84(const std::string& text, Field& f) {
  if (text.size() != 8) return ::testing::AssertionFailure() << "width of '" << text << "'";
  if (text == "********") {
    f.stars = true;
    return ::testing::AssertionSuccess();
  }
  std::size_t i = 0;
  while (i < 8 && text[i] == ' ') ++i;
  std::size_t j = i;
  if (j < 8 && text[j] == '-') ++j;
  const std::size_t digits_at = j;
  while (j < 8 && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
  if (j + 5 != 8 || text[j] != '.') return ::testing::AssertionFailure() << "form of '" << text << "'";
  for (std::size_t k = j + 1; k < 8; ++k) {
    if (!std::isdigit(static_cast<unsigned char>(text[k]))) {
      return ::testing::AssertionFailure() << "decimals of '" << text << "'";
    }
  }
  if (j > digits_at && text[digits_at] == '0') {
    return ::testing::AssertionFailure() << "leading zero in '" << text << "'";
  }
  f.value = std::strtod(text.c_str() + i, nullptr);
  if (text.substr(i) == "-.0000") return ::testing::AssertionFailure() << "negative zero";
  return ::testing::AssertionSuccess();
}

struct Parsed {
  std::string day_part;          // indicator fields
  std::string sign;              // VSEGNO field
  std::vector<Field> values;     // DESM, MOME, RMM, MAXMIN, 5 changes, PREV
};

::testing::AssertionResult parse_record(const std::string& rec, int igio, Parsed& p) {
  const std::size_t width = igio == -1 ? 109 : 96;
  if (rec.size() != width) return ::testing::AssertionFailure() << "length " << rec.size();
  std::size_t at = 0;
  if (igio == -1) {
    p.day_part = rec.substr(0, 15);
    if (rec.substr(15, 2) != "  ") return ::testing::AssertionFailure() << "2X";
    p.sign = rec.substr(17, 2);
    at = 19;
  } else if (igio == 0) {
    if (rec[0] != ' ' || rec[3] != ' ') return ::testing::AssertionFailure() << "1X";
    p.day_part = rec.substr(1, 2);
    p.sign = rec.substr(4, 2);
    at = 6;
  } else {
    if (rec.substr(0, 4) != "    ") return ::testing::AssertionFailure() << "4 blanks";
    p.sign = rec.substr(4, 2);
    at = 6;
  }
  if (p.sign != "0." && p.sign != "1.") return ::testing::AssertionFailure() << "sign " << p.sign;
  p.values.clear();
  for (int k = 0; k < 10; ++k, at += 9) {
    if (rec[at] != ' ') return ::testing::AssertionFailure() << "blank before field " << k;
    Field f;
    auto ok = parse_f84(rec.substr(at + 1, 8), f);
    if (!ok) return ok;
    p.values.push_back(f);
  }
  return ::testing::AssertionSuccess();
}

std::string count_from(const std::string& out) {
  const std::string key = "Record scritti: ";
  const std::size_t at = out.find(key);
  if (at == std::string::npos) return "";
  return out.substr(at + key.size(), 5);
}

std::string i5(int n) {
  std::string s = std::to_string(n);
  return std::string(5 - s.size(), ' ') + s;
}

// Rounded by the F8.4 rule, two values may differ by one unit of the last place.
void expect_near4(const Field& f, double expected, const char* what, int row) {
  EXPECT_FALSE(f.stars) << what << " row " << row;
  EXPECT_NEAR(f.value, expected, 0.00011) << what << " row " << row;
}

class RandomWalk : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    rows_ = new std::vector<PriceRow>(random_walk(20240601, kDays));
    text_ = new std::string(format_prices(*rows_));
  }
  static void TearDownTestSuite() {
    delete rows_;
    delete text_;
  }
  static double close(int i) { return static_cast<float>((*rows_)[static_cast<std::size_t>(i - 1)].close); }
  static int code(int i) { return (*rows_)[static_cast<std::size_t>(i - 1)].code; }
  static double pct(int a, int b) { return (close(b) - close(a)) * 100.0 / close(a); }

  static std::vector<PriceRow>* rows_;
  static std::string* text_;
};

std::vector<PriceRow>* RandomWalk::rows_ = nullptr;
std::string* RandomWalk::text_ = nullptr;

TEST_F(RandomWalk, AllRowsEveryValueAgreesWithThePrices) {
  const auto r = run_prices(*text_, "-1\n1\n2\n0\n0\n0\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const int n = kDays - 109;
  EXPECT_EQ(r.out, normal_transcript(false, n));
  ASSERT_TRUE(r.elab.has_value());
  bool ok = false;
  const auto recs = split_records(*r.elab, ok);
  EXPECT_TRUE(ok);
  ASSERT_EQ(static_cast<int>(recs.size()), n);
  for (int k = 0; k < n; ++k) {
    const int i = 90 + k;
    Parsed p;
    ASSERT_TRUE(parse_record(recs[static_cast<std::size_t>(k)], 0, p)) << "record " << k;
    EXPECT_EQ(p.day_part, code(i) == 2 ? "1." : "0.") << i;
    EXPECT_EQ(p.sign, pct(i - 1, i) >= 0 ? "1." : "0.") << i;
    double s = 0, s2 = 0;
    for (int l = 0; l < 20; ++l) {
      s += pct(i - l - 1, i - l);
      s2 += pct(i - l - 1, i - l) * pct(i - l - 1, i - l);
    }
    expect_near4(p.values[0], std::sqrt(s2 / 20 - (s / 20) * (s / 20)), "DESM", i);
    expect_near4(p.values[1], close(i) / close(i - 10), "MOME", i);
    double m90 = 0, m5 = 0, lo = 1e6, hi = 0;
    for (int j = 0; j < 90; ++j) m90 += close(i - j);
    for (int j = 0; j < 5; ++j) m5 += close(i - j);
    for (int j = 0; j < 30; ++j) {
      lo = std::min(lo, close(i - j));
      hi = std::max(hi, close(i - j));
    }
    expect_near4(p.values[2], (m5 / 5) / (m90 / 90), "RMM", i);
    expect_near4(p.values[3], (close(i) - lo) / (hi - lo), "MAXMIN", i);
    for (int l = 4; l >= 0; --l) expect_near4(p.values[static_cast<std::size_t>(8 - l)], pct(i - l - 1, i - l), "VPERC", i);
    expect_near4(p.values[9], pct(i, i + 1), "PREV", i);
    // the output of one day is the change of the next: the same stored value
    if (k + 1 < n) {
      Parsed next;
      ASSERT_TRUE(parse_record(recs[static_cast<std::size_t>(k + 1)], 0, next));
      EXPECT_EQ(p.values[9].value, next.values[8].value) << i;
      for (int l = 0; l < 4; ++l) {
        EXPECT_EQ(p.values[static_cast<std::size_t>(5 + l)].value,
                  next.values[static_cast<std::size_t>(4 + l)].value) << i;
      }
    }
    if (HasFailure()) break;
  }
}

struct WalkCase {
  const char* name;
  std::string answers;
  int igio;
  int ivar;
  // selected rows by date key (year - 1900) * 10000 + month * 100 + day
  long from, to;
  bool screened;
};

class RandomWalkRuns : public RandomWalk, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(RandomWalkRuns, Structure) {
  const auto& c = GetParam();
  const auto r = run_prices(*text_, c.answers);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(expect_same_with_options(*text_, c.answers, r));
  EXPECT_EQ(r.err, "");
  // selected rows and the window
  std::vector<int> selected;
  for (int i = 1; i <= kDays; ++i) {
    const auto& row = (*rows_)[static_cast<std::size_t>(i - 1)];
    const long key = (row.year - 1900L) * 10000 + row.month * 100 + row.day;
    if (c.from <= key && key <= c.to) selected.push_back(i);
  }
  const int nrr = static_cast<int>(selected.size());
  ASSERT_GE(nrr, 110);
  int possible = 0;
  for (int w = 90; w <= nrr - 20; ++w) {
    if (c.igio <= 0 || code(selected[static_cast<std::size_t>(w - 1)]) == c.igio) ++possible;
  }
  ASSERT_TRUE(r.elab.has_value());
  bool ok = false;
  const auto recs = split_records(*r.elab, ok);
  EXPECT_TRUE(ok);
  const int n = static_cast<int>(recs.size());
  EXPECT_EQ(count_from(r.out), i5(n));
  EXPECT_TRUE(r.out.ends_with(count_line(n) + kNormalEnd));
  if (c.screened) {
    EXPECT_LT(n, possible);
    EXPECT_GT(n, possible / 2);
  } else {
    EXPECT_EQ(n, possible);
  }
  for (const auto& rec : recs) {
    Parsed p;
    ASSERT_TRUE(parse_record(rec, c.igio, p)) << rec;
    if (c.igio == -1) {
      int ones = 0;
      for (int k = 0; k < 5; ++k) {
        const std::string f = p.day_part.substr(static_cast<std::size_t>(3 * k), 3);
        ASSERT_TRUE(f == " 0." || f == " 1.") << rec;
        ones += f == " 1.";
      }
      EXPECT_EQ(ones, 1) << rec;
    }
    if (c.ivar >= 5 && c.ivar <= 8) {
      EXPECT_TRUE(p.values[9].value == 0.0 || p.values[9].value == 1.0) << rec;
    }
    EXPECT_GE(p.values[0].value, 0.0);
    EXPECT_GT(p.values[1].value, 0.0);
    EXPECT_GE(p.values[3].value, 0.0);
    EXPECT_LE(p.values[3].value, 1.0);
    for (const auto& f : p.values) EXPECT_FALSE(f.stars) << rec;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RandomWalkRuns,
    ::testing::Values(
        WalkCase{"AllDummies", "-1\n11\n2\n0\n0\n-1\n", -1, 11, -2147483647L, 2147483647L, false},
        WalkCase{"Nineties", "0\n1000000\n5\n2\n0\n0\n0\n", 0, 5, 0, 1000000, false},
        // Mend: the answer 0 for the end takes the rows of 2000 and later too.
        WalkCase{"ZeroEndIsTheEndOfTheData", "0\n0\n5\n2\n0\n0\n0\n", 0, 5, 0, 2147483647L, false},
        WalkCase{"ZeroEndIsTheEndOfTheDataFrom2000", "1000101\n0\n10\n2\n0\n0\n6\n", 6, 10,
                 1000101, 2147483647L, false},
        WalkCase{"Year1995", "950101\n951231\n2\n2\n0\n0\n3\n", 3, 2, 950101, 951231, false},
        WalkCase{"From2000", "1000101\n1051231\n10\n2\n0\n0\n6\n", 6, 10, 1000101, 1051231, false},
        WalkCase{"ScreenOutput", "-1\n4\n2\n1\n0\n0\n", 0, 4, -2147483647L, 2147483647L, true},
        WalkCase{"ScreenInput", "-1\n8\n2\n0\n1\n2\n", 2, 8, -2147483647L, 2147483647L, true},
        WalkCase{"ScreenBoth", "960315\n1000000\n9\n3\n1\n1\n-1\n", -1, 9, 960315, 1000000, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RandomWalk, DateOrderAcrossTheCentury) {
  // 1000000 is the end of 1999, before any day of 2000
  const auto r = run_prices(*text_, "1000101\n1000000\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, joined({kDateFrom, kDateTo}) + kCrLf + kDateOrder + kCrLf);
  EXPECT_FALSE(r.elab.has_value());  // a failed run makes no file
}

TEST_F(RandomWalk, CrLfFileGivesSameTrainingFile) {
  const std::string answers = "-1\n6\n1.5\n1\n1\n-1\n";
  const auto lf = run_prices(*text_, answers);
  const auto crlf = run_prices(to_crlf(*text_), answers);
  ASSERT_EQ(lf.status, 0);
  EXPECT_EQ(crlf.status, 0);
  EXPECT_EQ(crlf.out, lf.out);
  EXPECT_EQ(crlf.elab, lf.elab);
}

// Mend: a count above 99,999 is shown in full, not as asterisks. The file
// fills the program's file buffer ten times over: the run on one thread
// gives the same bytes.
TEST(Count, AboveFiveDigitsShownInFull) {
  const int days = 100115;
  const std::string prices = format_prices(random_walk(99, days));
  const auto r = run_prices(prices, "-1\n1\n2\n0\n0\n0\n");
  {
    const ThreadsAsked one("1");
    const auto serial = run_prices(prices, "-1\n1\n2\n0\n0\n0\n");
    EXPECT_EQ(serial.status, r.status);
    EXPECT_EQ(serial.out, r.out);
    EXPECT_EQ(serial.err, r.err);
    EXPECT_TRUE(serial.elab == r.elab);  // not printed: megabytes
  }
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.out.ends_with(kWeekday + "\r\nRecord scritti: 100006" + kNormalEnd));
  ASSERT_TRUE(r.elab.has_value());
  bool ok = false;
  const auto recs = split_records(*r.elab, ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(static_cast<int>(recs.size()), days - 109);
  for (const auto& rec : recs) {
    ASSERT_EQ(rec.size(), 96u);
  }
}

}  // namespace
