// The CSV price reader: the header's separator and columns, quoting, line
// ends, decimal commas, dates, closes left out, the date order and two days
// of one date. Each case gives what the reader makes of a text, in short.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "numtext/number_style.hpp"
#include "numtext/real_text.hpp"
#include "numtext/text_failure.hpp"
#include "numtext/vendor_table.hpp"
#include "core/price_days.hpp"
#include "elab/prepare.hpp"

namespace {

using numtext::CsvFailure;

// "2024-01-02=1.5@2 ..." for the days in date order, then "left out N@L";
// or the failure.
std::string outcome(const std::string& text, const std::string& close = "", const std::string& symbol = "",
                    elab::Spelling spelling = elab::Spelling::command_line) {
  try {
    numtext::TableChoice choice;
    choice.spelling = spelling;
    if (!close.empty()) choice.close = close;
    if (!symbol.empty()) choice.symbol = symbol;
    numtext::CsvDays read = numtext::read_table_days(numtext::utf8_text(text), choice);
    elab::order_by_date(read.days);
    std::string s;
    for (const auto& d : read.days) {
      s += std::to_string(d.date.year) + "-" + std::to_string(d.date.month) + "-" + std::to_string(d.date.day) +
           "=" + std::to_string(d.close).substr(0, std::to_string(d.close).find_last_not_of('0') + 1) + "@" +
           std::to_string(d.line) + " ";
    }
    if (read.left_out > 0) s += "left out " + std::to_string(read.left_out) + "@" + std::to_string(read.first_left_out);
    return s;
  } catch (const CsvFailure& f) {
    return (f.line > 0 ? "line " + std::to_string(f.line) : std::string("file")) + (f.field.empty() ? "" : " " + f.field) + ": " + f.message;
  } catch (const elab::SameDate& d) {
    return "same date on lines " + std::to_string(d.first_line) + " and " + std::to_string(d.second_line);
  }
}

// The days of one symbol read from the whole file, as series_days shows
// them, or the failure's message.
std::string whole_file_read(const std::string& text, const std::string& symbol) {
  try {
    numtext::TableChoice choice;
    choice.symbol = symbol;
    const numtext::CsvDays days = numtext::read_table_days(numtext::utf8_text(text), choice);
    std::string s;
    for (const auto& d : days.days) s += numtext::iso_text(d.date) + "@" + std::to_string(d.line) + " ";
    return s + "left out " + std::to_string(days.left_out);
  } catch (const CsvFailure& f) {
    return f.message;
  }
}

struct CsvCase {
  const char* name;
  std::string text;
  std::string expected;
  std::string close = "";
  std::string symbol = "";
  elab::Spelling spelling = elab::Spelling::command_line;  // of the way out a refusal names
};

class CsvText : public ::testing::TestWithParam<CsvCase> {};

TEST_P(CsvText, Reads) {
  const auto& c = GetParam();
  EXPECT_EQ(outcome(c.text, c.close, c.symbol, c.spelling), c.expected);
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
        CsvCase{"CommaSeparatorQuotedDecimalComma", "Date,Close\n2024-01-02,\"2,5\"\n", "2024-1-2=2.5@2 "},
        CsvCase{"QuotedFieldsWithSeparatorQuoteAndLineEnd",
                "Note,Date,Close\n\"a, \"\"b\"\"\nc\",\"20240102\",\"3\"\n2024-01-03,20240103,4\n",
                "2024-1-2=3.@2 2024-1-3=4.@4 "},
        CsvCase{"QuoteLeftOpen", "Date,Close\n2024-01-02,\"3\n", "line 2: a quote is not closed"},
        CsvCase{"TextAfterClosingQuote", "Date,Close\n2024-01-02,\"3\"x\n", "line 2: text after a closing quote"},
        CsvCase{"FieldTooFew", "Date,Open,Close\n2024-01-02,3\n", "line 2: 2 fields, the header has 3: the last line, the file looks cut short"},
        CsvCase{"FooterAfterTheRows", "Date;Close\n2024-01-02;1\n\nDownloaded on 2024-01-03\nTerms apply\n",
                "2024-1-2=1.@2 "},
        CsvCase{"RowAfterAFooterLine", "Date,Close\n2024-01-02,1\nNote\n2024-01-03,2\n",
                "line 3: 1 fields, the header has 2"},
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
        CsvCase{"OrderNeverSettled", "Date,Close\n2.1.2024,1\n",
                "file Date: every date reads as DD.MM.YYYY or MM.DD.YYYY alike: give --date-order=dmy or --date-order=mdy"},
        CsvCase{"MalformedDate", "Date,Close\n2.1.x,1\n", "line 2 Date: not a date: \"2.1.x\""},
        CsvCase{"MixedDateSeparators", "Date,Close\n2024-01/02,1\n",
                "line 2 Date: not a date: \"2024-01/02\""},
        CsvCase{"BadClose", "Date,Close\n2024-01-02,1.2.3\n", "line 2 Close: invalid real value: \"1.2.3\""},
        CsvCase{"CloseBeyondSingle", "Date,Close\n2024-01-02,1e39\n",
                "line 2 Close: real value out of single precision range: \"1e39\""},
        CsvCase{"NoCloseColumn", "Date,Open\n2024-01-02,1\n",
                "line 1: no close column among \"Date\", \"Open\": name it with --close=NAME or by its number, --close=2"},
        CsvCase{"NoDateColumn", "When,Close\n2024-01-02,1\n",
                "line 1: no date column among \"When\", \"Close\": name it with --date-column=NAME"},
        CsvCase{"NoColumnNamed", "Date,Close\n2024-01-02,1\n", "line 1: no column \"Last\" among \"Date\", \"Close\": name it with --close=NAME or by its number, --close=2", "Last"},
        CsvCase{"NoColumnNamedInPython", "Date,Close\n2024-01-02,1\n",
                "line 1: no column \"Last\" among \"Date\", \"Close\": name it with close=NAME or by its number, close=2",
                "Last", "", elab::Spelling::keyword},
        CsvCase{"NoColumnNamedInAScript", "Date,Close\n2024-01-02,1\n",
                "line 1: no column \"Last\" among \"Date\", \"Close\": name it with close: \"NAME\" or by its number, close: 2",
                "Last", "", elab::Spelling::property},
        CsvCase{"OrderNeverSettledInAScript", "Date,Close\n2.1.2024,1\n",
                "file Date: every date reads as DD.MM.YYYY or MM.DD.YYYY alike: give date_order: \"dmy\" or date_order: \"mdy\"",
                "", "", elab::Spelling::property},
        // a name given back as a script would write it, quotes and controls escaped
        CsvCase{"SymbolWithoutAColumnInAScript", "Date,Close\n2024-01-02,1\n",
                "file: symbol: \"a\\\"b\\\\\\t\\u0001\" needs a column of symbols (Symbol, Ticker, Name, Code, Instrument or ISIN)",
                "", "a\"b\\\t\x01", elab::Spelling::property},
        CsvCase{"CloseByNumber", "Date,Open,Settle\n2024-01-02,1,2\n", "2024-1-2=2.@2 ", "3"},
        CsvCase{"TitleLinesBeforeTheHeader", "Kursdaten\nISIN;DE0001\n\nDatum;Er\xC3\xB6""ffnung;Schlusskurs\n02.01.2024;1;2\n15.01.2024;1;3\n",
                "2024-1-2=2.@5 2024-1-15=3.@6 "},
        CsvCase{"Windows1252AndAngleBrackets", "<DATE>;<CL\xD4TURE>\n20240102;1,5\n", "2024-1-2=1.5@2 "},
        CsvCase{"Utf16LittleEndian", std::string("\xFF\xFE" "D\0a\0y\0,\0L\0a\0s\0t\0\r\0\n\0" "2\0" "0\0" "2\0" "4\0" "0\0" "1\0" "0\0" "2\0,\0" "7\0", 42),
                "2024-1-2=7.@2 "},
        CsvCase{"Utf16BigEndian", std::string("\xFE\xFF" "\0D\0a\0t\0e\0;\0P\0r\0i\0c\0e\0\n" "\0" "8\0.\0" "1\0.\0" "2\0" "0\0" "2\0" "4\0;\0" "7", 44),
                "file Date: every date reads as DD.MM.YYYY or MM.DD.YYYY alike: give --date-order=dmy or --date-order=mdy"},
        CsvCase{"CrOnlyLineEnds", "Date,Close\r2024-01-02,1\r2024-01-03,2\r", "2024-1-2=1.@2 2024-1-3=2.@3 "},
        CsvCase{"IndexWithoutAName", ",Open,Close\n2024-01-02,1,2\n", "2024-1-2=2.@2 "},
        CsvCase{"FieldAndTickerRows", "Price,Close,Close\nTicker,A,B\nDate,,\n2024-01-02,1,2\n",
                "line 2: 2 series in row \"Ticker\": \"A\", \"B\"; choose one with --symbol=VALUE"},
        CsvCase{"FieldAndTickerRowsChosen", "Price,Close,Close\nTicker,A,B\nDate,,\n2024-01-02,1,2\n", "2024-1-2=2.@4 ",
                "", "B"},
        CsvCase{"FieldRowAndIndexName", "Price,High,Close\nDate,,\n2024-01-02,1,2\n", "2024-1-2=2.@3 "},
        CsvCase{"PreferredCloseOfMany", "Date,Last,Adj Close,Close\n2024-01-02,1,2,3\n", "2024-1-2=3.@2 "},
        CsvCase{"TimeOnlyWithoutDate", "Time,Price\n2024-01-02T16:00:00Z,1\n", "2024-1-2=1.@2 "},
        CsvCase{"MonthFirstSettledLater", "Date,Close/Last\n01/02/2024,$1\n01/13/2024,$2\n", "2024-1-2=1.@2 2024-1-13=2.@3 "},
        CsvCase{"TwelveFirstSettlesNothing", "Date,Close\n12/01/2024,1\n",
                "file Date: every date reads as DD/MM/YYYY or MM/DD/YYYY alike: give --date-order=dmy or --date-order=mdy"},
        CsvCase{"DayFirstSettledLater", "Data;Chiusura\n01/02/2024;1\n13/02/2024;2\n", "2024-2-1=1.@2 2024-2-13=2.@3 "},
        CsvCase{"OrderContradicted", "Date;Close\n13.01.2024;1\n01.13.2024;2\n",
                "line 3 Date: the month comes first, on line 2 the day: give --date-order=dmy or --date-order=mdy"},
        CsvCase{"FormChanges", "Date,Close\n2024-01-02,1\n01/03/2024,2\n",
                "line 3 Date: not a date of the form YYYY-MM-DD: \"01/03/2024\""},
        CsvCase{"MonthNamesAndTimes", "Date,Price\n\"Jan 02, 2024\",1\n\"January 3, 2024 16:00\",2\n",
                "2024-1-2=1.@2 2024-1-3=2.@3 "},
        CsvCase{"DayMonthNameYear", "Date,Close\n02-Jan-2024,1\n3-Jan-2024,2\n", "2024-1-2=1.@2 2024-1-3=2.@3 "},
        CsvCase{"OffsetGivesTheDateAsWritten", "Date,Close\n2024-01-02 00:00:00-05:00,1\n2024-01-03T23:30:00+09:00,2\n",
                "2024-1-2=1.@2 2024-1-3=2.@3 "},
        CsvCase{"ThousandsAndCurrencies", "Date,Close\n2024-01-02,\"1,198.75\"\n2024-01-03,$273.25\n2024-01-04,EUR 2.5\n",
                "2024-1-2=1198.75@2 2024-1-3=273.25@3 2024-1-4=2.5@4 "},
        CsvCase{"GermanThousands", "Datum;Schluss\n2024-01-02;1.785,50\n2024-01-03;1.785\n2024-01-04;273,25 \xE2\x82\xAC\n",
                "2024-1-2=1785.5@2 2024-1-3=1785.@3 2024-1-4=273.25@4 "},
        CsvCase{"BlankAndApostropheThousands", "Date;Close\n2024-01-02;1 785,25\n2024-01-03;1'785,5\n",
                "2024-1-2=1785.25@2 2024-1-3=1785.5@3 "},
        CsvCase{"DecimalCommaInACommaFile", "Date,Close\n2024-01-02,\"1,5\"\n2024-01-03,\"1,250\"\n",
                "2024-1-2=1.5@2 2024-1-3=1.25@3 "},
        CsvCase{"ThousandsCommaNeverSettled", "Date,Close\n2024-01-02,\"1,198\"\n", "line 2 Close: \"1,198\" has a comma before three digits, and no other value of the column tells a thousands comma from a decimal comma"},
        CsvCase{"MarksDisagree", "Date,Close\n2024-01-02,1.5\n2024-01-03,\"1,5\"\n",
                "line 3 Close: the decimal mark is not the one of the column's other values: \"1,5\""},
        CsvCase{"ThousandsNotInThrees", "Date,Close\n2024-01-02,\"1,19.5\"\n", "line 2 Close: invalid real value: \"1,19.5\""},
        CsvCase{"ThousandsGroupOfFour", "Date,Close\n2024-01-02,\"1,1985.50\"\n", "line 2 Close: invalid real value: \"1,1985.50\""},
        // one value of each mark: no majority decides, the second is refused
        CsvCase{"MarksTied", "Date;Close\n2024-01-02;1,5\n2024-01-03;1.5\n",
                "line 3 Close: the decimal mark is not the one of the column's other values: \"1.5\""},
        CsvCase{"SeveralSymbols", "Symbol,Date,Close\nA,2024-01-02,1\nB,2024-01-02,2\nA,2024-01-03,3\n",
                "file: 2 series in column \"Symbol\": \"A\", \"B\"; choose one with --symbol=VALUE"},
        CsvCase{"SymbolChosen", "Symbol,Date,Close\nA,2024-01-02,1\nB,2024-01-02,2\nA,2024-01-03,3\n",
                "2024-1-2=1.@2 2024-1-3=3.@4 ", "", "A"},
        CsvCase{"SymbolNotThere", "Ticker,Date,Close\nA,2024-01-02,1\n",
                "file: no rows of \"Z\"; 1 series in column \"Ticker\": \"A\"; choose one with --symbol=VALUE", "", "Z"},
        CsvCase{"OneSymbolNeedsNoChoice", "<TICKER>,<DATE>,<TIME>,<CLOSE>\nA,20240102,000000,1\n", "2024-1-2=1.@2 "},
        CsvCase{"FirstLayoutThenAShorterOne", "Date,Close\n2024-01-02,1\n2024-1-3,2\n", "2024-1-2=1.@2 2024-1-3=2.@3 "},
        CsvCase{"FirstLayoutThenAnotherSeparator", "Date,Close\n2024-01-02,1\n2024/01/03,2\n",
                "line 3 Date: not a date of the form YYYY-MM-DD: \"2024/01/03\""},
        CsvCase{"CompactLayout", "Date,Close\n20240102,1\n20240103,2\n", "2024-1-2=1.@2 2024-1-3=2.@3 "},
        CsvCase{"AnotherClose", "Date,Close,Adj Close\n2024-01-02,1,0.5\n", "2024-1-2=0.5@2 ", "adj close"}),
    [](const auto& info) { return std::string(info.param.name); });

// Number styles: what a value shows of its decimal mark, and its value
// read with the column's mark; refused ones give the reader's failure.
struct StyleCase {
  const char* text;
  numtext::DecimalMark shown;
  numtext::DecimalMark column;
  std::string value;  // as std::to_string writes it, or the failure number
};

class NumberStyle : public ::testing::TestWithParam<StyleCase> {};

TEST_P(NumberStyle, ShowsAndReads) {
  const auto& c = GetParam();
  const std::string_view number = numtext::without_currency(c.text);
  EXPECT_EQ(numtext::mark_shown(number), c.shown);
  std::string value;
  try {
    value = std::to_string(numtext::styled_number(number, c.column));
  } catch (const numtext::IoFailure& f) {
    value = std::to_string(f.number);
  }
  EXPECT_EQ(value, c.value);
}

using numtext::DecimalMark;
INSTANTIATE_TEST_SUITE_P(
    Cases, NumberStyle,
    ::testing::Values(StyleCase{"1,198.75", DecimalMark::point, DecimalMark::point, "1198.750000"},
                      StyleCase{"1.785,50", DecimalMark::comma, DecimalMark::comma, "1785.500000"},
                      StyleCase{"1.198.750", DecimalMark::comma, DecimalMark::comma, "1198750.000000"},
                      StyleCase{"1,198,750", DecimalMark::point, DecimalMark::point, "1198750.000000"},
                      StyleCase{"1,198", DecimalMark::point_or_comma, DecimalMark::comma, "1.198000"},
                      StyleCase{"1,198", DecimalMark::point_or_comma, DecimalMark::point, "1198.000000"},
                      StyleCase{"1.785", DecimalMark::point_or_group, DecimalMark::comma, "1785.000000"},
                      StyleCase{"1.785", DecimalMark::point_or_group, DecimalMark::point, "1.785000"},
                      StyleCase{"$273.25", DecimalMark::point, DecimalMark::point, "273.250000"},
                      StyleCase{"273,25 \xE2\x82\xAC", DecimalMark::comma, DecimalMark::comma, "273.250000"},
                      StyleCase{"EUR 1.785,5", DecimalMark::comma, DecimalMark::comma, "1785.500000"},
                      StyleCase{"CHF 1'785.25", DecimalMark::point, DecimalMark::point, "1785.250000"},
                      StyleCase{"1\xC2\xA0" "785,25", DecimalMark::comma, DecimalMark::comma, "1785.250000"},
                      StyleCase{"-1,5e2", DecimalMark::comma, DecimalMark::comma, "-150.000000"},
                      StyleCase{"1,5", DecimalMark::comma, DecimalMark::point, "6103"},
                      StyleCase{"12,34.5", DecimalMark::point, DecimalMark::point, "6103"},
                      StyleCase{"1,1985.50", DecimalMark::point, DecimalMark::point, "6103"},
                      StyleCase{"1.5,000", DecimalMark::comma, DecimalMark::comma, "6103"},
                      StyleCase{",5", DecimalMark::comma, DecimalMark::comma, "0.500000"},
                      StyleCase{"1e39", DecimalMark::none, DecimalMark::point, "6104"},
                      StyleCase{"12345678", DecimalMark::none, DecimalMark::point, "12345678.000000"},
                      StyleCase{"1234.56", DecimalMark::point, DecimalMark::point, "1234.560059"},
                      StyleCase{"0.1", DecimalMark::point, DecimalMark::point, "0.100000"},
                      StyleCase{"123456.78", DecimalMark::point, DecimalMark::point, "123456.781250"}));

// The plain prices' fast path gives the general reading's float.
TEST(NumberStyle, PlainPricesAsTheGeneralPath) {
  for (std::uint32_t k = 0; k < 2000000; k += 7) {
    for (const int decimals : {0, 2, 4}) {
      std::string text = std::to_string(k);
      if (decimals > 0) text.insert(text.size() > static_cast<std::size_t>(decimals) ? text.size() - decimals : 0, ".");
      if (text.front() == '.') text.insert(0, "0");
      EXPECT_EQ(numtext::styled_number(text, DecimalMark::point),
                numtext::whole_real(text.data(), text.data() + text.size())) << text;
    }
  }
}

// A long file grouped by symbol once gives each series the days a read of
// the whole file with that symbol chosen gives, faults and all.
TEST(SymbolRecords, EachSeriesAsTheWholeFileReadForIt) {
  const std::string texts[] = {
      "Symbol,Date,Close\nA,2024-01-02,1\nB,2024-01-02,2\n A ,2024-01-03,3\nB,2024-01-02,4\nC,2024-01-03,x\n",
      "Ticker;Datum;Schluss\nA;02.01.2024;1,5\nB;13.01.2024;\nA;03.01.2024;2\nB;01.13.2024;1\n\"C\";1.1.24;1\n"};
  for (const std::string& text : texts) {
    const auto grouped = numtext::symbol_records(numtext::utf8_text(text), {});
    ASSERT_TRUE(grouped.has_value());
    for (std::size_t k = 0; k < grouped->series.size(); ++k) {
      const std::string& symbol = grouped->series[k].symbol;
      std::string apart;
      try {
        const numtext::CsvDays days = numtext::series_days(*grouped, k, {});
        for (const auto& d : days.days) apart += numtext::iso_text(d.date) + "@" + std::to_string(d.line) + " ";
        apart += "left out " + std::to_string(days.left_out);
      } catch (const CsvFailure& f) {
        apart = f.message;
      }
      EXPECT_EQ(apart, whole_file_read(text, symbol)) << symbol;
    }
  }
}

// The program's own format is never a table.
TEST(TableStart, OnlyAHeaderOrAFirstLineOfWordsIsOne) {
  const numtext::TableChoice none;
  EXPECT_FALSE(numtext::is_table_start("400 7\n", none));
  EXPECT_FALSE(numtext::is_table_start("\n  400,7\n", none));
  EXPECT_FALSE(numtext::is_table_start("", none));
  EXPECT_FALSE(numtext::is_table_start("x\n", none));
  EXPECT_TRUE(numtext::is_table_start("Day,Price", none));
  EXPECT_TRUE(numtext::is_table_start("Kurse\n\nDatum;Schluss\n", none));
  EXPECT_TRUE(numtext::is_table_start("Foo;Bar\n1;2\n", none));
  EXPECT_TRUE(numtext::is_table_start("\xFF\xFE" "4\0" "0\0", none));
}

// Closes of a table go through the same single rounding to float.
TEST(TableDays, SameMatrixAsTheCsv) {
  const numtext::CivilDate dates[] = {{2024, 1, 3}, {2024, 1, 2}, {2024, 1, 4}};
  const std::optional<float> closes[] = {0.1f, 1e-3f, std::nullopt};
  const std::int64_t lines[] = {1, 2, 3};
  const std::size_t rows[] = {0, 1, 2};
  auto table = elab::table_days(dates, closes, lines, rows);
  EXPECT_EQ(table.left_out, 1);
  auto days = table.days;
  elab::order_by_date(days);
  auto csv = numtext::read_table_days("Date,Close\n2024-01-03,0.1\n2024-01-02,1e-3\n", {}).days;
  elab::order_by_date(csv);
  ASSERT_EQ(days.size(), 2u);
  float from_table[14] = {}, from_csv[14] = {};
  elab::fill_price_rows(days, elab::Matrix{from_table, 2});
  elab::fill_price_rows(csv, elab::Matrix{from_csv, 2});
  EXPECT_EQ(std::vector<float>(from_table, from_table + 14), std::vector<float>(from_csv, from_csv + 14));
  // 2024-01-02 is a Tuesday: code 3; 2024-01-03 a Wednesday: 4
  EXPECT_EQ(from_csv[12], 3.0f);
  EXPECT_EQ(from_csv[13], 4.0f);
}

// A refused table's Error says where, as its text does.
TEST(TableRefusal, TheErrorHoldsTheFileLineAndField) {
  elab::Request request;
  request.answers = {-1, std::nullopt, 1, 2.0f, 0, 0, 0, std::nullopt};
  request.table.emplace();
  request.table->date_texts = {"2024-01-02", "2024-01-03", "2024-01-04"};
  request.table->close_texts = {"1", "2", "1O0.00"};
  try {
    elab::prepare(request);
    ADD_FAILURE() << "a close of 1O0.00 was taken";
  } catch (const elab::Error& e) {
    EXPECT_EQ(e.kind(), elab::Error::Kind::input);
    EXPECT_EQ(e.code(), "INPUT");
    EXPECT_EQ(e.file(), "table");
    EXPECT_EQ(e.line(), 3);
    EXPECT_EQ(e.field(), "Close");
    EXPECT_EQ(e.text(), "table: row 3, field \"Close\": invalid real value: \"1O0.00\"");
  }
}

}  // namespace
