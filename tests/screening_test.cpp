// The forecast variable and the outlier screening: statistics over the
// window ME90 .. NRR - 20, marks on every row 1..NRR, the dialogue.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/run_state.hpp"
#include "core/screening.hpp"
#include "cli/console.hpp"
#include "units/run_failure.hpp"
#include "support/dialogue.hpp"
#include "support/scripted_console.hpp"
#include "support/numbers.hpp"
#include "support/run_state.hpp"

namespace {

using elab_test::seven;
using elab::kOutlierMark;
using elab_test::ScriptedConsole;
using elab::RunState;
using elab::WindowStats;

// A run state of nrr selected rows with every array cleared, the constants
// of the earlier stages set.
std::unique_ptr<RunState> make_state(std::int32_t nrr) {
  auto st = elab_test::state_of_closes(std::vector<float>(static_cast<std::size_t>(nrr), 100.0f));
  st->INTERV = 20;
  st->INTMOME = 10;
  st->ME90 = 90;
  st->ME5 = 5;
  st->IG30 = 30;
  return st;
}

std::set<std::int64_t> marked_rows(const elab::Series& s, std::int32_t nrr) {
  std::set<std::int64_t> rows;
  for (std::int64_t i = 1; i <= nrr; ++i)
    if (s(i) == kOutlierMark) rows.insert(i);
  return rows;
}

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// ---------------------------------------------------------------------------
// The worked example: NRR = 114, window rows 90..94 holding 1, 2, 3, 4, 100.

struct OutsideRow {
  std::int64_t row;
  float value;
  bool marked_at_1_5;  // bound 58.51923 around 22
  bool marked_at_2;    // bound 78.02563 around 22
};

const std::vector<OutsideRow> kOutside = {
    {1, 80.5f, false, false},   {2, 80.6f, true, false},    {3, -36.6f, true, false},
    {4, -36.5f, false, false},  {50, 22.0f, false, false},  {89, 0.0f, false, false},
    {95, 100.1f, true, true},   {100, -56.1f, true, true},  {105, -56.0f, true, false},
    {110, 99.9f, true, false},  {114, 1000.0f, true, true},
};

std::unique_ptr<RunState> worked_example() {
  auto st = make_state(114);
  const float window[] = {1.0f, 2.0f, 3.0f, 4.0f, 100.0f};
  for (int k = 0; k < 5; ++k) st->PREV(90 + k) = window[k];
  for (const OutsideRow& r : kOutside) st->PREV(r.row) = r.value;
  return st;
}

struct CoeffCase {
  float coeff;
  const char* bound;
  std::set<std::int64_t> window_marks;
};

void PrintTo(const CoeffCase& c, std::ostream* os) { *os << "COEFF " << c.coeff; }

class WorkedScreening : public testing::TestWithParam<CoeffCase> {};

INSTANTIATE_TEST_SUITE_P(Coefficients, WorkedScreening,
                         testing::Values(CoeffCase{1.5f, "58.51923", {94}},
                                         CoeffCase{2.0f, "78.02563", {}}),
                         [](const testing::TestParamInfo<CoeffCase>& info) {
                           return info.param.coeff == 2.0f ? std::string("Two")
                                                           : std::string("OneAndAHalf");
                         });

TEST_P(WorkedScreening, StatisticsAndMarks) {
  const CoeffCase& c = GetParam();
  auto st = worked_example();
  WindowStats stats;
  elab::screen_series(st->PREV.data, st->NRR, c.coeff, 90, st->PREV.data, stats);

  EXPECT_EQ(stats.K, 5);
  EXPECT_EQ(stats.AM, 22.0f);
  EXPECT_EQ(stats.S, 484.0f);    // (110 / 5) squared
  EXPECT_EQ(stats.S2, 2006.0f);  // 10030 / 5
  EXPECT_EQ(seven(stats.STD), "39.01282");
  EXPECT_EQ(stats.STD, std::sqrt(1522.0f));
  EXPECT_EQ(seven(static_cast<double>(c.coeff) * stats.STD), c.bound);

  std::set<std::int64_t> expected = c.window_marks;
  for (const OutsideRow& r : kOutside)
    if (c.coeff == 2.0f ? r.marked_at_2 : r.marked_at_1_5) expected.insert(r.row);
  EXPECT_EQ(marked_rows(st->PREV, st->NRR), expected);
  // The unmarked rows keep their values.
  EXPECT_EQ(st->PREV(90), 1.0f);
  EXPECT_EQ(st->PREV(93), 4.0f);
  EXPECT_EQ(st->PREV(1), 80.5f);
}

TEST_P(WorkedScreening, InputScreeningMarksAnotherSeries) {
  const CoeffCase& c = GetParam();
  auto st = worked_example();
  // The series screened is V; the marks go into PREV, which holds its own
  // values everywhere else.
  for (std::int64_t i = 1; i <= st->NRR; ++i) {
    st->V(i) = st->PREV(i);
    st->PREV(i) = static_cast<float>(i);
  }
  elab::STDSUB(st->stdsub_own, st->V.data, st->NR, st->NRR, c.coeff, st->ME90, st->PREV.data);
  std::set<std::int64_t> expected = c.window_marks;
  for (const OutsideRow& r : kOutside)
    if (c.coeff == 2.0f ? r.marked_at_2 : r.marked_at_1_5) expected.insert(r.row);
  EXPECT_EQ(marked_rows(st->PREV, st->NRR), expected);
  for (std::int64_t i = 1; i <= st->NRR; ++i) {
    if (!expected.count(i)) {
      EXPECT_EQ(st->PREV(i), static_cast<float>(i)) << i;
    }
    EXPECT_NE(st->V(i), kOutlierMark) << i;
  }
}

TEST(Screening, NegativeCoefficientMarksEveryRow) {
  for (float coeff : {-0.5f, -1e-30f, -3.0f}) {
    SCOPED_TRACE(coeff);
    auto st = worked_example();
    WindowStats stats;
    elab::screen_series(st->PREV.data, st->NRR, coeff, 90, st->PREV.data, stats);
    EXPECT_EQ(marked_rows(st->PREV, st->NRR).size(), 114u);  // row 50, at the mean, too
  }
}

TEST(Screening, ZeroCoefficientMarksEveryRowOffTheMean) {
  auto st = worked_example();
  WindowStats stats;
  elab::screen_series(st->PREV.data, st->NRR, 0.0f, 90, st->PREV.data, stats);
  const auto marks = marked_rows(st->PREV, st->NRR);
  EXPECT_EQ(marks.size(), 113u);
  EXPECT_EQ(marks.count(50), 0u);  // holds 22, the mean
}

TEST(Screening, EqualWindowValuesGiveNoDeviation) {
  // All 114 rows hold 0.25: the deviation is 0, and a row at the mean is
  // never further than any coefficient times 0, even a negative one.
  for (float coeff : {2.0f, 0.0f, -1.0f}) {
    SCOPED_TRACE(coeff);
    auto st = make_state(114);
    for (std::int64_t i = 1; i <= 114; ++i) st->PREV(i) = 0.25f;
    st->PREV(3) = 0.5f;  // off the mean, outside the window
    WindowStats stats;
    elab::screen_series(st->PREV.data, st->NRR, coeff, 90, st->PREV.data, stats);
    EXPECT_EQ(stats.STD, 0.0f);
    EXPECT_EQ(marked_rows(st->PREV, st->NRR), (std::set<std::int64_t>{3}));
  }
}

// ---------------------------------------------------------------------------
// A value exactly on the bound is not marked; one a little further is.

struct BoundCase {
  float coeff;
  float value;
  bool marked;
};

void PrintTo(const BoundCase& c, std::ostream* os) {
  *os << "COEFF " << c.coeff << ", value " << c.value;
}

class OnTheBound : public testing::TestWithParam<BoundCase> {};

INSTANTIATE_TEST_SUITE_P(
    Values, OnTheBound,
    testing::Values(BoundCase{1.0f, 2.0f, false}, BoundCase{1.0f, 0.0f, false},
                    BoundCase{1.0f, std::nextafter(2.0f, 3.0f), true},
                    BoundCase{1.0f, -1e-7f, true}, BoundCase{2.0f, 3.0f, false},
                    BoundCase{2.0f, -1.0f, false}, BoundCase{2.0f, std::nextafter(3.0f, 4.0f), true},
                    BoundCase{2.0f, std::nextafter(-1.0f, -2.0f), true},
                    BoundCase{0.5f, 1.5f, false}, BoundCase{0.5f, 0.5f, false},
                    BoundCase{0.0f, 1.0f, false}, BoundCase{0.0f, std::nextafter(1.0f, 2.0f), true}));

TEST_P(OnTheBound, StrictlyGreaterIsMarked) {
  const BoundCase& c = GetParam();
  // NRR = 113: window rows 90..93 holding 0, 2, 0, 2; mean 1, deviation 1
  // exactly.
  auto st = make_state(113);
  for (std::int64_t i = 1; i <= 113; ++i) st->PREV(i) = 1.0f;
  st->PREV(90) = 0.0f;
  st->PREV(91) = 2.0f;
  st->PREV(92) = 0.0f;
  st->PREV(93) = 2.0f;
  st->PREV(10) = c.value;
  st->PREV(100) = c.value;
  WindowStats stats;
  elab::screen_series(st->PREV.data, st->NRR, c.coeff, 90, st->PREV.data, stats);
  ASSERT_EQ(stats.K, 4);
  ASSERT_EQ(stats.AM, 1.0f);
  ASSERT_EQ(stats.STD, 1.0f);
  EXPECT_EQ(st->PREV(10) == kOutlierMark, c.marked);
  EXPECT_EQ(st->PREV(100) == kOutlierMark, c.marked);
  // The window rows lie exactly one deviation from the mean.
  const bool window_marked = c.coeff < 1.0f;
  EXPECT_EQ(st->PREV(90) == kOutlierMark, window_marked);
  EXPECT_EQ(st->PREV(91) == kOutlierMark, window_marked);
}

// ---------------------------------------------------------------------------
// A sign candidate: a fraction p of the window holds 1, the rest 0.

struct SignCase {
  std::int32_t ones;
  std::int32_t rows;
};

void PrintTo(const SignCase& c, std::ostream* os) { *os << c.ones << " of " << c.rows; }

class SignCandidate : public testing::TestWithParam<SignCase> {};

INSTANTIATE_TEST_SUITE_P(Fractions, SignCandidate,
                         testing::Values(SignCase{3, 5}, SignCase{4, 5}, SignCase{2, 3},
                                         SignCase{7, 10}, SignCase{11, 20}, SignCase{1, 2},
                                         SignCase{2, 5}),
                         [](const testing::TestParamInfo<SignCase>& info) {
                           return std::to_string(info.param.ones) + "of" +
                                  std::to_string(info.param.rows);
                         });

// Rows outside the window alternate 0 and 1; in the window 90 .. 89 + rows,
// `ones` of the rows hold 1, spread by a step of 7.
void fill_signs(RunState& st, const SignCase& c) {
  for (std::int64_t i = 1; i <= st.NRR; ++i) st.PREV(i) = (i % 2 == 0) ? 1.0f : 0.0f;
  for (std::int32_t k = 0; k < c.rows; ++k) st.PREV(90 + k) = 0.0f;
  for (std::int32_t k = 0; k < c.ones; ++k) st.PREV(90 + (k * 7) % c.rows) = 1.0f;
}

TEST_P(SignCandidate, CoefficientOneMarksTheMinority) {
  const SignCase& c = GetParam();
  auto st = make_state(109 + c.rows);
  auto before = make_state(109 + c.rows);
  fill_signs(*st, c);
  fill_signs(*before, c);
  WindowStats stats;
  elab::screen_series(st->PREV.data, st->NRR, 1.0f, 90, st->PREV.data, stats);

  const double p = static_cast<double>(c.ones) / c.rows;
  EXPECT_EQ(stats.K, c.rows);
  EXPECT_NEAR(stats.AM, p, 1e-6);
  EXPECT_NEAR(stats.STD, std::sqrt(p - p * p), 1e-6);
  // More ones than zeros: every zero is marked (its distance p exceeds the
  // deviation), no one; half and half marks nothing; fewer ones: the ones.
  const bool zeros_marked = 2 * c.ones > c.rows;
  const bool ones_marked = 2 * c.ones < c.rows;
  for (std::int64_t i = 1; i <= st->NRR; ++i) {
    const bool one = before->PREV(i) == 1.0f;
    EXPECT_EQ(st->PREV(i) == kOutlierMark, one ? ones_marked : zeros_marked) << "row " << i;
  }
}

// ---------------------------------------------------------------------------
// The input screening: the four series, then VPERC at lags 0 to 4.

// NRR = 130 (window 90..110): DESM, MOME, RMM and MAXMIN hold 1 everywhere
// (no deviation, no mark); VPERC alternates +1 and -1, with one exceptional
// change of 50 at the given row; OUT(., 1) holds 0.5 everywhere.
std::unique_ptr<RunState> input_state(std::int64_t exceptional_row) {
  auto st = make_state(130);
  for (std::int64_t i = 1; i <= 130; ++i) {
    st->DESM(i) = 1.0f;
    st->MOME(i) = 1.0f;
    st->RMM(i) = 1.0f;
    st->MAXMIN(i) = 1.0f;
    st->VPERC(i) = (i % 2 == 0) ? 1.0f : -1.0f;
    for (int c = 1; c <= 11; ++c) st->OUT(i, c) = 0.5f;
  }
  st->VPERC(exceptional_row) = 50.0f;
  return st;
}

// The input screening runs through the stage itself (variable 1,
// coefficient 3, input screening only). VPERC(r) is V(i) of lag i - r, so
// an exceptional change marks the window rows r to r + 4; the marks are
// counted by hand.
struct LagCase {
  const char* name;
  std::int64_t exceptional_row;
  std::set<std::int64_t> marks;
};

void PrintTo(const LagCase& c, std::ostream* os) { *os << c.name; }

class LaggedChange : public testing::TestWithParam<LagCase> {};

INSTANTIATE_TEST_SUITE_P(
    Lags, LaggedChange,
    testing::Values(
        // VPERC(86) enters only the statistics of lag 4, as V(90).
        LagCase{"OnlyLagFourReachesTheWindow", 86, {90}},
        LagCase{"LagsThreeAndFourReachTheWindow", 87, {90, 91}},
        LagCase{"EveryLagInsideTheWindow", 100, {100, 101, 102, 103, 104}},
        LagCase{"LagsBeyondTheWindowEnd", 107, {107, 108, 109, 110}},
        // VPERC(110) is a lag-0 value of the last window row only.
        LagCase{"LastWindowRow", 110, {110}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(LaggedChange, MarksTheDaysThatCarryIt) {
  const LagCase& c = GetParam();
  auto st = input_state(c.exceptional_row);
  ScriptedConsole con("1\n3\n0\n1\n");
  elab::choose_and_screen(elab::Questions(con.asker(), {}), *st);
  EXPECT_EQ(marked_rows(st->PREV, st->NRR), c.marks);
}

// ---------------------------------------------------------------------------
// The input screening's sums taken serially or interleaved: the same marks,
// V and own statistics, the same report.

using elab::InputSumPass;

// The report the input screening gives, or "" when it runs through.
std::string input_screening_report(RunState& st, InputSumPass pass, platform::SecondThread* second = nullptr) {
  try {
    elab::screen_inputs(st, pass, second);
  } catch (const units::RunFailure& failure) {
    EXPECT_EQ(failure.status(), 1);
    return failure.report();
  }
  return "";
}

// Both ways on two states made alike: the report, and every array and the
// own statistics bit for bit.
std::string expect_same_both_ways(const std::function<std::unique_ptr<RunState>()>& make,
                                  float coeff) {
  auto serial = make();
  serial->COEFF = coeff;
  const std::string report = input_screening_report(*serial, InputSumPass::Serial);
  // Interleaved on two threads, and on one.
  platform::SecondThread second_thread;
  for (platform::SecondThread* second : {&second_thread, static_cast<platform::SecondThread*>(nullptr)}) {
    SCOPED_TRACE(second != nullptr ? "two threads" : "one thread");
    auto interleaved = make();
    interleaved->COEFF = coeff;
    EXPECT_EQ(input_screening_report(*interleaved, InputSumPass::Interleaved, second), report);
    EXPECT_EQ(elab_test::differing_floats(*serial, *interleaved), 0u);
    const WindowStats& a = serial->stdsub_own;
    const WindowStats& b = interleaved->stdsub_own;
    EXPECT_TRUE(a.S == b.S && a.S2 == b.S2 && a.AM == b.AM && a.STD == b.STD && a.K == b.K);
  }
  return report;
}

TEST_P(LaggedChange, SerialAndInterleavedSumsAgree) {
  EXPECT_EQ(expect_same_both_ways([&] { return input_state(GetParam().exceptional_row); }, 3.0f), "");
}

// Input series of nrr rows like the derived ones, from a fixed linear
// congruential sequence, with an outlier now and then.
std::unique_ptr<RunState> random_inputs(std::int32_t nrr) {
  auto st = make_state(nrr);
  std::uint32_t x = 2024u;
  const auto next = [&](float scale) {
    x = x * 1664525u + 1013904223u;
    return scale * (static_cast<float>(x >> 8) / 16777216.0f - 0.5f);
  };
  for (std::int64_t i = 1; i <= nrr; ++i) {
    const float outlier = i % 997 == 0 ? 40.0f : 1.0f;
    st->DESM(i) = outlier * (1.0f + next(0.5f));
    st->MOME(i) = 1.0f + next(0.1f);
    st->RMM(i) = 1.0f + outlier * next(0.05f);
    st->MAXMIN(i) = 0.5f + next(1.0f);
    st->VPERC(i) = outlier * next(3.0f);
    st->PREV(i) = next(2.0f);
  }
  return st;
}

TEST(InputSums, SerialAndInterleavedAgreeOnRandomSeries) {
  for (const std::int32_t nrr : {110, 111, 1131, 200000}) {
    for (const float coeff : {2.0f, 0.5f}) {
      SCOPED_TRACE(std::to_string(nrr) + " rows, COEFF " + std::to_string(coeff));
      EXPECT_EQ(expect_same_both_ways([&] { return random_inputs(nrr); }, coeff), "");
    }
  }
}

const std::string kOverflow = "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n";
const std::string kSqrtDomain = "\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n";

// Faults of the input screening on input_state(100): the first in the
// order of the series is reported. Over the 21 window rows, equal values of
// 1.001 round the mean of the squares below the square of the mean.
struct InputFaultCase {
  const char* name;
  std::function<void(RunState&)> change;
  const std::string* report;
};

void PrintTo(const InputFaultCase& c, std::ostream* os) { *os << c.name; }

void equal_range_positions(RunState& st) {
  for (std::int64_t i = 1; i <= st.NRR; ++i) st.MAXMIN(i) = 1.001f;
}

class InputFault : public testing::TestWithParam<InputFaultCase> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, InputFault,
    testing::Values(
        InputFaultCase{"SquaresOverflowInTheRangePositions", [](RunState& st) { st.MAXMIN(95) = 1e20f; }, &kOverflow},
        InputFaultCase{"SquaresOverflowInLagFourOnly", [](RunState& st) { st.VPERC(86) = 1e20f; }, &kOverflow},
        InputFaultCase{"SumsOverflowInLagZeroFirst", [](RunState& st) { st.VPERC(110) = 3e38f; st.VPERC(109) = 3e38f; }, &kOverflow},
        InputFaultCase{"EqualRangePositionsHaveNoDeviation", equal_range_positions, &kSqrtDomain},
        InputFaultCase{"DeviationBeforeALaterOverflow",
                       [](RunState& st) { equal_range_positions(st); st.VPERC(95) = 1e20f; }, &kSqrtDomain},
        InputFaultCase{"OverflowBeforeALaterDeviation",
                       [](RunState& st) { equal_range_positions(st); st.MOME(95) = 1e20f; }, &kOverflow}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(InputFault, SameReportBothWays) {
  const InputFaultCase& c = GetParam();
  const auto make = [&] {
    auto st = input_state(100);
    c.change(*st);
    return st;
  };
  EXPECT_EQ(expect_same_both_ways(make, 3.0f), *c.report);
}

// ---------------------------------------------------------------------------
// The whole stage through its dialogue.

using elab_test::kCoeff;
using elab_test::kMenu;
using elab_test::kScreenIn;
using elab_test::kScreenOut;

TEST(ChooseAndScreen, LagFourChangeMarksTheDayThroughTheDialogue) {
  auto st = input_state(86);
  ScriptedConsole con("1\n3\n0\n1\n");
  elab::choose_and_screen(elab::Questions(con.asker(), {}), *st);
  EXPECT_EQ(st->IVAR, 1);
  EXPECT_EQ(st->COEFF, 3.0f);
  EXPECT_EQ(st->ISN, 1);
  EXPECT_EQ(marked_rows(st->PREV, st->NRR), (std::set<std::int64_t>{90}));
  for (std::int64_t i = 1; i <= st->NRR; ++i)
    if (i != 90) {
      EXPECT_EQ(st->PREV(i), 0.5f) << i;
    }
  // The console shows the questions joined by line ends, with no echo.
  EXPECT_EQ(con.output(), kMenu + "\r\n" + kCoeff + "\r\n" + kScreenOut +
                              "\r\n" + kScreenIn);
  // The input series are never changed.
  EXPECT_EQ(st->VPERC(86), 50.0f);
  EXPECT_EQ(st->DESM(90), 1.0f);
}

TEST(ChooseAndScreen, NoScreeningCopiesTheChosenColumn) {
  auto st = input_state(86);
  for (std::int64_t i = 1; i <= st->NRR; ++i) st->OUT(i, 7) = static_cast<float>(i % 3);
  ScriptedConsole con("7\n-1\n0\n0\n");
  elab::choose_and_screen(elab::Questions(con.asker(), {}), *st);
  EXPECT_EQ(st->COEFF, -1.0f);
  EXPECT_TRUE(marked_rows(st->PREV, st->NRR).empty());
  for (std::int64_t i = 1; i <= st->NRR; ++i) EXPECT_EQ(st->PREV(i), st->OUT(i, 7)) << i;
}

TEST(ChooseAndScreen, MenuComesBackUntilTheAnswerIsInRange) {
  auto st = input_state(86);
  ScriptedConsole con("0\n12\n-3\n11\n2\n0\n0\n");
  elab::choose_and_screen(elab::Questions(con.asker(), {}), *st);
  EXPECT_EQ(st->IVAR, 11);
  const std::string out = con.output();
  EXPECT_EQ(count_of(out, "Quale variabile in output?"), 4u);
  EXPECT_EQ(count_of(out, "11 - media var. % giornal. a 20 g."), 4u);
}

TEST(ChooseAndScreen, YesNoQuestionsComeBackUntilZeroOrOne) {
  auto st = input_state(86);
  ScriptedConsole con("1\n3\n2\n-1\n0\n5\n1\n");
  elab::choose_and_screen(elab::Questions(con.asker(), {}), *st);
  const std::string out = con.output();
  EXPECT_EQ(count_of(out, kScreenOut), 3u);
  EXPECT_EQ(count_of(out, kScreenIn), 2u);
  EXPECT_EQ(marked_rows(st->PREV, st->NRR), (std::set<std::int64_t>{90}));
}

TEST(ChooseAndScreen, SignCandidateScreenedThroughTheDialogue) {
  // OUT(., 5): three of the five window rows hold 1 (NRR = 114).
  auto small = make_state(114);
  for (std::int64_t i = 1; i <= 114; ++i) small->OUT(i, 5) = 1.0f;
  small->OUT(91, 5) = 0.0f;
  small->OUT(93, 5) = 0.0f;
  small->OUT(20, 5) = 0.0f;
  ScriptedConsole con("5\n1\n1\n0\n");
  elab::choose_and_screen(elab::Questions(con.asker(), {}), *small);
  EXPECT_EQ(marked_rows(small->PREV, small->NRR), (std::set<std::int64_t>{20, 91, 93}));
  EXPECT_EQ(small->screening.AM, 0.6f);
  EXPECT_EQ(small->screening.K, 5);
}

TEST(ChooseAndScreen, OutputMarkStaysWhateverTheSecondAnswer) {
  auto st = worked_example();
  for (std::int64_t i = 1; i <= st->NRR; ++i) st->OUT(i, 2) = st->PREV(i);
  for (std::int64_t i = 1; i <= st->NRR; ++i) {
    st->DESM(i) = st->MOME(i) = st->RMM(i) = st->MAXMIN(i) = 1.0f;
    st->VPERC(i) = 0.0f;
  }
  ScriptedConsole con("2\n1.5\n1\n0\n");
  elab::choose_and_screen(elab::Questions(con.asker(), {}), *st);
  EXPECT_EQ(st->PREV(94), kOutlierMark);
  EXPECT_EQ(st->screening.AM, 22.0f);
  EXPECT_EQ(seven(st->screening.STD), "39.01282");
}

TEST(ChooseAndScreen, NullSecondAnswerRepeatsTheFirst) {
  // One variable takes both answers: a null answer to the second question
  // keeps the 1 given to the first, so the inputs are screened too.
  auto st = input_state(86);
  ScriptedConsole con("1\n3\n1\n,\n");
  elab::choose_and_screen(elab::Questions(con.asker(), {}), *st);
  EXPECT_EQ(st->ISN, 1);
  EXPECT_EQ(marked_rows(st->PREV, st->NRR), (std::set<std::int64_t>{90}));
}

}  // namespace
