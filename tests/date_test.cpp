// The date key and the date selection: which rows of MM reach M, in which
// order, and the dialogue around it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "numtext/date_text.hpp"
#include "core/date.hpp"
#include "core/run_state.hpp"
#include "cli/console.hpp"
#include "cli/console_end.hpp"
#include "units/run_failure.hpp"
#include "support/dialogue.hpp"
#include "support/scripted_console.hpp"
#include "support/run_state.hpp"

namespace {

using elab_test::ScriptedConsole;
using elab::RunState;

// ---------------------------------------------------------------------------
// The key.

struct KeyCase {
  const char* name;
  float year, month, day;
  std::optional<std::int32_t> key;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class DateKey : public testing::TestWithParam<KeyCase> {};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, DateKey,
    testing::Values(
        KeyCase{"July3rd1995", 1995, 7, 3, 950703},
        KeyCase{"FirstDayOf1900", 1900, 1, 1, 101},
        KeyCase{"FirstDayOf2000", 2000, 1, 1, 1000101},
        KeyCase{"LastDayOf1999", 1999, 12, 31, 991231},
        KeyCase{"LastDayOf1899", 1899, 12, 31, -8769},
        KeyCase{"TwoDigitYear", 95, 7, 3, -18049297},
        KeyCase{"DayTruncated", 1995, 7, 3.9f, 950703},
        KeyCase{"NegativeKeyTruncatedTowardZero", 1899, 12, 30.5f, -8769},
        KeyCase{"NegativeDayTruncatedTowardZero", 1995, 7, -3.9f, 950696},
        KeyCase{"NotNarrowedToSingle", 3600, 12, 31, 17001231},
        KeyCase{"LargestKey", 216648, 36, 47, std::numeric_limits<std::int32_t>::max()},
        KeyCase{"LargestKeyWithFraction", 216648, 36, 47.9f,
                std::numeric_limits<std::int32_t>::max()},
        KeyCase{"OneBeyondTheLargest", 216648, 36, 48, std::nullopt},
        KeyCase{"SmallestKey", -212848, -36, -48, std::numeric_limits<std::int32_t>::min()},
        KeyCase{"SmallestKeyWithFraction", -212848, -36, -48.5f,
                std::numeric_limits<std::int32_t>::min()},
        KeyCase{"OneBelowTheSmallest", -212848, -36, -49, std::nullopt},
        KeyCase{"FarYear", 300000, 1, 1, std::nullopt},
        KeyCase{"FarNegativeYear", -300000, 1, 1, std::nullopt},
        KeyCase{"HugeYear", 1e30f, 1, 1, std::nullopt},
        KeyCase{"InfiniteDay", 1995, 1, kInf, std::nullopt},
        KeyCase{"NaNMonth", 1995, kNaN, 1, std::nullopt}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST_P(DateKey, IsTheTruncatedKeyOrNothing) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(numtext::date_key(c.year, c.month, c.day), c.key);
}

// ---------------------------------------------------------------------------
// The written forms of a date: its parts as the column's order makes them
// a day, and the form a report names; or no date.

struct FormCase {
  const char* name;
  const char* text;
  std::optional<numtext::CivilDate> day;  // as DD/MM/YYYY where the order is open
  const char* form = "";
};

void PrintTo(const FormCase& c, std::ostream* os) { *os << c.name; }

class DateForms : public testing::TestWithParam<FormCase> {};

INSTANTIATE_TEST_SUITE_P(
    All, DateForms,
    testing::Values(
        FormCase{"Iso", "2026-12-08", numtext::CivilDate{2026, 12, 8}, "YYYY-MM-DD"},
        FormCase{"YearFirstSlashes", "2026/12/08", numtext::CivilDate{2026, 12, 8}, "YYYY/MM/DD"},
        FormCase{"YearFirstPoints", "2025.03.07", numtext::CivilDate{2025, 3, 7}, "YYYY.MM.DD"},
        FormCase{"Compact", "20261208", numtext::CivilDate{2026, 12, 8}, "YYYYMMDD"},
        FormCase{"DayFirstPoints", "08.12.2026", numtext::CivilDate{2026, 12, 8}, "DD.MM.YYYY or MM.DD.YYYY"},
        FormCase{"OneDigitParts", "8-1-2026", numtext::CivilDate{2026, 1, 8}, "DD-MM-YYYY or MM-DD-YYYY"},
        FormCase{"MonthNameFirst", "Dec 08, 2026", numtext::CivilDate{2026, 12, 8}, "Mon DD, YYYY"},
        FormCase{"FullMonthName", "December 8 2026", numtext::CivilDate{2026, 12, 8}, "Mon DD, YYYY"},
        FormCase{"Sept", "Sept. 8, 2026", numtext::CivilDate{2026, 9, 8}, "Mon DD, YYYY"},
        FormCase{"DayMonthNameDashes", "08-Dec-2026", numtext::CivilDate{2026, 12, 8}, "DD-Mon-YYYY"},
        FormCase{"DayMonthNameBlanks", "8 dec 2026", numtext::CivilDate{2026, 12, 8}, "DD Mon YYYY"},
        FormCase{"TimeAndOffset", "2025-03-07 00:00:00-05:00", numtext::CivilDate{2025, 3, 7}, "YYYY-MM-DD"},
        FormCase{"TimeEastOfUtc", "2025-03-07T23:30:00+09:00", numtext::CivilDate{2025, 3, 7}, "YYYY-MM-DD"},
        FormCase{"TimeZulu", "2025-03-07T16:00:00.000Z", numtext::CivilDate{2025, 3, 7}, "YYYY-MM-DD"},
        FormCase{"TimeAfterMonthName", "Mar 07, 2025 4:00 PM", numtext::CivilDate{2025, 3, 7}, "Mon DD, YYYY"},
        FormCase{"NoSuchDayStillParts", "2023-02-29", numtext::CivilDate{2023, 2, 29}, "YYYY-MM-DD"},
        FormCase{"MixedSeparators", "2024-01/02", std::nullopt},
        FormCase{"TwoDigitYear", "08.12.26", numtext::CivilDate{2026, 12, 8}, "DD.MM.YY or MM.DD.YY"},
        FormCase{"TwoDigitYear69IsThe1900s", "08/12/69", numtext::CivilDate{1969, 12, 8}, "DD/MM/YY or MM/DD/YY"},
        FormCase{"TwoDigitYear68IsThe2000s", "08-Dec-68", numtext::CivilDate{2068, 12, 8}, "DD-Mon-YY"},
        FormCase{"TwoDigitYearAfterMonthName", "Jan 02, 99", numtext::CivilDate{1999, 1, 2}, "Mon DD, YY"},
        FormCase{"ThreeDigitYear", "08.12.026", std::nullopt},
        FormCase{"WeekdayFirst", "Tue 02 Jan 2024", numtext::CivilDate{2024, 1, 2}, "DD Mon YYYY"},
        FormCase{"WeekdayAndCommas", "Tuesday, January 2, 2024", numtext::CivilDate{2024, 1, 2}, "Mon DD, YYYY"},
        FormCase{"FrenchTuesdayNotMarch", "mar. 02/01/2024", numtext::CivilDate{2024, 1, 2},
                 "DD/MM/YYYY or MM/DD/YYYY"},
        FormCase{"WeekdayAlone", "Tue", std::nullopt},
        FormCase{"GermanDayAndMonth", "8. Dezember 2026", numtext::CivilDate{2026, 12, 8}, "DD Mon YYYY"},
        FormCase{"PolishGenitive", "2 września 2025", numtext::CivilDate{2025, 9, 2}, "DD Mon YYYY"},
        FormCase{"TurkishCapitals", "02 AĞUSTOS 2025", numtext::CivilDate{2025, 8, 2}, "DD Mon YYYY"},
        FormCase{"RussianShort", "03 мар. 2025", numtext::CivilDate{2025, 3, 3}, "DD Mon YYYY"},
        FormCase{"GreekWithoutAccents", "03 ΜΑΙ 2025", numtext::CivilDate{2025, 5, 3}, "DD Mon YYYY"},
        FormCase{"Japanese", "2025年1月2日", numtext::CivilDate{2025, 1, 2}, "YYYY年MM月DD日"},
        FormCase{"Korean", "2025년 01월 02일", numtext::CivilDate{2025, 1, 2}, "YYYY년 MM월 DD일"},
        FormCase{"JapaneseWithoutDayMark", "2025年1月2", std::nullopt},
        FormCase{"ThreeDigitFirst", "208-12-08", std::nullopt},
        FormCase{"SevenDigits", "2026128", std::nullopt},
        FormCase{"GermanMonthFirst", "Dez 08, 2026", numtext::CivilDate{2026, 12, 8}, "Mon DD, YYYY"},
        FormCase{"NotAMonth", "Dex 08, 2026", std::nullopt},
        FormCase{"TextAfter", "2026-12-08 closed", std::nullopt},
        FormCase{"TimeWithoutColon", "2026-12-08 16", std::nullopt},
        FormCase{"Empty", "", std::nullopt}),
    [](const testing::TestParamInfo<FormCase>& info) { return std::string(info.param.name); });

TEST_P(DateForms, ReadOrRefused) {
  const FormCase& c = GetParam();
  const auto parts = numtext::date_parts(c.text);
  ASSERT_EQ(parts.has_value(), c.day.has_value());
  if (!parts) return;
  EXPECT_EQ(numtext::date_of(*parts, numtext::DateOrder::dmy), *c.day);
  EXPECT_EQ(numtext::form_name(*parts, numtext::DateOrder::unknown), c.form);
}

// A day above 12 settles the order; the ISO text and the key of one day.
TEST(DateForms, OrderShownAndIsoText) {
  EXPECT_EQ(numtext::order_shown(*numtext::date_parts("13/01/2024")), numtext::DateOrder::dmy);
  EXPECT_EQ(numtext::order_shown(*numtext::date_parts("01/13/2024")), numtext::DateOrder::mdy);
  EXPECT_EQ(numtext::order_shown(*numtext::date_parts("01/02/2024")), numtext::DateOrder::unknown);
  // 12 is a month as well as a day: only above it is the order settled
  EXPECT_EQ(numtext::order_shown(*numtext::date_parts("12/01/2024")), numtext::DateOrder::unknown);
  EXPECT_EQ(numtext::order_shown(*numtext::date_parts("01/12/2024")), numtext::DateOrder::unknown);
  EXPECT_EQ(numtext::date_of(*numtext::date_parts("01/13/2024"), numtext::DateOrder::mdy), (numtext::CivilDate{2024, 1, 13}));
  EXPECT_EQ(numtext::iso_text(numtext::CivilDate{995, 1, 2}), "0995-01-02");
  EXPECT_EQ(numtext::iso_date("2019-06-01"), (numtext::CivilDate{2019, 6, 1}));
  EXPECT_EQ(numtext::iso_date("2019-02-30"), std::nullopt);
  EXPECT_EQ(numtext::iso_date("2019/06/01"), std::nullopt);
  EXPECT_EQ(numtext::calendar_day(2019.0f, 6.0f, 1.5f), std::nullopt);
  EXPECT_EQ(numtext::calendar_day(2147483648.0f, 1.0f, 1.0f), std::nullopt);
  // Two digits of the year and four are two forms, as are the two scripts'
  // marks of the year.
  EXPECT_FALSE(numtext::same_form(*numtext::date_parts("08/12/26"), *numtext::date_parts("08/12/2026")));
  EXPECT_FALSE(numtext::same_form(*numtext::date_parts("2025年1月2日"), *numtext::date_parts("2025년 1월 2일")));
}

// ---------------------------------------------------------------------------
// DATE with answers from a pipe.

constexpr float kUntouched = -4242.0f;

struct Day {
  float year, month, day;
};

// The rows of the price file, in file order (not date order).
const std::vector<Day> kDays = {
    {1995, 7, 3},    // 1: 950703
    {1899, 12, 31},  // 2: -8769
    {1900, 1, 1},    // 3: 101
    {1995, 1, 1},    // 4: 950101
    {2000, 1, 1},    // 5: 1000101
    {1995, 12, 31},  // 6: 951231
    {1994, 12, 31},  // 7: 941231
    {1996, 1, 1},    // 8: 960101
    {1999, 12, 31},  // 9: 991231
    {95, 7, 3},      // 10: -18049297
    {1995, 7, 3.9f}, // 11: 950703
    {1899, 99, 99},  // 12: -1
    {1899, 99, 95},  // 13: -5
    {1899, 99, 94},  // 14: -6
    {1900, 0, 0},    // 15: 0
    {300000, 1, 1},  // 16: no key
    {1995, 3, 15},   // 17: 950315
    {2050, 6, 30},   // 18: 1500630
};

constexpr std::int32_t kColumns = 9;

// Column j of file row i: the date, then values that show any change in a
// copy (a negative zero, a NaN, fractions).
float cell(std::int64_t i, std::int32_t j) {
  const Day& d = kDays[static_cast<std::size_t>(i - 1)];
  switch (j) {
    case 1: return d.year;
    case 2: return d.month;
    case 3: return d.day;
    case 4: return static_cast<float>(i) + 0.25f;
    case 5: return i % 2 == 0 ? -0.0f : kNaN;
    case 6: return 100.0f + static_cast<float>(i) / 3.0f;
    case 7: return static_cast<float>(2 + i % 5);
    case 8: return static_cast<float>(i) * 1000.0f + 0.5f;
    default: return -static_cast<float>(i) / 7.0f;
  }
}

// M with a block of its own, so that what DATE writes and what it leaves
// show; the run itself selects in MM's storage (in_place).
struct DateState : RunState {
  std::vector<float> own_M;
};

std::unique_ptr<DateState> date_state(bool in_place = false) {
  auto st = std::make_unique<DateState>();
  st->IC_G = 7;
  st->IC_CHIU = 6;
  st->NR = static_cast<std::int32_t>(kDays.size());
  st->NC = kColumns;
  elab::allocate_arrays(*st);
  EXPECT_EQ(st->IER, 0);
  std::fill_n(st->storage.data(), elab::array_floats(st->NR, st->NC), kUntouched);
  for (std::int64_t i = 1; i <= st->NR; ++i)
    for (std::int32_t j = 1; j <= kColumns; ++j) st->MM(i, j) = cell(i, j);
  EXPECT_EQ(st->M.data, st->MM.data);
  if (!in_place) {
    st->own_M.assign(static_cast<std::size_t>(st->NR) * kColumns, kUntouched);
    st->M = {st->own_M.data(), st->MM.rows};
  }
  st->NRR = -7;  // DATE sets it
  return st;
}

// Runs the selection on st; the status the run ended with, its end shown as
// the program shows it, or -1 when it went through.
int select_rows(ScriptedConsole& con, DateState& st) {
  try {
    elab::DATE(elab::Questions(con.asker(), {}), st.date_own, st.MM, st.M, st.NR, st.NC, st.NRR);
  } catch (const units::RunFailure& failure) {
    units::show_failure(con.console(), failure);
    return failure.status();
  }
  return -1;
}


const std::string& kFirstQuestion = elab_test::kDateFrom;
const std::string& kSecondQuestion = elab_test::kDateTo;

struct SelectCase {
  const char* name;
  const char* answers;
  std::vector<std::int64_t> rows;  // file rows, in the order they reach M
};

void PrintTo(const SelectCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::int64_t> all_rows() {
  std::vector<std::int64_t> r;
  for (std::int64_t i = 1; i <= static_cast<std::int64_t>(kDays.size()); ++i) r.push_back(i);
  return r;
}

std::vector<std::int64_t> all_rows_with_a_key() {
  std::vector<std::int64_t> r = all_rows();
  r.erase(r.begin() + 15);  // row 16
  return r;
}

class DateSelection : public testing::TestWithParam<SelectCase> {};

INSTANTIATE_TEST_SUITE_P(
    Answers, DateSelection,
    testing::Values(
        SelectCase{"AllRows", "-1\n", all_rows()},
        // Mend: the answer 0 for the end is the end of the data, rows of any year.
        SelectCase{"ZeroEndIsTheEndOfTheData", "0\n0\n", {1, 3, 4, 5, 6, 7, 8, 9, 11, 15, 17, 18}},
        SelectCase{"ZeroEndIsTheEndOfTheDataFrom2019", "1190601\n0\n", {18}},
        SelectCase{"ZeroEndIsTheEndOfTheDataFrom1996", "960102\n0\n", {5, 9, 18}},
        SelectCase{"StartAndExplicitEndOf1999", "0\n1000000\n", {1, 3, 4, 6, 7, 8, 9, 11, 15, 17}},
        SelectCase{"OneYear", "950101\n951231\n", {1, 4, 6, 11, 17}},
        SelectCase{"BothEndsIncluded", "941231\n960101\n", {1, 4, 6, 7, 8, 11, 17}},
        SelectCase{"OneDay", "950703\n950703\n", {1, 11}},
        SelectCase{"EqualBoundsOnNoRow", "950704\n950704\n", {}},
        SelectCase{"NegativeRange", "-5\n-1\n", {12, 13}},
        SelectCase{"TwoDigitYearRange", "-18049297\n-18049297\n", {10}},
        SelectCase{"WholeIntegerRange", "-2147483647\n2147483647\n", all_rows_with_a_key()},
        SelectCase{"From2000", "1000101\n2000000\n", {5, 18}},
        SelectCase{"UpToTheEndOf1999", "960102\n1000000\n", {9}},
        SelectCase{"ExtraValuesOnTheAnswerLines", "950101 7 8\n951231,3\n", {1, 4, 6, 11, 17}}),
    [](const testing::TestParamInfo<SelectCase>& info) { return std::string(info.param.name); });

TEST_P(DateSelection, CopiesTheRowsOfTheRangeInFileOrder) {
  const SelectCase& c = GetParam();
  for (const bool in_place : {false, true}) {
    SCOPED_TRACE(in_place ? "in MM's storage" : "into a matrix of its own");
    auto st = date_state(in_place);
    ScriptedConsole con(c.answers, false);
    EXPECT_EQ(select_rows(con, *st), -1);

    ASSERT_EQ(st->NRR, static_cast<std::int32_t>(c.rows.size()));
    for (std::size_t k = 0; k < c.rows.size(); ++k) {
      const auto to = static_cast<std::int64_t>(k + 1);
      for (std::int32_t j = 1; j <= kColumns; ++j) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(st->M(to, j)),
                  std::bit_cast<std::uint32_t>(cell(c.rows[k], j)))
            << "M(" << to << ", " << j << ") from file row " << c.rows[k];
      }
    }
    if (!in_place) {
      // The rest of M is left as it was, and MM is only read.
      for (std::int64_t i = st->NRR + 1; i <= st->NR; ++i)
        for (std::int32_t j = 1; j <= kColumns; ++j) EXPECT_EQ(st->M(i, j), kUntouched);
      for (std::int64_t i = 1; i <= st->NR; ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(st->MM(i, 8)), std::bit_cast<std::uint32_t>(cell(i, 8)));
    }

    // The second question only when the first answer is not -1.
    const bool all = std::string(c.answers) == "-1\n";
    EXPECT_EQ(con.closed_output(),
              all ? kFirstQuestion + "\r\n" : kFirstQuestion + "\r\n" + kSecondQuestion + "\r\n");
  }
}

TEST(DateSelection, InteractiveConsoleEndsEachQuestionLineBeforeTheAnswer) {
  auto st = date_state();
  ScriptedConsole con("950101\n951231\n", true);
  EXPECT_EQ(select_rows(con, *st), -1);
  EXPECT_EQ(st->NRR, 5);
  EXPECT_EQ(con.closed_output(), kFirstQuestion + "\r\n" + kSecondQuestion + "\r\n");
}

// ---------------------------------------------------------------------------
// The last date before the first: a stop with its text, status 1.

struct StopCase {
  const char* name;
  const char* answers;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class DateOrderStop : public testing::TestWithParam<std::tuple<StopCase, bool>> {};

INSTANTIATE_TEST_SUITE_P(
    Answers, DateOrderStop,
    testing::Combine(testing::Values(StopCase{"EndBeforeStart", "950101\n940101\n"},
                                     StopCase{"MinusOneAfterZero", "0\n-1\n"},
                                     StopCase{"NullEndCountsAsMinusOne", "950101\n,\n"},
                                     StopCase{"ExplicitEndOf1999Before2000", "1000101\n1000000\n"},
                                     StopCase{"OneBelow", "-4\n-5\n"}),
                     testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<StopCase, bool>>& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) ? "_Interactive" : "_Redirected");
    });

TEST_P(DateOrderStop, StopsWithItsTextAndStatusOne) {
  const auto& [c, interactive] = GetParam();
  auto st = date_state();
  ScriptedConsole con(c.answers, interactive);
  testing::internal::CaptureStderr();
  const int status = select_rows(con, *st);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(status, 1);
  // Redirected, the question line is still pending at the stop: its line
  // end comes first, and exit closing ends the line once more.
  const std::string& stop = elab_test::kDateOrder;
  EXPECT_EQ(con.closed_output(),
            interactive ? kFirstQuestion + "\r\n" + kSecondQuestion + "\r\n" + stop
                        : kFirstQuestion + "\r\n" + kSecondQuestion + "\r\n" + stop + "\r\n");
  // Nothing was selected.
  EXPECT_EQ(st->M(1, 1), kUntouched);
}

TEST(DateSelection, AnswerThatIsNotAnIntegerEndsTheRun) {
  auto st = date_state();
  ScriptedConsole con("3.0\n", false);
  testing::internal::CaptureStderr();
  const int status = select_rows(con, *st);
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(report.rfind("\r\nrun-time error F", 0), 0u) << report;
  EXPECT_NE(report.find(": READ(CON)\r\n- "), std::string::npos) << report;
}

}  // namespace
