// The CSV price reader: the header's separator and columns, quoting, line
// ends, decimal commas, dates, closes left out, the date order and two days
// of one date. Each case gives what the reader makes of a text, in short.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "numtext/csv_text.hpp"
#include "core/price_days.hpp"

namespace {

using numtext::CsvFailure;

// "2024-01-02=1.5@2 ..." for the days in date order, then "left out N@L";
// or the failure.
std::string outcome(const std::string& text, const std::string& close = "Close") {
  try {
    numtext::CsvDays read = numtext::read_csv_days(text, close);
    prep::order_by_date(read.days);
    std::string s;
    for (const auto& d : read.days) {
      s += std::to_string(d.date.year) + "-" + std::to_string(d.date.month) + "-" + std::to_string(d.date.day) +
           "=" + std::to_string(d.close).substr(0, std::to_string(d.close).find_last_not_of('0') + 1) + "@" +
           std::to_string(d.line) + " ";
    }
    if (read.left_out > 0) s += "left out " + std::to_string(read.left_out) + "@" + std::to_string(read.first_left_out);
    return s;
  } catch (const CsvFailure& f) {
    return "line " + std::to_string(f.line) + (f.field.empty() ? "" : " " + f.field) + ": " + f.message;
  } catch (const prep::SameDate& d) {
    return "same date on lines " + std::to_string(d.first_line) + " and " + std::to_string(d.second_line);
  }
}

struct CsvCase {
  const char* name;
  std::string text;
  std::string expected;
  std::string close = "Close";
};

class CsvText : public ::testing::TestWithParam<CsvCase> {};

TEST_P(CsvText, Reads) {
  const auto& c = GetParam();
  EXPECT_EQ(outcome(c.text, c.close), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvText,
    ::testing::Values(
        CsvCase{"Plain", "Date,Close\n2024-01-02,1.5\n2024-01-03,2\n", "2024-1-2=1.5@2 2024-1-3=2.@3 "},
        CsvCase{"ByteOrderMarkAndCrLf", "\xEF\xBB\xBF" "Date,Close\r\n2024-01-02,1.5\r\n", "2024-1-2=1.5@2 "},
        CsvCase{"EmptyLinesAtTheEnd", "Date,Close\n2024-01-02,1.5\n\n\r\n\n", "2024-1-2=1.5@2 "},
        CsvCase{"NoLineEndAtTheEnd", "Date,Close\n2024-01-02,1.5", "2024-1-2=1.5@2 "},
        CsvCase{"HeaderAnyCaseAndBlanks", " DATE ;close\n2024-01-02;7\n", "2024-1-2=7.@2 "},
        CsvCase{"SemicolonDecimalComma", "Date;Open;Close\n2024-01-02;1,25;2,5\n", "2024-1-2=2.5@2 "},
        CsvCase{"TabDecimalComma", "Date\tClose\n2024/01/02\t2,5\n", "2024-1-2=2.5@2 "},
        CsvCase{"CommaSeparatorQuotedDecimalComma", "Date,Close\n2024-01-02,\"2,5\"\n",
                "line 2 Close: invalid real value: \"2,5\""},
        CsvCase{"QuotedFieldsWithSeparatorQuoteAndLineEnd",
                "Name,Date,Close\n\"a, \"\"b\"\"\nc\",\"20240102\",\"3\"\n2024-01-03,2024-01-03,4\n",
                "2024-1-2=3.@2 2024-1-3=4.@4 "},
        CsvCase{"QuoteLeftOpen", "Date,Close\n2024-01-02,\"3\n", "line 2: a quote is not closed"},
        CsvCase{"TextAfterClosingQuote", "Date,Close\n2024-01-02,\"3\"x\n", "line 2: text after a closing quote"},
        CsvCase{"FieldTooFew", "Date,Open,Close\n2024-01-02,3\n", "line 2: 2 fields, the header has 3"},
        CsvCase{"FieldTooMany", "Date,Close\n2024-01-02,3,5\n", "line 2: 3 fields, the header has 2"},
        CsvCase{"NullCloses", "Date,Close\n2024-01-02,null\n2024-01-03, \n2024-01-04,NaN\n2024-01-05,N/A\n2024-01-08,1\n",
                "2024-1-8=1.@6 left out 4@2"},
        CsvCase{"NewestFirst", "Date,Close\n2024-01-03,2\n2024-01-02,1\n", "2024-1-2=1.@3 2024-1-3=2.@2 "},
        CsvCase{"AnyOrder", "Date,Close\n2024-01-03,3\n2023-12-29,1\n2024-01-02,2\n",
                "2023-12-29=1.@3 2024-1-2=2.@4 2024-1-3=3.@2 "},
        CsvCase{"SameDateTwice", "Date,Close\n2024-01-02,1\n2024-01-03,1\n2024-01-02,2\n",
                "same date on lines 2 and 4"},
        CsvCase{"LeapDay", "Date,Close\n2024-02-29,1\n", "2024-2-29=1.@2 "},
        CsvCase{"ImpossibleDate", "Date,Close\n2023-02-29,1\n", "line 2 Date: no such day: \"2023-02-29\""},
        CsvCase{"MalformedDate", "Date,Close\n2.1.2024,1\n", "line 2 Date: not a date YYYY-MM-DD: \"2.1.2024\""},
        CsvCase{"MixedDateSeparators", "Date,Close\n2024-01/02,1\n",
                "line 2 Date: not a date YYYY-MM-DD: \"2024-01/02\""},
        CsvCase{"BadClose", "Date,Close\n2024-01-02,1.2.3\n", "line 2 Close: invalid real value: \"1.2.3\""},
        CsvCase{"CloseBeyondSingle", "Date,Close\n2024-01-02,1e39\n",
                "line 2 Close: real value out of single precision range: \"1e39\""},
        CsvCase{"NoCloseColumn", "Date,Open\n2024-01-02,1\n", "line 1: no column \"Close\""},
        CsvCase{"NoDateColumn", "Day,Close\n2024-01-02,1\n", "line 1: no column \"Date\""},
        CsvCase{"AnotherClose", "Date,Close,Adj Close\n2024-01-02,1,0.5\n", "2024-1-2=0.5@2 ", "adj close"}),
    [](const auto& info) { return std::string(info.param.name); });

// The program's own format never begins with a CSV header.
TEST(CsvHeader, OnlyAHeaderNamingDateOrCloseIsOne) {
  EXPECT_FALSE(numtext::csv_header("400 7", "Close"));
  EXPECT_FALSE(numtext::csv_header("400,7", "Close"));
  EXPECT_FALSE(numtext::csv_header("", "Close"));
  EXPECT_FALSE(numtext::csv_header("Day,Price", "Close"));
  const auto semicolons = numtext::csv_header("Date;Open;Close", "Close");
  ASSERT_TRUE(semicolons);
  EXPECT_EQ(semicolons->separator, ';');
  EXPECT_EQ(semicolons->close, 2u);
}

// Closes of a table go through the same single rounding to float.
TEST(TableDays, SameMatrixAsTheCsv) {
  const numtext::CivilDate dates[] = {{2024, 1, 3}, {2024, 1, 2}, {2024, 1, 4}};
  const double closes[] = {0.1, 1e-3, std::nan("")};
  auto days = prep::table_days(dates, closes);
  prep::order_by_date(days);
  auto csv = numtext::read_csv_days("Date,Close\n2024-01-03,0.1\n2024-01-02,1e-3\n", "Close").days;
  prep::order_by_date(csv);
  ASSERT_EQ(days.size(), 2u);
  float from_table[14] = {}, from_csv[14] = {};
  prep::fill_price_rows(days, prep::Matrix{from_table, 2});
  prep::fill_price_rows(csv, prep::Matrix{from_csv, 2});
  EXPECT_EQ(std::vector<float>(from_table, from_table + 14), std::vector<float>(from_csv, from_csv + 14));
  // 2024-01-02 is a Tuesday: code 3; 2024-01-03 a Wednesday: 4
  EXPECT_EQ(from_csv[12], 3.0f);
  EXPECT_EQ(from_csv[13], 4.0f);
}

}  // namespace
