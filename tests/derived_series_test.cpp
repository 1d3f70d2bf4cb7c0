// The derived series, stage by stage, on price matrices built by hand.
//
// Values are checked in two ways: against the figures worked out by hand,
// which are given to 7 significant digits and so are compared as the float
// printed with 7 significant digits; and bit for bit against a plain
// row-by-row evaluation written here from the rules of each step.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "core/derived_series.hpp"
#include "core/run_state.hpp"
#include "units/run_failure.hpp"
#include "support/numbers.hpp"
#include "support/run_state.hpp"

namespace {

using elab_test::seven;
using elab_test::state_of_closes;
using elab::Evaluation;
using elab::RunState;

// What every array element holds before the stage runs, so that a row the
// stage should not write, or did not reach, shows.
constexpr float kUntouched = -4242.0f;

std::string listed(const char* text) { return seven(std::strtod(text, nullptr)); }

// Day codes 2, 3, 4, 5, 6 repeating from row 1.
std::vector<float> weekdays(std::size_t n) {
  std::vector<float> d(n);
  for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<float>(2 + i % 5);
  return d;
}

// close(i) = 100 + i.
std::vector<float> rising(std::size_t n) {
  std::vector<float> c(n);
  for (std::size_t i = 0; i < n; ++i) c[i] = static_cast<float>(100 + (i + 1));
  return c;
}

// close(i) = 100 + (7 i mod 11): 107, 103, 110, ... repeating every 11 rows.
std::vector<float> saw(std::size_t n) {
  std::vector<float> c(n);
  for (std::size_t i = 0; i < n; ++i) c[i] = static_cast<float>(100 + (7 * (i + 1)) % 11);
  return c;
}

// A long walk of closes with uneven steps (a fixed linear congruential
// sequence), to cover many blocks of rows and all kinds of rounding.
std::vector<float> walk(std::size_t n, float start) {
  std::vector<float> c(n);
  std::uint32_t x = 12345u;
  double v = start;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    const double step = (static_cast<double>((x >> 8) % 20001u) - 10000.0) / 10000.0 * 0.03;
    v = v * (1.0 + step);
    c[i] = static_cast<float>(v);
  }
  return c;
}

// ---------------------------------------------------------------------------
// Row-by-row evaluation of the steps, written plainly: every right-hand side
// in double from float operands, one rounding at each store.

enum class SumOrder { MostRecentFirst, OldestFirst };

struct Expected {
  std::vector<std::vector<float>> giorno = std::vector<std::vector<float>>(6);
  std::vector<float> lune, vperc, vsegno, desm, mome, rmm, maxmin;
  std::vector<std::vector<float>> out = std::vector<std::vector<float>>(12);
};

float to_float(double v) { return static_cast<float>(v); }

double pct(float a, float b) {
  return (static_cast<double>(b) - static_cast<double>(a)) * 100.0 / static_cast<double>(a);
}

// DESM of row i (i >= 21) from the stored daily changes, the sums taken in
// the given order.
float deviation(const std::vector<float>& vperc, std::size_t i, SumOrder order) {
  float s = 0.0f, s2 = 0.0f;
  for (int k = 0; k <= 19; ++k) {
    const std::size_t row = order == SumOrder::MostRecentFirst ? i - k : i - 19 + k;
    const double x = vperc[row];
    s = to_float(x + s);
    s2 = to_float(x * x + s2);
  }
  const double mean = static_cast<double>(s) / 20.0;
  s = to_float(mean * mean);
  s2 = to_float(static_cast<double>(s2) / 20.0);
  return to_float(std::sqrt(static_cast<double>(s2) - static_cast<double>(s)));
}

// Mean future daily change, columns 9 to 11: either each day's change afresh
// from the closes, or the stored (rounded) daily changes summed instead.
float mean_change(const std::vector<float>& close, const std::vector<float>& vperc,
                  std::size_t i, int n, bool fresh) {
  float acc = 0.0f;
  for (int k = 1; k <= n; ++k) {
    const double d = fresh ? pct(close[i + k - 1], close[i + k]) : vperc[i + k];
    acc = to_float(d + acc);
  }
  return to_float(static_cast<double>(acc) / static_cast<double>(static_cast<float>(n)));
}

// close and day hold rows 1..nrr at indices 1..nrr.
Expected evaluate(const std::vector<float>& close, const std::vector<float>& day) {
  const std::size_t nrr = close.size() - 1;
  Expected e;
  for (auto& g : e.giorno) g.assign(nrr + 1, 0.0f);
  e.lune.assign(nrr + 1, 0.0f);
  e.vperc.assign(nrr + 1, 0.0f);
  e.vsegno.assign(nrr + 1, 0.0f);
  e.desm.assign(nrr + 1, 0.0f);
  e.mome.assign(nrr + 1, 0.0f);
  e.rmm.assign(nrr + 1, 0.0f);
  e.maxmin.assign(nrr + 1, 0.0f);
  for (auto& o : e.out) o.assign(nrr + 1, 0.0f);

  for (std::size_t i = 1; i <= nrr; ++i) {
    for (int k = 1; k <= 5; ++k) e.giorno[k][i] = day[i] == static_cast<float>(k + 1) ? 1.0f : 0.0f;
    e.lune[i] = day[i] == 2.0f ? 1.0f : 0.0f;
  }
  for (std::size_t i = 2; i <= nrr; ++i) e.vperc[i] = to_float(pct(close[i - 1], close[i]));
  for (std::size_t i = 1; i <= nrr; ++i) e.vsegno[i] = e.vperc[i] >= 0.0f ? 1.0f : 0.0f;
  for (std::size_t i = 21; i <= nrr; ++i) e.desm[i] = deviation(e.vperc, i, SumOrder::MostRecentFirst);
  for (std::size_t i = 11; i <= nrr; ++i)
    e.mome[i] = to_float(static_cast<double>(close[i]) / static_cast<double>(close[i - 10]));
  for (std::size_t i = 90; i <= nrr; ++i) {
    float t90 = 0.0f, t5 = 0.0f;
    for (std::size_t j = 0; j <= 89; ++j) t90 = to_float(static_cast<double>(close[i - j]) + t90);
    for (std::size_t j = 0; j <= 4; ++j) t5 = to_float(static_cast<double>(close[i - j]) + t5);
    e.rmm[i] = to_float((static_cast<double>(t5) / 5.0) / (static_cast<double>(t90) / 90.0));
  }
  for (std::size_t i = 30; i <= nrr; ++i) {
    float vmax = 0.0f, vmin = 1000000.0f;
    for (std::size_t j = 0; j <= 29; ++j) {
      if (close[i - j] > vmax) vmax = close[i - j];
      if (close[i - j] < vmin) vmin = close[i - j];
    }
    e.maxmin[i] = to_float((static_cast<double>(close[i]) - vmin) /
                           (static_cast<double>(vmax) - vmin));
  }
  const int horizon[] = {1, 5, 10, 20};
  for (std::size_t i = 1; i + 20 <= nrr; ++i) {
    for (int k = 0; k < 4; ++k) e.out[k + 1][i] = to_float(pct(close[i], close[i + horizon[k]]));
    for (int k = 5; k <= 8; ++k) e.out[k][i] = e.out[k - 4][i] >= 0.0f ? 1.0f : 0.0f;
    e.out[9][i] = mean_change(close, e.vperc, i, 5, true);
    e.out[10][i] = mean_change(close, e.vperc, i, 10, true);
    e.out[11][i] = mean_change(close, e.vperc, i, 20, true);
  }
  return e;
}

// Indices 1..n from a vector holding rows 1..n at 0..n-1.
std::vector<float> from_row_one(const std::vector<float>& v) {
  std::vector<float> r(v.size() + 1, 0.0f);
  std::copy(v.begin(), v.end(), r.begin() + 1);
  return r;
}

// ---------------------------------------------------------------------------
// Access to one stored value by name.

enum class Arr { GIORNO, LUNE, VPERC, VSEGNO, DESM, MOME, RMM, MAXMIN, OUT };

const char* arr_name(Arr a) {
  switch (a) {
    case Arr::GIORNO: return "GIORNO";
    case Arr::LUNE: return "LUNE";
    case Arr::VPERC: return "VPERC";
    case Arr::VSEGNO: return "VSEGNO";
    case Arr::DESM: return "DESM";
    case Arr::MOME: return "MOME";
    case Arr::RMM: return "RMM";
    case Arr::MAXMIN: return "MAXMIN";
    case Arr::OUT: return "OUT";
  }
  return "?";
}

float value(const RunState& st, Arr a, std::int64_t row, std::int64_t col = 1) {
  switch (a) {
    case Arr::GIORNO: return st.GIORNO(row, col);
    case Arr::LUNE: return st.LUNE(row);
    case Arr::VPERC: return st.VPERC(row);
    case Arr::VSEGNO: return st.VSEGNO(row);
    case Arr::DESM: return st.DESM(row);
    case Arr::MOME: return st.MOME(row);
    case Arr::RMM: return st.RMM(row);
    case Arr::MAXMIN: return st.MAXMIN(row);
    case Arr::OUT: return st.OUT(row, col);
  }
  return 0.0f;
}

// One listed figure: array, row, column (1 for the series) and its text.
struct Figure {
  Arr arr;
  std::int64_t row;
  std::int64_t col;
  const char* text;
};

std::string where(const Figure& f) {
  std::string s = arr_name(f.arr);
  s += "(" + std::to_string(f.row);
  if (f.arr == Arr::GIORNO || f.arr == Arr::OUT) s += ", " + std::to_string(f.col);
  return s + ")";
}

void expect_figures(const RunState& st, const std::vector<Figure>& figures) {
  for (const Figure& f : figures) {
    const float v = value(st, f.arr, f.row, f.col);
    EXPECT_EQ(seven(v), listed(f.text)) << where(f) << " holds " << seven(v) << " ("
                                       << std::hexfloat << v << std::defaultfloat << ")";
  }
}

// Figures that hold for a whole run of rows.
void add_rows(std::vector<Figure>& figs, Arr a, std::int64_t first, std::int64_t last,
              const char* text, std::int64_t col = 1) {
  for (std::int64_t i = first; i <= last; ++i) figs.push_back({a, i, col, text});
}

// The eleven OUT columns of one row.
void add_out_row(std::vector<Figure>& figs, std::int64_t row, const std::vector<const char*>& cols) {
  for (std::size_t c = 0; c < cols.size(); ++c)
    figs.push_back({Arr::OUT, row, static_cast<std::int64_t>(c + 1), cols[c]});
}

class DerivedSeries : public testing::TestWithParam<Evaluation> {};

INSTANTIATE_TEST_SUITE_P(BothEvaluations, DerivedSeries,
                         testing::ValuesIn(elab_test::kEvaluations),
                         [](const testing::TestParamInfo<Evaluation>& info) {
                           return std::string(elab_test::evaluation_name(info.param));
                         });

// ---------------------------------------------------------------------------
// The two worked examples.

TEST_P(DerivedSeries, RisingClosesGiveTheWorkedFigures) {
  auto st = state_of_closes(rising(100), kUntouched);
  elab_test::derive_series_in(*st, GetParam());

  std::vector<Figure> figs = {
      {Arr::GIORNO, 1, 1, "1"}, {Arr::GIORNO, 1, 2, "0"}, {Arr::GIORNO, 1, 3, "0"},
      {Arr::GIORNO, 1, 4, "0"}, {Arr::GIORNO, 1, 5, "0"},
      {Arr::LUNE, 1, 1, "1.0"}, {Arr::LUNE, 6, 1, "1.0"},
      {Arr::VPERC, 1, 1, "0.0"}, {Arr::VPERC, 2, 1, "0.9900990"}, {Arr::VPERC, 3, 1, "0.9803922"},
      {Arr::DESM, 21, 1, "0.04750653"}, {Arr::DESM, 22, 1, "0.04665322"},
      {Arr::MOME, 11, 1, "1.099010"},
      {Arr::RMM, 90, 1, "1.292096"}, {Arr::RMM, 91, 1, "1.290102"},
  };
  add_rows(figs, Arr::LUNE, 2, 5, "0.0");
  add_rows(figs, Arr::VSEGNO, 1, 100, "1.0");
  add_rows(figs, Arr::DESM, 1, 20, "0.0");
  add_rows(figs, Arr::MOME, 1, 10, "0.0");
  add_rows(figs, Arr::RMM, 1, 89, "0.0");
  add_rows(figs, Arr::MAXMIN, 1, 29, "0.0");
  add_rows(figs, Arr::MAXMIN, 30, 100, "1.0");
  add_out_row(figs, 1,
              {"0.9900990", "4.950495", "9.900990", "19.80198", "1", "1", "1", "1", "0.9710569",
               "0.9485708", "0.9074539"});
  add_out_row(figs, 80,
              {"0.5555556", "2.777778", "5.555555", "11.11111", "1", "1", "1", "1", "0.5494837",
               "0.5421368", "0.5281939"});
  for (std::int64_t c = 1; c <= 11; ++c) add_rows(figs, Arr::OUT, 81, 100, "0.0", c);
  expect_figures(*st, figs);
}

TEST_P(DerivedSeries, RepeatingClosesGiveTheWorkedFigures) {
  // Five rows past NRR, holding close 0: nothing may read or write them.
  auto st = state_of_closes(saw(120), kUntouched, {}, 5);
  elab_test::derive_series_in(*st, GetParam());

  std::vector<Figure> figs = {
      {Arr::VPERC, 1, 1, "0"}, {Arr::VPERC, 2, 1, "-3.738318"}, {Arr::VPERC, 3, 1, "6.796116"},
      {Arr::VPERC, 4, 1, "-3.636364"}, {Arr::VPERC, 5, 1, "-3.773585"},
      {Arr::VPERC, 6, 1, "6.862745"},
      {Arr::VSEGNO, 1, 1, "1"}, {Arr::VSEGNO, 2, 1, "0"}, {Arr::VSEGNO, 3, 1, "1"},
      {Arr::VSEGNO, 4, 1, "0"}, {Arr::VSEGNO, 5, 1, "0"}, {Arr::VSEGNO, 6, 1, "1"},
      {Arr::DESM, 21, 1, "5.063078"}, {Arr::DESM, 22, 1, "5.067094"},
      {Arr::MOME, 11, 1, "0.9345794"}, {Arr::MOME, 12, 1, "1.038835"},
      {Arr::RMM, 90, 1, "0.9942857"}, {Arr::RMM, 91, 1, "0.9977785"},
      {Arr::MAXMIN, 30, 1, "0.1"}, {Arr::MAXMIN, 31, 1, "0.8"}, {Arr::MAXMIN, 32, 1, "0.4"},
  };
  const std::vector<const char*> row = {"-3.738318", "1.869159", "-6.542056", "-2.803738",
                                        "0", "1", "0", "0", "0.5021191", "-0.5587817",
                                        "-0.01647407"};
  add_out_row(figs, 1, row);
  add_out_row(figs, 100, row);
  for (std::int64_t c = 1; c <= 11; ++c) add_rows(figs, Arr::OUT, 101, 120, "0.0", c);
  expect_figures(*st, figs);

  for (std::int64_t i = 121; i <= 125; ++i) {
    EXPECT_EQ(st->VPERC(i), kUntouched) << i;
    EXPECT_EQ(st->DESM(i), kUntouched) << i;
    EXPECT_EQ(st->MAXMIN(i), kUntouched) << i;
    for (std::int64_t c = 1; c <= 11; ++c) EXPECT_EQ(st->OUT(i, c), kUntouched) << i << "," << c;
  }
}

// ---------------------------------------------------------------------------
// Every row of every array, bit for bit, against the plain evaluation.

struct Sample {
  const char* name;
  std::vector<float> closes;
  std::vector<float> days;
};

void expect_every_row(const RunState& st, const Expected& e) {
  const std::int64_t nrr = st.NRR;
  int wrong = 0;
  auto check = [&](const char* name, std::int64_t i, float got, float want) {
    if (elab_test::bits_of(got) != elab_test::bits_of(want) && ++wrong <= 20) {
      ADD_FAILURE() << name << "(" << i << ") = " << std::hexfloat << got << ", expected " << want
                    << std::defaultfloat;
    }
  };
  for (std::int64_t i = 1; i <= nrr; ++i) {
    for (int k = 1; k <= 5; ++k) check("GIORNO", i, st.GIORNO(i, k), e.giorno[k][i]);
    check("LUNE", i, st.LUNE(i), e.lune[i]);
    check("VPERC", i, st.VPERC(i), e.vperc[i]);
    check("VSEGNO", i, st.VSEGNO(i), e.vsegno[i]);
    check("DESM", i, st.DESM(i), e.desm[i]);
    check("MOME", i, st.MOME(i), e.mome[i]);
    check("RMM", i, st.RMM(i), e.rmm[i]);
    check("MAXMIN", i, st.MAXMIN(i), e.maxmin[i]);
    for (int c = 1; c <= 11; ++c) check("OUT", i, st.OUT(i, c), e.out[c][i]);
  }
  EXPECT_EQ(wrong, 0);
}

TEST_P(DerivedSeries, EveryRowMatchesThePlainEvaluation) {
  std::vector<Sample> samples = {
      {"rising", rising(100), weekdays(100)},
      {"repeating", saw(120), weekdays(120)},
      // Several blocks of rows, with a last block of a single row.
      {"walk", walk(1537, 1234.5f), weekdays(1537)},
      {"small walk", walk(700, 0.75f), weekdays(700)},
      // Around the rows where the work is split two ways.
      {"two blocks", walk(1025, 3.5f), weekdays(1025)},
      {"two blocks and a row", walk(1026, 3.5f), weekdays(1026)},
      {"twenty more", walk(1045, 99.0f), weekdays(1045)},
  };
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.name);
    auto st = state_of_closes(s.closes, kUntouched, s.days);
    elab_test::derive_series_in(*st, GetParam());
    expect_every_row(*st, evaluate(from_row_one(s.closes), from_row_one(s.days)));
  }
}

// Walks with jumps of a hundredfold now and then, of several lengths: every
// evaluation stores the bits of the serial blocks.
TEST(DerivedSeriesEvaluations, EveryEvaluationStoresTheSameBits) {
  for (const std::size_t n : {110u, 1131u, 1132u, 2100u, 200000u}) {
    SCOPED_TRACE(n);
    std::vector<float> closes = walk(n, 57.25f);
    for (std::size_t i = 97; i < n; i += 1009) closes[i] *= i % 2 == 0 ? 100.0f : 0.01f;
    auto serial = state_of_closes(closes, kUntouched);
    elab_test::derive_series_in(*serial, Evaluation::Blocks);
    for (const Evaluation e : elab_test::kEvaluations) {
      SCOPED_TRACE(elab_test::evaluation_name(e));
      auto other = state_of_closes(closes, kUntouched);
      elab_test::derive_series_in(*other, e);
      EXPECT_EQ(elab_test::differing_floats(*serial, *other), 0u);
    }
    auto halves_here = state_of_closes(closes, kUntouched);
    elab::derive_series(*halves_here, Evaluation::BlocksTwoWays);
    EXPECT_EQ(elab_test::differing_floats(*serial, *halves_here), 0u) << "on one thread";
  }
}

// ---------------------------------------------------------------------------
// Sums in another order, or running sums, give other low-order bits; the
// stage must not.

TEST_P(DerivedSeries, DeviationSumsRunMostRecentFirst) {
  auto st = state_of_closes(rising(100), kUntouched);
  elab_test::derive_series_in(*st, GetParam());

  std::vector<float> vperc(101, 0.0f);
  for (std::int64_t i = 1; i <= 100; ++i) vperc[static_cast<std::size_t>(i)] = st->VPERC(i);
  const float oldest_first = deviation(vperc, 21, SumOrder::OldestFirst);
  const float most_recent_first = deviation(vperc, 21, SumOrder::MostRecentFirst);
  ASSERT_EQ(seven(oldest_first), "0.04750904");
  ASSERT_EQ(seven(most_recent_first), "0.04750653");
  EXPECT_EQ(elab_test::bits_of(st->DESM(21)), elab_test::bits_of(most_recent_first));
  EXPECT_NE(seven(st->DESM(21)), seven(oldest_first));
}

TEST_P(DerivedSeries, MeanChangesSumFreshDailyChanges) {
  struct Case {
    const char* name;
    std::vector<float> closes;
    const char* required;
    const char* from_stored_changes;
  };
  const std::vector<Case> cases = {
      {"rising", rising(100), "0.9074539", "0.9074538"},
      {"repeating", saw(120), "-0.01647407", "-0.01647406"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto st = state_of_closes(c.closes, kUntouched);
    elab_test::derive_series_in(*st, GetParam());
    const std::vector<float> close = from_row_one(c.closes);
    std::vector<float> vperc(close.size(), 0.0f);
    for (std::int64_t i = 1; i <= st->NRR; ++i) vperc[static_cast<std::size_t>(i)] = st->VPERC(i);
    const float stored = mean_change(close, vperc, 1, 20, false);
    ASSERT_EQ(seven(stored), listed(c.from_stored_changes));
    EXPECT_EQ(seven(st->OUT(1, 11)), listed(c.required));
    EXPECT_NE(elab_test::bits_of(st->OUT(1, 11)), elab_test::bits_of(stored));
  }
}

TEST_P(DerivedSeries, WindowedSumsAreNotRunningSums) {
  const std::vector<float> closes = walk(1200, 843.0f);
  auto st = state_of_closes(closes, kUntouched);
  elab_test::derive_series_in(*st, GetParam());
  const Expected e = evaluate(from_row_one(closes), from_row_one(weekdays(closes.size())));

  // DESM and RMM as a sliding sum would give them: the newest value added,
  // the one leaving the window taken away.
  int desm_differs = 0, rmm_differs = 0;
  float s = 0.0f, s2 = 0.0f;
  for (std::size_t i = 2; i <= 21; ++i) {
    s = to_float(static_cast<double>(e.vperc[i]) + s);
    s2 = to_float(static_cast<double>(e.vperc[i]) * e.vperc[i] + s2);
  }
  float t90 = 0.0f, t5 = 0.0f;
  for (std::size_t i = 1; i <= 90; ++i) t90 = to_float(static_cast<double>(closes[i - 1]) + t90);
  for (std::size_t i = 86; i <= 90; ++i) t5 = to_float(static_cast<double>(closes[i - 1]) + t5);
  for (std::int64_t i = 21; i <= st->NRR; ++i) {
    const auto r = static_cast<std::size_t>(i);
    if (i > 21) {
      s = to_float(static_cast<double>(s) + e.vperc[r] - e.vperc[r - 20]);
      s2 = to_float(static_cast<double>(s2) + static_cast<double>(e.vperc[r]) * e.vperc[r] -
                    static_cast<double>(e.vperc[r - 20]) * e.vperc[r - 20]);
    }
    const double mean = static_cast<double>(s) / 20.0;
    const float sq = to_float(mean * mean);
    const float ms = to_float(static_cast<double>(s2) / 20.0);
    const double arg = static_cast<double>(ms) - sq;
    const float sliding = arg < 0.0 ? -1.0f : to_float(std::sqrt(arg));
    desm_differs += elab_test::bits_of(sliding) != elab_test::bits_of(e.desm[r]);
    EXPECT_EQ(elab_test::bits_of(st->DESM(i)), elab_test::bits_of(e.desm[r])) << "DESM(" << i << ")";
  }
  for (std::int64_t i = 90; i <= st->NRR; ++i) {
    const auto r = static_cast<std::size_t>(i);
    if (i > 90) {
      t90 = to_float(static_cast<double>(t90) + closes[r - 1] - closes[r - 91]);
      t5 = to_float(static_cast<double>(t5) + closes[r - 1] - closes[r - 6]);
    }
    const float sliding = to_float((static_cast<double>(t5) / 5.0) / (static_cast<double>(t90) / 90.0));
    rmm_differs += elab_test::bits_of(sliding) != elab_test::bits_of(e.rmm[r]);
    EXPECT_EQ(elab_test::bits_of(st->RMM(i)), elab_test::bits_of(e.rmm[r])) << "RMM(" << i << ")";
  }
  // The hazard is real on this input: a sliding sum would change many rows.
  EXPECT_GT(desm_differs, 10);
  EXPECT_GT(rmm_differs, 10);
}

// ---------------------------------------------------------------------------
// Edge cases.

TEST_P(DerivedSeries, CloseFallsThenRecovers) {
  std::vector<float> closes = saw(110);
  closes[0] = 100.0f;
  closes[1] = 98.0f;
  closes[2] = 98.0f;
  closes[3] = 99.0f;
  auto st = state_of_closes(closes, kUntouched);
  elab_test::derive_series_in(*st, GetParam());
  expect_figures(*st, {
                          {Arr::VPERC, 1, 1, "0"},
                          {Arr::VPERC, 2, 1, "-2"},
                          {Arr::VPERC, 3, 1, "0"},
                          {Arr::VPERC, 4, 1, "1.020408"},
                          {Arr::VSEGNO, 1, 1, "1"},
                          {Arr::VSEGNO, 2, 1, "0"},
                          {Arr::VSEGNO, 3, 1, "1"},
                          {Arr::VSEGNO, 4, 1, "1"},
                          {Arr::OUT, 1, 1, "-2"},
                          {Arr::OUT, 1, 5, "0.0"},
                          {Arr::OUT, 2, 1, "0.0"},
                          {Arr::OUT, 2, 5, "1.0"},
                      });
  EXPECT_EQ(st->VPERC(2), -2.0f);
  EXPECT_EQ(elab_test::bits_of(st->VPERC(3)), elab_test::bits_of(0.0f));  // a positive zero
}

TEST(DayIndicators, OnlyTheFiveExactCodesSetAnIndicator) {
  struct Case {
    float code;
    int column;  // 1..5, or 0 for none
  };
  const std::vector<Case> cases = {
      {2.0f, 1}, {3.0f, 2}, {4.0f, 3}, {5.0f, 4}, {6.0f, 5}, {2.5f, 0}, {0.0f, 0},
      {1.0f, 0}, {7.0f, 0}, {-2.0f, 0}, {std::nextafter(2.0f, 3.0f), 0}, {5.9999995f, 0},
  };
  std::vector<float> days, closes;
  for (const Case& c : cases) {
    days.push_back(c.code);
    closes.push_back(100.0f);
  }
  auto st = state_of_closes(closes, kUntouched, days);
  elab::day_indicators(*st);
  for (std::size_t r = 0; r < cases.size(); ++r) {
    const std::int64_t i = static_cast<std::int64_t>(r + 1);
    SCOPED_TRACE(testing::Message() << "day code " << std::hexfloat << cases[r].code);
    for (int k = 1; k <= 5; ++k)
      EXPECT_EQ(st->GIORNO(i, k), k == cases[r].column ? 1.0f : 0.0f) << "column " << k;
    EXPECT_EQ(st->LUNE(i), cases[r].column == 1 ? 1.0f : 0.0f);
  }
}

TEST_P(DerivedSeries, UnchangedCloseForTwentyOneRowsGivesZeroDeviation) {
  std::vector<float> closes = saw(110);
  for (std::size_t i = 0; i < 21; ++i) closes[i] = 123.25f;
  auto st = state_of_closes(closes, kUntouched);
  elab_test::derive_series_in(*st, GetParam());
  EXPECT_EQ(elab_test::bits_of(st->DESM(21)), elab_test::bits_of(0.0f));
  EXPECT_GT(st->DESM(22), 0.0f);
}

TEST_P(DerivedSeries, EqualDailyChangesOfExactRatioGiveZeroDeviation) {
  // Doubling closes: every change is exactly 100, and so is the mean.
  std::vector<float> closes = saw(110);
  for (std::size_t i = 0; i < 21; ++i) closes[i] = std::ldexp(1.0f, static_cast<int>(i));
  auto st = state_of_closes(closes, kUntouched);
  elab_test::derive_series_in(*st, GetParam());
  for (std::int64_t i = 2; i <= 21; ++i) ASSERT_EQ(st->VPERC(i), 100.0f) << i;
  EXPECT_EQ(elab_test::bits_of(st->DESM(21)), elab_test::bits_of(0.0f));
}

TEST(RangePosition, ExtremesStartFromZeroAndAMillion) {
  struct Case {
    const char* name;
    std::vector<float> closes;  // 30 closes; MAXMIN(30) is checked
    const char* expected;
  };
  std::vector<float> mid(30, 100.0f);
  mid[0] = 95.0f;
  mid[7] = 105.0f;
  std::vector<float> low_last(30, 100.0f);
  low_last[3] = 105.0f;
  low_last[29] = 95.0f;
  std::vector<float> high_last(30, 100.0f);
  high_last[3] = 95.0f;
  high_last[29] = 105.0f;
  std::vector<float> negative(30, -5.0f);  // VMAX stays 0: never a negative close
  negative[10] = -10.0f;
  negative[29] = -7.5f;
  const std::vector<Case> cases = {
      {"between 95 and 105", mid, "0.5"},
      {"lowest", low_last, "0"},
      {"highest", high_last, "1"},
      {"all 2000000", std::vector<float>(30, 2000000.0f), "1.0"},
      {"negative closes", negative, "0.25"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto st = state_of_closes(c.closes, kUntouched);
    elab::range_position(*st);
    EXPECT_EQ(st->IG30, 30);
    EXPECT_EQ(seven(st->MAXMIN(30)), listed(c.expected));
    for (std::int64_t i = 1; i <= 29; ++i) EXPECT_EQ(elab_test::bits_of(st->MAXMIN(i)), elab_test::bits_of(0.0f)) << i;
  }
}

TEST_P(DerivedSeries, LastTwentyRowsOfOutAreZeroInEveryColumn) {
  // The closes stop changing from row NRR - 20: the last computed row has
  // zero changes, so its sign columns hold 1, while the tail holds 0.
  std::vector<float> closes = saw(130);
  for (std::size_t i = 109; i < 130; ++i) closes[i] = 104.0f;
  auto st = state_of_closes(closes, kUntouched);
  elab_test::derive_series_in(*st, GetParam());
  for (int c = 1; c <= 4; ++c) EXPECT_EQ(st->OUT(110, c), 0.0f) << c;
  for (int c = 5; c <= 8; ++c) EXPECT_EQ(st->OUT(110, c), 1.0f) << c;
  for (std::int64_t i = 111; i <= 130; ++i)
    for (int c = 1; c <= 11; ++c) EXPECT_EQ(elab_test::bits_of(st->OUT(i, c)), elab_test::bits_of(0.0f)) << i << "," << c;
}

TEST(DerivedSeriesConstants, EachStepSetsItsWindow) {
  auto st = state_of_closes(saw(120), kUntouched);
  elab::derive_series(*st);
  EXPECT_EQ(st->INTERV, 20);
  EXPECT_EQ(st->INTMOME, 10);
  EXPECT_EQ(st->ME90, 90);
  EXPECT_EQ(st->ME5, 5);
  EXPECT_EQ(st->IG30, 30);
}

TEST_P(DerivedSeries, ZeroCloseInTheLastRowIsNoDivisor) {
  std::vector<float> closes = saw(120);
  closes[119] = 0.0f;
  auto st = state_of_closes(closes, kUntouched);
  testing::internal::CaptureStderr();
  EXPECT_NO_THROW(elab_test::derive_series_in(*st, GetParam()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(st->VPERC(120), -100.0f);
  EXPECT_EQ(st->MOME(120), 0.0f);
}

TEST_P(DerivedSeries, UnderflowPassesSilently) {
  // The last rows fall to denormal closes: 1e-40 and 1e-39 in turn, and
  // finally the smallest denormal. Ratios to ordinary closes underflow to
  // denormal results or to zero; nothing is reported.
  std::vector<float> closes = saw(120);
  for (std::size_t i = 110; i < 119; ++i) closes[i] = (i % 2 == 0) ? 1e-40f : 1e-39f;
  closes[119] = std::numeric_limits<float>::denorm_min();
  ASSERT_EQ(std::fpclassify(closes[110]), FP_SUBNORMAL);
  ASSERT_EQ(std::fpclassify(closes[111]), FP_SUBNORMAL);
  auto st = state_of_closes(closes, kUntouched);

  testing::internal::CaptureStderr();
  EXPECT_NO_THROW(elab_test::derive_series_in(*st, GetParam()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  // Denormal operands in a change between two tiny closes: about +900 %.
  const double up = pct(closes[110], closes[111]);
  EXPECT_NEAR(up, 900.0, 9.0);
  EXPECT_EQ(elab_test::bits_of(st->VPERC(112)), elab_test::bits_of(to_float(up)));
  // A denormal result: 1e-40 over a close of about 100.
  const float tiny = st->MOME(111);
  EXPECT_EQ(std::fpclassify(tiny), FP_SUBNORMAL);
  EXPECT_EQ(elab_test::bits_of(tiny), elab_test::bits_of(to_float(static_cast<double>(closes[110]) / closes[100])));
  // A result below the smallest denormal: zero.
  EXPECT_EQ(elab_test::bits_of(st->MOME(120)), elab_test::bits_of(0.0f));
  // The whole run still agrees with the plain evaluation.
  expect_every_row(*st, evaluate(from_row_one(closes), from_row_one(weekdays(closes.size()))));
}

}  // namespace
