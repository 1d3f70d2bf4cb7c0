// Arithmetic faults of the derived series: each ends the run with its report
// on standard error and status 1, the same report from both evaluations, and
// the report of the first fault in program order (step by step, and row by
// row within a step) when there are several.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/derived_series.hpp"
#include "core/run_state.hpp"
#include "units/run_failure.hpp"
#include "support/run_state.hpp"

namespace {

using elab::Evaluation;
using elab::RunState;

const std::string kInvalid = "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n";
const std::string kDivide =
    "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n";
const std::string kOverflow =
    "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n";
const std::string kSqrtDomain = "\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n";

constexpr int kRows = 1300;  // three blocks of 512 rows, the last one short

// What the arrays hold before the stage runs, where a test looks for the
// steps that did not run.
constexpr float kUntouched = -4242.0f;

// Closes that fault nowhere: no zero, no thirty equal, no equal changes.
std::vector<float> ordinary(std::size_t n = kRows) {
  std::vector<float> c(n);
  for (std::size_t i = 0; i < n; ++i)
    c[i] = 100.0f + static_cast<float>((i * 37) % 23) * 0.25f + static_cast<float>(i % 7) * 0.01f;
  return c;
}

void set(std::vector<float>& c, int row, float v) { c[static_cast<std::size_t>(row - 1)] = v; }

// The report the stage gives, or nothing when it runs through.
// BlocksTwoWays on a second thread, unless told to run both halves here.
std::optional<std::string> report_of(RunState& st, Evaluation e, bool second_thread = true) {
  try {
    if (second_thread) {
      elab_test::derive_series_in(st, e);
    } else {
      elab::derive_series(st, e);
    }
  } catch (const units::RunFailure& failure) {
    EXPECT_EQ(failure.status(), 1);
    return failure.report();
  }
  return std::nullopt;
}

std::optional<std::string> report_of(const std::vector<float>& closes, Evaluation e, bool second_thread = true) {
  return report_of(*elab_test::state_of_closes(closes), e, second_thread);
}

// In every evaluation, and split two ways also when a second thread is not
// to be had (both halves then run here, the second first).
void expect_report(const std::vector<float>& closes, const std::string& expected) {
  for (const Evaluation e : elab_test::kEvaluations) {
    const auto report = report_of(closes, e);
    ASSERT_TRUE(report.has_value()) << elab_test::evaluation_name(e) << " ran through";
    EXPECT_EQ(*report, expected) << elab_test::evaluation_name(e);
  }
  EXPECT_EQ(report_of(closes, Evaluation::BlocksTwoWays, false), std::optional<std::string>(expected))
      << "BlocksTwoWays on one thread";
}

void expect_no_report(const std::vector<float>& closes) {
  for (const Evaluation e : elab_test::kEvaluations)
    EXPECT_FALSE(report_of(closes, e).has_value()) << elab_test::evaluation_name(e);
}

// ---------------------------------------------------------------------------
// A close of 0 in rows 1..NRR-1 is the divisor of the next daily change.

struct ZeroCase {
  int row;
  bool next_zero_too;
};

void PrintTo(const ZeroCase& c, std::ostream* os) {
  *os << "row " << c.row << (c.next_zero_too ? " and the next" : "");
}

class ZeroClose : public testing::TestWithParam<ZeroCase> {};

INSTANTIATE_TEST_SUITE_P(
    Rows, ZeroClose,
    testing::Values(ZeroCase{1, false}, ZeroCase{2, false}, ZeroCase{21, false},
                    ZeroCase{511, false}, ZeroCase{512, false}, ZeroCase{513, false},
                    ZeroCase{1024, false}, ZeroCase{kRows - 21, false},
                    ZeroCase{kRows - 20, false}, ZeroCase{kRows - 1, false}, ZeroCase{1, true},
                    ZeroCase{300, true}, ZeroCase{512, true}, ZeroCase{kRows - 1, true}),
    [](const testing::TestParamInfo<ZeroCase>& info) {
      return "Row" + std::to_string(info.param.row) + (info.param.next_zero_too ? "AndNext" : "");
    });

TEST_P(ZeroClose, EndsTheRunAtTheDailyChange) {
  auto c = ordinary();
  set(c, GetParam().row, 0.0f);
  if (GetParam().next_zero_too) set(c, GetParam().row + 1, 0.0f);
  expect_report(c, GetParam().next_zero_too ? kInvalid : kDivide);
}

TEST(ZeroCloseInTheLastRow, IsNoDivisor) {
  auto c = ordinary();
  set(c, kRows, 0.0f);
  expect_no_report(c);
}

// ---------------------------------------------------------------------------
// Other faults, one at a time.

TEST(RangeFault, ThirtyEqualClosesAreAnInvalidOperation) {
  for (const float v : {0.5f, 50.0f, 1000000.0f}) {
    for (const int first : {1, 480, 1200}) {
      SCOPED_TRACE(std::to_string(v) + " from row " + std::to_string(first));
      auto c = ordinary();
      for (int i = first; i < first + 30; ++i) set(c, i, v);
      expect_report(c, kInvalid);
    }
  }
}

TEST(RangeFault, TwentyNineEqualClosesAreNot) {
  auto c = ordinary();
  for (int i = 600; i < 629; ++i) set(c, i, 50.0f);
  expect_no_report(c);
}

TEST(OverflowFault, HugeCloseAfterATinyOne) {
  for (const int row : {2, 400, 1100}) {
    SCOPED_TRACE(row);
    auto c = ordinary();
    set(c, row - 1, 1e-30f);
    set(c, row, 3e38f);
    expect_report(c, kOverflow);
  }
}

// The steps in the order derive_series runs them.
using Step = void (*)(RunState&, Evaluation, platform::SecondThread*);
constexpr Step kSteps[] = {elab::day_indicators, elab::daily_changes,  elab::change_signs,
                           elab::moving_deviation, elab::momentum,     elab::mean_ratio,
                           elab::range_position, elab::forecast_changes, elab::forecast_signs,
                           elab::forecast_mean_changes};
constexpr int kDailyChangesStep = 1, kDeviationStep = 3, kMeanRatioStep = 5, kRangeStep = 6,
              kForecastChangesStep = 7;

// Step by step, in both evaluations: the steps before `faulting` run
// through, and `faulting` ends the run with `expected`.
void expect_fault_in_step(const std::vector<float>& closes, int faulting,
                          const std::string& expected) {
  platform::SecondThread second;
  for (const Evaluation e : elab_test::kEvaluations) {
    auto st = elab_test::state_of_closes(closes);
    EXPECT_NO_THROW({
      for (int k = 0; k < faulting; ++k) kSteps[k](*st, e, &second);
    });
    try {
      kSteps[faulting](*st, e, &second);
      ADD_FAILURE() << "step " << faulting << " went through";
    } catch (const units::RunFailure& failure) {
      EXPECT_EQ(failure.report(), expected);
    }
  }
}

// ---------------------------------------------------------------------------
// A small file of 120 closes, 100 + (7 i mod 11), with one change: in both
// evaluations the run ends with the report of the step that faults, and the
// steps after it never run.

struct SmallFileCase {
  const char* name;
  std::function<void(std::vector<float>&)> change;
  const std::string* report;
  int step;  // in kSteps
};

void PrintTo(const SmallFileCase& c, std::ostream* os) { *os << c.name; }

std::vector<float> small_file(const SmallFileCase& c) {
  std::vector<float> closes(120);
  for (std::size_t i = 0; i < closes.size(); ++i)
    closes[i] = static_cast<float>(100 + (7 * (i + 1)) % 11);
  c.change(closes);
  return closes;
}

std::vector<SmallFileCase> small_file_cases() {
  return {
      {"ZeroCloseInRowOne", [](auto& c) { c[0] = 0.0f; }, &kDivide, kDailyChangesStep},
      {"ZeroCloseInRow50", [](auto& c) { c[49] = 0.0f; }, &kDivide, kDailyChangesStep},
      {"ZeroCloseInRow119", [](auto& c) { c[118] = 0.0f; }, &kDivide, kDailyChangesStep},
      {"NegativeZeroClose", [](auto& c) { c[60] = -0.0f; }, &kDivide, kDailyChangesStep},
      {"TwoZeroClosesInARow", [](auto& c) { c[49] = c[50] = 0.0f; }, &kInvalid, kDailyChangesStep},
      {"TinyThenHugeClose", [](auto& c) { c[49] = 1e-30f; c[50] = 3e38f; }, &kOverflow,
       kDailyChangesStep},
      {"ThirtyEqualCloses", [](auto& c) { std::fill(c.begin() + 30, c.begin() + 60, 100.0f); },
       &kInvalid, kRangeStep},
      {"ThirtyClosesOfAMillion",
       [](auto& c) { std::fill(c.begin() + 30, c.begin() + 60, 1000000.0f); }, &kInvalid, kRangeStep},
      // Closes multiplied by 64 each day: twenty changes of exactly 6300,
      // whose mean of squares rounds below the square of their mean.
      {"EqualChangesOf6300",
       [](auto& c) {
         for (int i = 0; i < 21; ++i) c[static_cast<std::size_t>(i)] = std::ldexp(1.0f, 6 * i);
       },
       &kSqrtDomain, kDeviationStep},
      // A geometric series rounded to float at every step, whose twenty
      // changes all round to the same float, 261.1.
      {"EqualChangesOfAGeometricSeries",
       [](auto& c) {
         c[0] = 100.0f;
         for (std::size_t i = 1; i < 21; ++i)
           c[i] = static_cast<float>(static_cast<double>(c[i - 1]) * 3.611);
       },
       &kSqrtDomain, kDeviationStep},
  };
}

class SmallFile : public testing::TestWithParam<SmallFileCase> {};

INSTANTIATE_TEST_SUITE_P(Cases, SmallFile, testing::ValuesIn(small_file_cases()),
                         [](const testing::TestParamInfo<SmallFileCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_P(SmallFile, EndsTheRunWithTheReportOfTheStepThatFaults) {
  const SmallFileCase& c = GetParam();
  const std::vector<float> closes = small_file(c);
  if (c.step == kDeviationStep) {
    // The input really has twenty equal, nonzero daily changes.
    std::vector<float> vperc;
    for (std::size_t i = 1; i < 21; ++i)
      vperc.push_back(static_cast<float>((static_cast<double>(closes[i]) - closes[i - 1]) * 100.0 /
                                         closes[i - 1]));
    for (float v : vperc) ASSERT_EQ(std::bit_cast<std::uint32_t>(v), std::bit_cast<std::uint32_t>(vperc[0]));
    ASSERT_NE(vperc[0], 0.0f);
  }
  for (const Evaluation e : elab_test::kEvaluations) {
    SCOPED_TRACE(elab_test::evaluation_name(e));
    auto st = elab_test::state_of_closes(closes, kUntouched);
    EXPECT_EQ(report_of(*st, e), std::optional<std::string>(*c.report));
    // Row by row, no infinity or NaN is stored on the way. (In blocks, the
    // rows of the faulting block from the fault on keep what the quiet
    // evaluation left; the run is over, and nothing reads them again.)
    for (std::int64_t i = 1; e == Evaluation::RowByRow && i <= st->NRR; ++i) {
      EXPECT_TRUE(std::isfinite(st->VPERC(i))) << "VPERC(" << i << ")";
      EXPECT_TRUE(std::isfinite(st->DESM(i))) << "DESM(" << i << ")";
      EXPECT_TRUE(std::isfinite(st->MAXMIN(i))) << "MAXMIN(" << i << ")";
    }
    // The steps after the faulting one never ran.
    switch (c.step) {
      case kDailyChangesStep:
        EXPECT_EQ(st->DESM(1), kUntouched);
        break;
      case kDeviationStep:
        EXPECT_EQ(st->DESM(1), 0.0f);
        EXPECT_EQ(st->MOME(1), kUntouched);
        break;
      case kRangeStep:
        EXPECT_NE(st->RMM(90), kUntouched);
        EXPECT_EQ(st->OUT(1, 1), kUntouched);
        break;
    }
  }
  expect_fault_in_step(closes, c.step, *c.report);
}

// Closes rising steeply from a tiny one: no daily change, deviation, ratio
// or range overflows, but the change over 20 rows does.
TEST(OverflowFault, TwentyRowChangeOnly) {
  auto c = ordinary();
  set(c, 500, 1e-30f);
  for (int k = 1; k <= 19; ++k) set(c, 500 + k, static_cast<float>(1e-30 * std::pow(10.0, 3.4 * k)));
  set(c, 520, 3e38f);
  expect_report(c, kOverflow);
  expect_fault_in_step(c, kForecastChangesStep, kOverflow);
}

// Closes rising tenfold a day to 1e37, ninety days there, and falling back:
// every change, square and ratio stays in the float range, but the sum of
// the ninety closes of the long mean does not. Overflowed, that sum is a
// divisor, and the quotient would be a quiet zero.
TEST(OverflowFault, LongMeanSumOnly) {
  for (const int first : {1, 300, 1000}) {
    SCOPED_TRACE(first);
    auto c = ordinary();
    int row = first;
    for (int k = 2; k < 37; ++k) set(c, row++, static_cast<float>(std::pow(10.0, k)));
    for (int k = 0; k < 90; ++k) set(c, row++, 1e37f);
    for (int k = 36; k >= 2; --k) set(c, row++, static_cast<float>(std::pow(10.0, k)));
    expect_report(c, kOverflow);
    expect_fault_in_step(c, kMeanRatioStep, kOverflow);
  }
}

// A daily change of about 1e21 %: in the float range, its square is not.
TEST(OverflowFault, SquareOfADailyChange) {
  for (const int row : {2, 30, 700, kRows - 1}) {
    SCOPED_TRACE(row);
    auto c = ordinary();
    set(c, row - 1, 1e-9f);
    set(c, row, 1e10f);
    expect_report(c, kOverflow);
    expect_fault_in_step(c, kDeviationStep, kOverflow);
  }
}

TEST(UnderflowIsSilent, DenormalClosesAndResultsBelowTheFloatRange) {
  auto c = ordinary();
  // Ten large closes, then denormal ones to the end: the momentum, the mean
  // ratio and the range position of the rows after the change underflow.
  for (int i = 200; i <= 209; ++i) set(c, i, 1e10f + static_cast<float>(i) * 1e6f);
  for (int i = 210; i <= kRows; ++i) set(c, i, 1e-40f * static_cast<float>(1 + i % 5));
  auto blocks = elab_test::state_of_closes(c);
  testing::internal::CaptureStderr();
  EXPECT_NO_THROW(elab_test::derive_series_in(*blocks, Evaluation::Blocks));
  EXPECT_EQ(blocks->MOME(215), 0.0f);  // 1e-40 / 1e10
  EXPECT_GT(std::fabs(blocks->VPERC(215)), 0.0f);
  for (const Evaluation e : {Evaluation::BlocksTwoWays, Evaluation::RowByRow}) {
    auto other = elab_test::state_of_closes(c);
    EXPECT_NO_THROW(elab_test::derive_series_in(*other, e));
    EXPECT_EQ(elab_test::differing_floats(*blocks, *other), 0u) << elab_test::evaluation_name(e);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Twenty equal daily changes whose rounded sums make the mean of the squares
// fall below the square of the mean. The closes are searched for here: for a
// candidate change x the sums are taken as the step takes them, and when
// they go negative, closes are built one by one, each the float nearest to
// the previous one times (1 + x / 100) for which the daily change rounds to
// x exactly.
std::optional<std::vector<float>> equal_changes_below_zero() {
  for (std::uint32_t k = 0; k < 4000000; ++k) {
    // Candidates: every float from 100 up, both signs, in a stride.
    const float mag = std::bit_cast<float>(std::bit_cast<std::uint32_t>(100.0f) + k * 97u);
    for (const float x : {mag, -mag}) {
      float s = 0.0f, s2 = 0.0f;
      for (int n = 0; n < 20; ++n) {
        s = static_cast<float>(static_cast<double>(x) + s);
        s2 = static_cast<float>(static_cast<double>(x) * x + s2);
      }
      const double mean = s / 20.0;
      const float sq = static_cast<float>(mean * mean);
      const float ms = static_cast<float>(s2 / 20.0);
      if (!(static_cast<double>(ms) - sq < 0.0)) continue;

      std::vector<float> closes = {100.0f};
      bool built = true;
      for (int n = 1; n <= 20 && built; ++n) {
        const float a = closes.back();
        float b = static_cast<float>(static_cast<double>(a) * (1.0 + static_cast<double>(x) / 100.0));
        built = false;
        float lo = b, hi = b;
        for (int d = 0; d <= 400 && !built; ++d) {
          for (const float cand : {lo, hi}) {
            if (std::isfinite(cand) && cand != 0.0f &&
                static_cast<float>((static_cast<double>(cand) - a) * 100.0 / a) == x) {
              b = cand;
              built = true;
              break;
            }
          }
          lo = std::nextafter(lo, -INFINITY);
          hi = std::nextafter(hi, INFINITY);
        }
        // Kept well inside the float range, so that only the deviation faults.
        if (built && std::fabs(b) > 1e-3f && std::fabs(b) < 1e12f) closes.push_back(b);
        else built = false;
      }
      if (built) return closes;
    }
  }
  return std::nullopt;
}

TEST(DeviationFault, EqualChangesRoundedBelowZeroAreASquareRootDomainError) {
  const auto found = equal_changes_below_zero();
  ASSERT_TRUE(found.has_value()) << "no such closes found";
  ASSERT_EQ(found->size(), 21u);
  auto c = ordinary(400);
  for (std::size_t i = 0; i < 21; ++i) c[i] = (*found)[i];
  // Row 22 goes on from a close of the ordinary kind.
  expect_report(c, kSqrtDomain);

  // The same closes later in the file fault at that row, in any block.
  for (const int first : {300, 500, 1100}) {
    SCOPED_TRACE(first);
    auto later = ordinary();
    for (std::size_t i = 0; i < 21; ++i) later[static_cast<std::size_t>(first - 1) + i] = (*found)[i];
    expect_report(later, kSqrtDomain);
  }
}

// ---------------------------------------------------------------------------
// Two faults: the first in program order is reported.

struct Fault {
  enum Kind { ZeroDivisor, ZeroZero, Huge, FlatRange, EqualChanges } kind;
  int row;  // first row the fault's closes take
};

void plant(std::vector<float>& c, const Fault& f, const std::vector<float>& equal_changes) {
  switch (f.kind) {
    case Fault::ZeroDivisor:  // VPERC(row + 1)
      set(c, f.row, 0.0f);
      break;
    case Fault::ZeroZero:  // VPERC(row + 1), 0/0
      set(c, f.row, 0.0f);
      set(c, f.row + 1, 0.0f);
      break;
    case Fault::Huge:  // VPERC(row + 1) overflows
      set(c, f.row, 1e-30f);
      set(c, f.row + 1, 3e38f);
      break;
    case Fault::FlatRange:  // MAXMIN(row + 29)
      for (int i = f.row; i < f.row + 30; ++i) set(c, i, 50.0f);
      break;
    case Fault::EqualChanges:  // DESM(row + 20)
      for (int i = 0; i < 21; ++i) set(c, f.row + i, equal_changes[static_cast<std::size_t>(i)]);
      break;
  }
}

struct PairCase {
  const char* name;
  Fault first, second;
  const std::string* expected;
};

void PrintTo(const PairCase& c, std::ostream* os) { *os << c.name; }

class TwoFaults : public testing::TestWithParam<PairCase> {};

INSTANTIATE_TEST_SUITE_P(
    Pairs, TwoFaults,
    testing::Values(
        // Within one step the earlier row wins, whatever the kinds.
        PairCase{"DivideBeforeInvalid", {Fault::ZeroDivisor, 100}, {Fault::ZeroZero, 800}, &kDivide},
        PairCase{"InvalidBeforeDivide", {Fault::ZeroZero, 100}, {Fault::ZeroDivisor, 800}, &kInvalid},
        PairCase{"OverflowBeforeDivide", {Fault::Huge, 300}, {Fault::ZeroDivisor, 900}, &kOverflow},
        PairCase{"DivideBeforeOverflow", {Fault::ZeroDivisor, 300}, {Fault::Huge, 900}, &kDivide},
        PairCase{"SameBlockInvalidFirst", {Fault::ZeroZero, 520}, {Fault::ZeroDivisor, 530}, &kInvalid},
        PairCase{"SameBlockOverflowFirst", {Fault::Huge, 600}, {Fault::ZeroZero, 601 + 3}, &kOverflow},
        PairCase{"RangeBeforeRange", {Fault::FlatRange, 100}, {Fault::FlatRange, 700}, &kInvalid},
        // A later row of an earlier step wins over an earlier row of a later step.
        PairCase{"LateDailyChangeBeatsEarlyRange", {Fault::FlatRange, 1}, {Fault::ZeroDivisor, 1200}, &kDivide},
        PairCase{"LateOverflowBeatsEarlyRange", {Fault::FlatRange, 5}, {Fault::Huge, 1250}, &kOverflow},
        PairCase{"LateDailyChangeBeatsEarlyDeviation", {Fault::EqualChanges, 1}, {Fault::ZeroZero, 1100}, &kInvalid},
        PairCase{"LateDeviationBeatsEarlyRange", {Fault::FlatRange, 1}, {Fault::EqualChanges, 1000}, &kSqrtDomain},
        PairCase{"EarlyDeviationBeatsLateRange", {Fault::EqualChanges, 1}, {Fault::FlatRange, 1000}, &kSqrtDomain},
        // Split two ways, the rows from 514 (the daily change), 533 (the
        // deviation) or 542 (the range) on are the second half's.
        PairCase{"BothInTheSecondHalf", {Fault::ZeroZero, 700}, {Fault::ZeroDivisor, 1000}, &kInvalid},
        PairCase{"FirstHalfBeatsSecondHalf", {Fault::Huge, 512}, {Fault::ZeroDivisor, 514}, &kOverflow},
        PairCase{"SecondHalfDeviationBeatsFirstHalfRange", {Fault::FlatRange, 1}, {Fault::EqualChanges, 600}, &kSqrtDomain},
        PairCase{"SecondHalfDailyChangeBeatsFirstHalfDeviation", {Fault::EqualChanges, 1}, {Fault::Huge, 800}, &kOverflow}),
    [](const testing::TestParamInfo<PairCase>& info) { return std::string(info.param.name); });

TEST_P(TwoFaults, TheFirstInProgramOrderIsReported) {
  static const auto equal_changes = equal_changes_below_zero();
  ASSERT_TRUE(equal_changes.has_value());
  const PairCase& p = GetParam();
  auto c = ordinary();
  plant(c, p.first, *equal_changes);
  plant(c, p.second, *equal_changes);
  expect_report(c, *p.expected);
}

}  // namespace
