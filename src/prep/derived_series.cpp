#include "prep/derived_series.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "prep/checked_arith.hpp"

// Each step runs over blocks of rows. A block is first evaluated with the
// processor's quiet arithmetic, many rows at a time but every row in its own
// order of operations; a fault there leaves a value that is not finite. Only
// then is the block evaluated again row by row with every operation checked,
// which ends the run with the report of the first fault in row order. Sums
// of two floats are taken in float: evaluated in double and rounded once,
// they give the same float.

namespace prep {
namespace {

constexpr std::int64_t kBlock = 512;

float flag(bool b) { return b ? 1.0f : 0.0f; }

bool finite(float f) { return (std::bit_cast<std::uint32_t>(f) & 0x7f800000u) != 0x7f800000u; }

const float* closes(const RunState& st) { return st.M.column(st.IC_CHIU) - 1; }

// Runs fast(lo, hi) on each block of first..last; a block that reports a
// non-finite value goes through checked(lo, hi), which ends the run.
template <class Fast, class Checked>
void by_blocks(Evaluation e, std::int64_t first, std::int64_t last, Fast fast, Checked checked) {
  for (std::int64_t lo = first; lo <= last; lo += kBlock) {
    const std::int64_t hi = std::min(last, lo + kBlock - 1);
    if (e == Evaluation::RowByRow || !fast(lo, hi)) checked(lo, hi);
  }
}

}  // namespace

void day_indicators(RunState& st, Evaluation) {
  for (std::int64_t i = 1; i <= st.NRR; ++i) {
    const float day = st.M(i, st.IC_G);
    for (int k = 1; k <= 5; ++k) st.GIORNO(i, k) = flag(day == static_cast<float>(k + 1));
    st.LUNE(i) = flag(day == 2.0f);
  }
}

void daily_changes(RunState& st, Evaluation e) {
  const float* close = closes(st);
  float* vperc = st.VPERC.data - 1;
  vperc[1] = 0.0f;
  by_blocks(
      e,       2, st.NRR,
      [&](std::int64_t lo, std::int64_t hi) {
        bool ok = true;
        for (std::int64_t i = lo; i <= hi; ++i) {
          const double a = close[i - 1];
          const float v = static_cast<float>((close[i] - a) * 100.0 / a);
          vperc[i] = v;
          ok &= finite(v);
        }
        return ok;
      },
      [&](std::int64_t lo, std::int64_t hi) {
        for (std::int64_t i = lo; i <= hi; ++i) vperc[i] = store(pct(close[i - 1], close[i]));
      });
}

void change_signs(RunState& st, Evaluation) {
  for (std::int64_t i = 1; i <= st.NRR; ++i) st.VSEGNO(i) = flag(st.VPERC(i) >= 0.0f);
}

void moving_deviation(RunState& st, Evaluation e) {
  st.INTERV = 20;
  const double n = st.INTERV;
  const float* vperc = st.VPERC.data - 1;
  float* desm = st.DESM.data - 1;
  for (std::int64_t i = 1; i <= st.INTERV; ++i) desm[i] = 0.0f;
  by_blocks(
      e,       st.INTERV + 1, st.NRR,
      [&](std::int64_t lo, std::int64_t hi) {
        const std::int64_t rows = hi - lo + 1;
        float s[kBlock], s2[kBlock];
        std::fill_n(s, rows, 0.0f);
        std::fill_n(s2, rows, 0.0f);
        for (std::int64_t ii = 0; ii <= 19; ++ii) {  // most recent first
          const float* x = vperc + lo - ii;
          for (std::int64_t b = 0; b < rows; ++b) {
            s[b] = x[b] + s[b];
            s2[b] = static_cast<float>(static_cast<double>(x[b]) * x[b] + s2[b]);
          }
        }
        bool ok = true;
        for (std::int64_t b = 0; b < rows; ++b) {
          const double mean = s[b] / n;
          const float sq = static_cast<float>(mean * mean);
          const float ms = static_cast<float>(s2[b] / n);
          const double arg = static_cast<double>(ms) - sq;
          ok &= finite(s[b]);
          ok &= finite(s2[b]);
          ok &= finite(sq);
          ok &= arg >= 0.0;
          desm[lo + b] = static_cast<float>(std::sqrt(arg < 0.0 ? 0.0 : arg));
        }
        return ok;
      },
      [&](std::int64_t lo, std::int64_t hi) {
        for (std::int64_t i = lo; i <= hi; ++i) {
          st.S2 = 0.0f;
          st.S = 0.0f;
          for (std::int64_t ii = 0; ii <= 19; ++ii) {
            const double x = wide(vperc[i - ii]);
            st.S = store(x + wide(st.S));
            st.S2 = store(x * x + wide(st.S2));
          }
          const double mean = wide(st.S) / n;
          st.S = store(mean * mean);
          st.S2 = store(wide(st.S2) / n);
          desm[i] = store(checked_sqrt(wide(st.S2) - wide(st.S)));
        }
      });
}

void momentum(RunState& st, Evaluation e) {
  st.INTMOME = 10;
  const float* close = closes(st);
  float* mome = st.MOME.data - 1;
  for (std::int64_t i = 1; i <= st.INTMOME; ++i) mome[i] = 0.0f;
  by_blocks(
      e,       st.INTMOME + 1, st.NRR,
      [&](std::int64_t lo, std::int64_t hi) {
        bool ok = true;
        for (std::int64_t i = lo; i <= hi; ++i) {
          const float v = close[i] / close[i - 10];  // one division: as in double
          mome[i] = v;
          ok &= finite(v);
        }
        return ok;
      },
      [&](std::int64_t lo, std::int64_t hi) {
        for (std::int64_t i = lo; i <= hi; ++i)
          mome[i] = store(divide(wide(close[i]), wide(close[i - 10])));
      });
}

void mean_ratio(RunState& st, Evaluation e) {
  st.ME90 = 90;
  st.ME5 = 5;
  const float* close = closes(st);
  float* rmm = st.RMM.data - 1;
  const double n90 = st.ME90, n5 = st.ME5;
  for (std::int64_t i = 1; i < st.ME90; ++i) rmm[i] = 0.0f;
  by_blocks(
      e,       st.ME90, st.NRR,
      [&](std::int64_t lo, std::int64_t hi) {
        const std::int64_t rows = hi - lo + 1;
        float t90[kBlock], t5[kBlock];
        std::fill_n(t90, rows, 0.0f);
        std::fill_n(t5, rows, 0.0f);
        for (std::int64_t j = 0; j <= 89; ++j) {  // most recent first
          const float* c = close + lo - j;
          for (std::int64_t b = 0; b < rows; ++b) t90[b] = c[b] + t90[b];
        }
        for (std::int64_t j = 0; j <= 4; ++j) {
          const float* c = close + lo - j;
          for (std::int64_t b = 0; b < rows; ++b) t5[b] = c[b] + t5[b];
        }
        bool ok = true;
        for (std::int64_t b = 0; b < rows; ++b) {
          const float v = static_cast<float>((t5[b] / n5) / (t90[b] / n90));
          rmm[lo + b] = v;
          ok &= finite(t90[b]);
          ok &= finite(t5[b]);
          ok &= finite(v);
        }
        return ok;
      },
      [&](std::int64_t lo, std::int64_t hi) {
        for (std::int64_t i = lo; i <= hi; ++i) {
          st.TME90 = 0.0f;
          st.TME5 = 0.0f;
          for (std::int64_t j = 0; j <= 89; ++j) st.TME90 = store(wide(close[i - j]) + wide(st.TME90));
          for (std::int64_t j = 0; j <= 4; ++j) st.TME5 = store(wide(close[i - j]) + wide(st.TME5));
          rmm[i] = store(divide(wide(st.TME5) / n5, wide(st.TME90) / n90));
        }
      });
}

void range_position(RunState& st, Evaluation e) {
  st.IG30 = 30;
  const float* close = closes(st);
  float* maxmin = st.MAXMIN.data - 1;
  for (std::int64_t i = 1; i < st.IG30; ++i) maxmin[i] = 0.0f;
  by_blocks(
      e,       st.IG30, st.NRR,
      [&](std::int64_t lo, std::int64_t hi) {
        const std::int64_t rows = hi - lo + 1;
        float vmax[kBlock], vmin[kBlock];
        std::fill_n(vmax, rows, 0.0f);
        std::fill_n(vmin, rows, 1000000.0f);
        for (std::int64_t j = 0; j <= 29; ++j) {
          const float* c = close + lo - j;
          for (std::int64_t b = 0; b < rows; ++b) {
            // Strict tests: an equal close leaves the extreme as it was.
            vmax[b] = c[b] > vmax[b] ? c[b] : vmax[b];
            vmin[b] = c[b] < vmin[b] ? c[b] : vmin[b];
          }
        }
        bool ok = true;
        for (std::int64_t b = 0; b < rows; ++b) {
          const double lo_c = vmin[b];
          const float v =
              static_cast<float>((static_cast<double>(close[lo + b]) - lo_c) / (vmax[b] - lo_c));
          maxmin[lo + b] = v;
          ok &= finite(v);
        }
        return ok;
      },
      [&](std::int64_t lo, std::int64_t hi) {
        for (std::int64_t i = lo; i <= hi; ++i) {
          st.VMAX = 0.0f;
          st.VMIN = 1000000.0f;
          for (std::int64_t j = 0; j <= 29; ++j) {
            const float c = close[i - j];
            if (c > st.VMAX) st.VMAX = c;
            if (c < st.VMIN) st.VMIN = c;
          }
          maxmin[i] = store(divide(wide(close[i]) - wide(st.VMIN), wide(st.VMAX) - wide(st.VMIN)));
        }
      });
}

namespace {

void zero_tail(RunState& st, int first_col, int last_col) {
  for (int c = first_col; c <= last_col; ++c) {
    float* out = st.OUT.column(c) - 1;
    for (std::int64_t i = st.NRR - 19; i <= st.NRR; ++i) out[i] = 0.0f;
  }
}

constexpr int kHorizon[] = {1, 5, 10, 20};

}  // namespace

void forecast_changes(RunState& st, Evaluation e) {
  const float* close = closes(st);
  float* out[4];
  for (int k = 0; k < 4; ++k) out[k] = st.OUT.column(k + 1) - 1;
  by_blocks(
      e,       1, st.NRR - 20,
      [&](std::int64_t lo, std::int64_t hi) {
        bool ok = true;
        for (int k = 0; k < 4; ++k) {
          const float* ahead = close + kHorizon[k];
          for (std::int64_t i = lo; i <= hi; ++i) {
            const double a = close[i];
            const float v = static_cast<float>((ahead[i] - a) * 100.0 / a);
            out[k][i] = v;
            ok &= finite(v);
          }
        }
        return ok;
      },
      [&](std::int64_t lo, std::int64_t hi) {
        for (std::int64_t i = lo; i <= hi; ++i)
          for (int k = 0; k < 4; ++k) out[k][i] = store(pct(close[i], close[i + kHorizon[k]]));
      });
  zero_tail(st, 1, 4);
}

void forecast_signs(RunState& st, Evaluation) {
  for (int k = 5; k <= 8; ++k) {
    const float* change = st.OUT.column(k - 4) - 1;
    float* sign = st.OUT.column(k) - 1;
    for (std::int64_t i = 1; i <= st.NRR - 20; ++i) sign[i] = flag(change[i] >= 0.0f);
  }
  zero_tail(st, 5, 8);
}

void forecast_mean_changes(RunState& st, Evaluation e) {
  const float* close = closes(st);
  struct Horizon {
    int column;
    int days;
    float divisor;
  };
  static constexpr Horizon kMeans[] = {{9, 5, 5.0f}, {10, 10, 10.0f}, {11, 20, 20.0f}};
  by_blocks(
      e,       1, st.NRR - 20,
      [&](std::int64_t lo, std::int64_t hi) {
        const std::int64_t rows = hi - lo + 1;
        // The daily changes of the block, in double as each row computes
        // them afresh: the same value for every row that uses it.
        double day[kBlock + 19];
        for (std::int64_t j = 0; j < rows + 19; ++j) {
          const double a = close[lo + j];
          day[j] = (close[lo + j + 1] - a) * 100.0 / a;
        }
        bool ok = true;
        for (const Horizon& h : kMeans) {
          float acc[kBlock];
          std::fill_n(acc, rows, 0.0f);
          for (int k = 1; k <= h.days; ++k) {  // oldest first
            const double* d = day + (k - 1);
            for (std::int64_t b = 0; b < rows; ++b) acc[b] = static_cast<float>(d[b] + acc[b]);
          }
          float* out = st.OUT.column(h.column) - 1;
          for (std::int64_t b = 0; b < rows; ++b) {
            const float v = acc[b] / h.divisor;  // one division: as in double
            out[lo + b] = v;
            ok &= finite(v);
          }
        }
        return ok;
      },
      [&](std::int64_t lo, std::int64_t hi) {
        for (std::int64_t i = lo; i <= hi; ++i) {
          for (const Horizon& h : kMeans) {
            float& out = st.OUT(i, h.column);
            out = 0.0f;
            for (std::int64_t k = 1; k <= h.days; ++k) {
              // A fresh daily change, not the rounded VPERC.
              out = store(pct(close[i + k - 1], close[i + k]) + wide(out));
            }
            out = store(wide(out) / wide(h.divisor));
          }
        }
      });
  zero_tail(st, 9, 11);
}

void derive_series(RunState& st, Evaluation e) {
  day_indicators(st, e);
  daily_changes(st, e);
  change_signs(st, e);
  moving_deviation(st, e);
  momentum(st, e);
  mean_ratio(st, e);
  range_position(st, e);
  forecast_changes(st, e);
  forecast_signs(st, e);
  forecast_mean_changes(st, e);
}

}  // namespace prep
