#include "core/derived_series.hpp"

#include <algorithm>
#include <cstdint>

#include "core/arith_policy.hpp"

// Each step's formula is written once, as a kernel over the rows lo..hi on
// an arithmetic policy. A block of rows is first evaluated with quiet
// arithmetic, many rows at a time but every row in its own order of
// operations. A block that stored a value that is not finite is evaluated
// again a row at a time with checked arithmetic, which ends the run with the
// report of the first fault in row order.
//
// Two ways, the quiet blocks of a step are split in two halves, one on the
// second thread; a fault seen by either is left to the serial evaluation,
// from the first block that saw one, on the calling thread. The steps stay in order: each
// reads only what earlier steps stored.

namespace elab {
namespace {

constexpr std::int64_t kBlock = 512;

float flag(bool b) { return b ? 1.0f : 0.0f; }

// A column seen with rows numbered from 1, as the formulas number them.
template <class T>
struct FromOne {
  T* first;
  T& operator[](std::int64_t i) const { return first[i - 1]; }
  T* at(std::int64_t i) const { return first + (i - 1); }
};

FromOne<float> rows_of(float* column) { return {column}; }
FromOne<const float> closes(const RunState& st) { return {st.M.column(st.IC_CHIU)}; }

// Percent change from close a to close b: subtract, times 100, divided by a.
template <class Arith>
double pct(Arith& arith, float a, float b) {
  return arith.divide((wide(b) - wide(a)) * 100.0, wide(a));
}

// The windowed sums of the rows lo .. lo+rows-1: for row i = lo+b, sum[b] =
// term(i) + term(i-1) + ... + term(i-terms+1), most recent first, each
// addition rounded. The terms of one step are taken for many rows at a time.
template <class Arith, class Term>
void window_sums(Arith& arith, std::int64_t lo, std::int64_t rows, int terms, Term term, float* sum) {
  std::fill_n(sum, rows, 0.0f);
  for (std::int64_t j = 0; j < terms; ++j)
    for (std::int64_t b = 0; b < rows; ++b) sum[b] = arith.add(term(lo + b - j), sum[b]);
}

// Work of fewer rows is not worth a second thread.
bool worth_two_ways(Evaluation e, std::int64_t first, std::int64_t last) {
  return e == Evaluation::BlocksTwoWays && last - first >= 2 * kBlock;
}

// Where the second half of the rows first..last starts: a whole number of
// blocks from first.
std::int64_t half_way(std::int64_t first, std::int64_t last) {
  return first + (last - first + 1) / 2 / kBlock * kBlock;
}

// Runs part(lo, hi) over the rows first..last: two ways, the first half
// here and the second on the second thread, else all here.
template <class Part>
void split_rows(Evaluation e, platform::SecondThread* second, std::int64_t first, std::int64_t last, Part part) {
  if (!worth_two_ways(e, first, last)) {
    part(first, last);
    return;
  }
  const std::int64_t mid = half_way(first, last);
  platform::side_by_side(second, [&]() noexcept { part(mid, last); }, [&]() noexcept { part(first, mid - 1); });
}

// Quiet blocks over the rows first..last; returns the first row of the
// first block that stored a value that is not finite, or last + 1.
template <class Kernel>
std::int64_t quiet_blocks(std::int64_t first, std::int64_t last, const Kernel& kernel) {
  for (std::int64_t lo = first; lo <= last; lo += kBlock) {
    const std::int64_t hi = std::min(last, lo + kBlock - 1);
    QuietArith quiet;
    kernel(lo, hi, quiet);
    if (!quiet.all_finite()) return lo;
  }
  return last + 1;
}

// The quiet blocks of both halves at once; returns the row from which the
// serial evaluation must go on: the first block that saw a fault, or
// last + 1. The faults themselves are met again there, in row order.
template <class Kernel>
std::int64_t quiet_two_ways(platform::SecondThread* second, std::int64_t first, std::int64_t last,
                            const Kernel& kernel) {
  const std::int64_t mid = half_way(first, last);
  std::int64_t first_seen = last + 1, second_seen = last + 1;
  platform::side_by_side(
      second, [&]() noexcept { second_seen = quiet_blocks(mid, last, kernel); },
      [&]() noexcept { first_seen = quiet_blocks(first, mid - 1, kernel); });
  return first_seen < mid ? first_seen : second_seen;
}

// Runs kernel(lo, hi, arith) over the rows first..last, in blocks or, for
// RowByRow, every row checked.
template <class Kernel>
void evaluate_rows(Evaluation e, platform::SecondThread* second, std::int64_t first, std::int64_t last,
                   Kernel kernel) {
  if (worth_two_ways(e, first, last)) first = quiet_two_ways(second, first, last, kernel);
  for (std::int64_t lo = first; lo <= last; lo += kBlock) {
    // In blocks, only a block that saw a fault is checked row by row.
    if (e != Evaluation::RowByRow) {
      lo = quiet_blocks(lo, last, kernel);
      if (lo > last) break;
    }
    const std::int64_t hi = std::min(last, lo + kBlock - 1);
    CheckedArith checked;
    for (std::int64_t i = lo; i <= hi; ++i) kernel(i, i, checked);
  }
}

}  // namespace

void day_indicators(RunState& st, Evaluation e, platform::SecondThread* second) {
  const FromOne<const float> day{st.M.column(st.IC_G)};
  const FromOne<float> lune = rows_of(st.LUNE.data);
  split_rows(e, second, 1, st.NRR, [&](std::int64_t lo, std::int64_t hi) {
    for (int k = 1; k <= 5; ++k) {
      const FromOne<float> giorno = rows_of(st.GIORNO.column(k));
      for (std::int64_t i = lo; i <= hi; ++i) giorno[i] = flag(day[i] == static_cast<float>(k + 1));
    }
    for (std::int64_t i = lo; i <= hi; ++i) lune[i] = flag(day[i] == 2.0f);
  });
}

void daily_changes(RunState& st, Evaluation e, platform::SecondThread* second) {
  const auto close = closes(st);
  const FromOne<float> vperc = rows_of(st.VPERC.data);
  vperc[1] = 0.0f;
  evaluate_rows(e, second, 2, st.NRR, [&](std::int64_t lo, std::int64_t hi, auto& arith) {
    for (std::int64_t i = lo; i <= hi; ++i) vperc[i] = arith.store(pct(arith, close[i - 1], close[i]));
  });
}

void change_signs(RunState& st, Evaluation e, platform::SecondThread* second) {
  const FromOne<const float> vperc{st.VPERC.data};
  const FromOne<float> vsegno = rows_of(st.VSEGNO.data);
  split_rows(e, second, 1, st.NRR, [&](std::int64_t lo, std::int64_t hi) {
    for (std::int64_t i = lo; i <= hi; ++i) vsegno[i] = flag(vperc[i] >= 0.0f);
  });
}

void moving_deviation(RunState& st, Evaluation e, platform::SecondThread* second) {
  st.INTERV = 20;
  const double n = st.INTERV;
  const FromOne<const float> vperc{st.VPERC.data};
  const FromOne<float> desm = rows_of(st.DESM.data);
  for (std::int64_t i = 1; i <= st.INTERV; ++i) desm[i] = 0.0f;
  evaluate_rows(e, second, st.INTERV + 1, st.NRR, [&](std::int64_t lo, std::int64_t hi, auto& arith) {
    const std::int64_t rows = hi - lo + 1;
    // The sum, then the sum of squares: checked, a row may meet an overflow
    // of the one before one of the other, and both give the same report.
    float s[kBlock], s2[kBlock];
    window_sums(arith, lo, rows, 20, [&](std::int64_t i) { return vperc[i]; }, s);
    window_sums(arith, lo, rows, 20, [&](std::int64_t i) { return wide(vperc[i]) * wide(vperc[i]); }, s2);
    for (std::int64_t b = 0; b < rows; ++b) {
      const double mean = wide(arith.total(s[b])) / n;
      const float square_of_mean = arith.store(mean * mean);
      const float mean_of_squares = arith.store(wide(arith.total(s2[b])) / n);
      desm[lo + b] = arith.store(arith.sqrt(wide(mean_of_squares) - wide(square_of_mean)));
    }
  });
}

void momentum(RunState& st, Evaluation e, platform::SecondThread* second) {
  st.INTMOME = 10;
  const auto close = closes(st);
  const FromOne<float> mome = rows_of(st.MOME.data);
  for (std::int64_t i = 1; i <= st.INTMOME; ++i) mome[i] = 0.0f;
  evaluate_rows(e, second, st.INTMOME + 1, st.NRR, [&](std::int64_t lo, std::int64_t hi, auto& arith) {
    for (std::int64_t i = lo; i <= hi; ++i)
      mome[i] = arith.store(arith.divide(wide(close[i]), wide(close[i - 10])));
  });
}

void mean_ratio(RunState& st, Evaluation e, platform::SecondThread* second) {
  st.ME90 = 90;
  st.ME5 = 5;
  const auto close = closes(st);
  const FromOne<float> rmm = rows_of(st.RMM.data);
  const double n90 = st.ME90, n5 = st.ME5;
  for (std::int64_t i = 1; i < st.ME90; ++i) rmm[i] = 0.0f;
  evaluate_rows(e, second, st.ME90, st.NRR, [&](std::int64_t lo, std::int64_t hi, auto& arith) {
    const std::int64_t rows = hi - lo + 1;
    const auto close_of = [&](std::int64_t i) { return close[i]; };
    float t90[kBlock], t5[kBlock];
    window_sums(arith, lo, rows, 90, close_of, t90);
    window_sums(arith, lo, rows, 5, close_of, t5);
    for (std::int64_t b = 0; b < rows; ++b)
      rmm[lo + b] = arith.store(
          arith.divide(wide(arith.total(t5[b])) / n5, wide(arith.total(t90[b])) / n90));
  });
}

void range_position(RunState& st, Evaluation e, platform::SecondThread* second) {
  st.IG30 = 30;
  const auto close = closes(st);
  const FromOne<float> maxmin = rows_of(st.MAXMIN.data);
  for (std::int64_t i = 1; i < st.IG30; ++i) maxmin[i] = 0.0f;
  evaluate_rows(e, second, st.IG30, st.NRR, [&](std::int64_t lo, std::int64_t hi, auto& arith) {
    const std::int64_t rows = hi - lo + 1;
    float vmax[kBlock], vmin[kBlock];
    std::fill_n(vmax, rows, 0.0f);
    std::fill_n(vmin, rows, 1000000.0f);
    for (std::int64_t j = 0; j <= 29; ++j) {
      const float* c = close.at(lo - j);
      for (std::int64_t b = 0; b < rows; ++b) {
        // Strict tests: an equal close leaves the extreme as it was.
        vmax[b] = c[b] > vmax[b] ? c[b] : vmax[b];
        vmin[b] = c[b] < vmin[b] ? c[b] : vmin[b];
      }
    }
    for (std::int64_t b = 0; b < rows; ++b) {
      const double low = vmin[b];
      maxmin[lo + b] = arith.store(arith.divide(wide(close[lo + b]) - low, wide(vmax[b]) - low));
    }
  });
}

namespace {

void zero_tail(RunState& st, int first_col, int last_col) {
  for (int c = first_col; c <= last_col; ++c) {
    const FromOne<float> out = rows_of(st.OUT.column(c));
    for (std::int64_t i = st.NRR - 19; i <= st.NRR; ++i) out[i] = 0.0f;
  }
}

constexpr int kHorizon[] = {1, 5, 10, 20};

// The mean future daily changes: OUT column, days and divisor.
struct MeanHorizon {
  int column;
  int days;
  float divisor;
};
constexpr MeanHorizon kMeans[] = {{9, 5, 5.0f}, {10, 10, 10.0f}, {11, 20, 20.0f}};

}  // namespace

void forecast_changes(RunState& st, Evaluation e, platform::SecondThread* second) {
  const auto close = closes(st);
  evaluate_rows(e, second, 1, st.NRR - 20, [&](std::int64_t lo, std::int64_t hi, auto& arith) {
    for (int k = 0; k < 4; ++k) {
      const FromOne<float> out = rows_of(st.OUT.column(k + 1));
      const std::int64_t ahead = kHorizon[k];
      for (std::int64_t i = lo; i <= hi; ++i) out[i] = arith.store(pct(arith, close[i], close[i + ahead]));
    }
  });
  zero_tail(st, 1, 4);
}

void forecast_signs(RunState& st, Evaluation e, platform::SecondThread* second) {
  split_rows(e, second, 1, st.NRR - 20, [&](std::int64_t lo, std::int64_t hi) {
    for (int k = 5; k <= 8; ++k) {
      const FromOne<const float> change{st.OUT.column(k - 4)};
      const FromOne<float> sign = rows_of(st.OUT.column(k));
      for (std::int64_t i = lo; i <= hi; ++i) sign[i] = flag(change[i] >= 0.0f);
    }
  });
  zero_tail(st, 5, 8);
}

void forecast_mean_changes(RunState& st, Evaluation e, platform::SecondThread* second) {
  const auto close = closes(st);
  evaluate_rows(e, second, 1, st.NRR - 20, [&](std::int64_t lo, std::int64_t hi, auto& arith) {
    const std::int64_t rows = hi - lo + 1;
    // Fresh daily changes, not the rounded VPERC, each computed once for all
    // the rows of the block that add it, and only when the sums first need
    // it: a single row meets its faults in the order of its operations.
    double day[kBlock + 19];
    std::int64_t ready = 0;
    for (const MeanHorizon& h : kMeans) {
      float sum[kBlock];
      std::fill_n(sum, rows, 0.0f);
      for (int k = 1; k <= h.days; ++k) {  // oldest first
        for (; ready < rows + k - 1; ++ready)
          day[ready] = pct(arith, close[lo + ready], close[lo + ready + 1]);
        const double* d = day + (k - 1);
        for (std::int64_t b = 0; b < rows; ++b) sum[b] = arith.add(d[b], sum[b]);
      }
      const FromOne<float> out = rows_of(st.OUT.column(h.column));
      for (std::int64_t b = 0; b < rows; ++b)
        out[lo + b] = arith.store(wide(arith.total(sum[b])) / wide(h.divisor));
    }
  });
  zero_tail(st, 9, 11);
}

void derive_series(RunState& st, Evaluation e, platform::SecondThread* second) {
  day_indicators(st, e, second);
  daily_changes(st, e, second);
  change_signs(st, e, second);
  moving_deviation(st, e, second);
  momentum(st, e, second);
  mean_ratio(st, e, second);
  range_position(st, e, second);
  forecast_changes(st, e, second);
  forecast_signs(st, e, second);
  forecast_mean_changes(st, e, second);
}

}  // namespace elab
