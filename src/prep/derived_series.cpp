#include "prep/derived_series.hpp"

#include "prep/checked_arith.hpp"

namespace prep {
namespace {

float flag(bool b) { return b ? 1.0f : 0.0f; }

}  // namespace

void day_indicators(RunState& st) {
  for (std::int64_t i = 1; i <= st.NRR; ++i) {
    const float day = st.M(i, st.IC_G);
    for (int k = 1; k <= 5; ++k) st.GIORNO(i, k) = flag(day == static_cast<float>(k + 1));
    st.LUNE(i) = flag(day == 2.0f);
  }
}

void daily_changes(RunState& st) {
  const float* close = st.M.column(st.IC_CHIU) - 1;
  st.VPERC(1) = 0.0f;
  for (std::int64_t i = 2; i <= st.NRR; ++i) st.VPERC(i) = store(pct(close[i - 1], close[i]));
}

void change_signs(RunState& st) {
  for (std::int64_t i = 1; i <= st.NRR; ++i) st.VSEGNO(i) = flag(st.VPERC(i) >= 0.0f);
}

void moving_deviation(RunState& st) {
  st.INTERV = 20;
  for (std::int64_t i = 1; i <= st.INTERV; ++i) st.DESM(i) = 0.0f;
  for (std::int64_t i = st.INTERV + 1; i <= st.NRR; ++i) {
    st.S2 = 0.0f;
    st.S = 0.0f;
    for (std::int64_t ii = 0; ii <= 19; ++ii) {  // most recent first
      const double x = wide(st.VPERC(i - ii));
      st.S = store(x + wide(st.S));
      st.S2 = store(x * x + wide(st.S2));
    }
    const double mean = wide(st.S) / st.INTERV;
    st.S = store(mean * mean);
    st.S2 = store(wide(st.S2) / st.INTERV);
    st.DESM(i) = store(checked_sqrt(wide(st.S2) - wide(st.S)));
  }
}

void momentum(RunState& st) {
  st.INTMOME = 10;
  const float* close = st.M.column(st.IC_CHIU) - 1;
  for (std::int64_t i = 1; i <= st.INTMOME; ++i) st.MOME(i) = 0.0f;
  for (std::int64_t i = st.INTMOME + 1; i <= st.NRR; ++i) {
    st.MOME(i) = store(divide(wide(close[i]), wide(close[i - 10])));
  }
}

void mean_ratio(RunState& st) {
  st.ME90 = 90;
  st.ME5 = 5;
  const float* close = st.M.column(st.IC_CHIU) - 1;
  for (std::int64_t i = 1; i < st.ME90; ++i) st.RMM(i) = 0.0f;
  for (std::int64_t i = st.ME90; i <= st.NRR; ++i) {
    st.TME90 = 0.0f;
    st.TME5 = 0.0f;
    for (std::int64_t j = 0; j <= 89; ++j) st.TME90 = store(wide(close[i - j]) + wide(st.TME90));
    for (std::int64_t j = 0; j <= 4; ++j) st.TME5 = store(wide(close[i - j]) + wide(st.TME5));
    st.RMM(i) = store(divide(wide(st.TME5) / st.ME5, wide(st.TME90) / st.ME90));
  }
}

void range_position(RunState& st) {
  st.IG30 = 30;
  const float* close = st.M.column(st.IC_CHIU) - 1;
  for (std::int64_t i = 1; i < st.IG30; ++i) st.MAXMIN(i) = 0.0f;
  for (std::int64_t i = st.IG30; i <= st.NRR; ++i) {
    st.VMAX = 0.0f;
    st.VMIN = 1000000.0f;
    for (std::int64_t j = 0; j <= 29; ++j) {
      const float c = close[i - j];
      if (c > st.VMAX) st.VMAX = c;
      if (c < st.VMIN) st.VMIN = c;
    }
    st.MAXMIN(i) =
        store(divide(wide(close[i]) - wide(st.VMIN), wide(st.VMAX) - wide(st.VMIN)));
  }
}

namespace {

void zero_tail(RunState& st, int first_col, int last_col) {
  for (std::int64_t i = st.NRR - 19; i <= st.NRR; ++i)
    for (int c = first_col; c <= last_col; ++c) st.OUT(i, c) = 0.0f;
}

}  // namespace

void forecast_changes(RunState& st) {
  const float* close = st.M.column(st.IC_CHIU) - 1;
  for (std::int64_t i = 1; i <= st.NRR - 20; ++i) {
    st.OUT(i, 1) = store(pct(close[i], close[i + 1]));
    st.OUT(i, 2) = store(pct(close[i], close[i + 5]));
    st.OUT(i, 3) = store(pct(close[i], close[i + 10]));
    st.OUT(i, 4) = store(pct(close[i], close[i + 20]));
  }
  zero_tail(st, 1, 4);
}

void forecast_signs(RunState& st) {
  for (std::int64_t i = 1; i <= st.NRR - 20; ++i)
    for (int k = 5; k <= 8; ++k) st.OUT(i, k) = flag(st.OUT(i, k - 4) >= 0.0f);
  zero_tail(st, 5, 8);
}

void forecast_mean_changes(RunState& st) {
  const float* close = st.M.column(st.IC_CHIU) - 1;
  struct Horizon {
    int column;
    int days;
    float divisor;
  };
  static constexpr Horizon kHorizons[] = {{9, 5, 5.0f}, {10, 10, 10.0f}, {11, 20, 20.0f}};
  for (std::int64_t i = 1; i <= st.NRR - 20; ++i) {
    for (const Horizon& h : kHorizons) {
      float& out = st.OUT(i, h.column);
      out = 0.0f;
      for (std::int64_t k = 1; k <= h.days; ++k) {
        // A fresh daily change, not the rounded VPERC.
        out = store(pct(close[i + k - 1], close[i + k]) + wide(out));
      }
      out = store(wide(out) / wide(h.divisor));
    }
  }
  zero_tail(st, 9, 11);
}

void derive_series(RunState& st) {
  day_indicators(st);
  daily_changes(st);
  change_signs(st);
  moving_deviation(st);
  momentum(st);
  mean_ratio(st);
  range_position(st);
  forecast_changes(st);
  forecast_signs(st);
  forecast_mean_changes(st);
}

}  // namespace prep
