#include "core/screening.hpp"

#include <cmath>

#include "core/arith_policy.hpp"
#include "core/checked_arith.hpp"

namespace elab {

namespace {

// One row's value added to the sums of a window, each addition rounded.
template <class Arith>
void add_to_sums(Arith& arith, double v, float& s, float& s2) {
  s = arith.add(v, s);
  s2 = arith.add(v * v, s2);
}

// The statistics of the window from its sums in st.S and st.S2, then the
// marks of every row 1..NRR whose distance from the mean exceeds C times
// the deviation.
void screen_with_sums(const float* X, std::int32_t NRR, float C, std::int32_t ME, float* P,
                      WindowStats& st) {
  st.K = NRR - 20 - ME + 1;
  st.AM = store(wide(st.S) / st.K);
  const double mean = wide(st.S) / st.K;
  st.S = store(mean * mean);
  // The deviation takes the mean of the squares as computed, unrounded.
  const double mean_of_squares = wide(st.S2) / st.K;
  st.S2 = store(mean_of_squares);
  st.STD = store(checked_sqrt(mean_of_squares - wide(st.S)));

  const double bound = wide(C) * wide(st.STD);
  const double mean_d = wide(st.AM);
  for (std::int64_t i = 0; i < NRR; ++i) {
    // Written as a selection, so that many rows are tested at once; a row
    // is read before its mark is stored, so X may be P.
    const bool out = std::fabs(wide(X[i]) - mean_d) > bound;
    P[i] = out ? kOutlierMark : P[i];
  }
}

}  // namespace

void screen_series(const float* X, std::int32_t NRR, float C, std::int32_t ME, float* P,
                   WindowStats& st) {
  CheckedArith checked;
  st.S = 0.0f;
  st.S2 = 0.0f;
  for (std::int64_t i = ME; i <= NRR - 20; ++i) add_to_sums(checked, wide(X[i - 1]), st.S, st.S2);
  screen_with_sums(X, NRR, C, ME, P, st);
}

void STDSUB(WindowStats& own, const float* X, const std::int32_t& NR, const std::int32_t& NRR,
            const float& C, const std::int32_t& ME, float* P) {
  (void)NR;  // only dimensions X and P
  screen_series(X, NRR, C, ME, P, own);
}

namespace {

// The input series in the order they are screened: DESM, MOME, RMM, MAXMIN,
// then VPERC at lags 0..4, whose window rows V holds in turn.
constexpr int kInputSeries = 9;
constexpr int kFirstLag = 4;

// Row i of an input series inside the window: first[i - 1 - lag].
struct InputSeries {
  const float* first;
  std::int64_t lag;
};

struct InputSums {
  float s[kInputSeries], s2[kInputSeries];
};

// The sums of the series from..to-1 over the window, quietly, the rows of all
// of them in one pass: each series still adds its rows in order. False when
// a sum is not finite.
template <int From, int To>
bool quiet_sums(const RunState& st, const InputSeries (&x)[kInputSeries], InputSums& sums) {
  QuietArith quiet;
  float s[To - From] = {}, s2[To - From] = {};
  for (std::int64_t i = st.ME90; i <= st.NRR - 20; ++i)
    for (int k = 0; k < To - From; ++k)
      add_to_sums(quiet, wide(x[From + k].first[i - 1 - x[From + k].lag]), s[k], s2[k]);
  for (int k = 0; k < To - From; ++k) {
    sums.s[From + k] = quiet.total(s[k]);
    sums.s2[From + k] = quiet.total(s2[k]);
  }
  return quiet.all_finite();
}

// The sums of all nine series, the lagged changes' on the second thread.
bool quiet_input_sums(const RunState& st, InputSums& sums, platform::SecondThread* second) {
  const InputSeries x[kInputSeries] = {{st.DESM.data, 0},  {st.MOME.data, 0},   {st.RMM.data, 0},
                                       {st.MAXMIN.data, 0}, {st.VPERC.data, 0}, {st.VPERC.data, 1},
                                       {st.VPERC.data, 2},  {st.VPERC.data, 3}, {st.VPERC.data, 4}};
  bool first_finite = false, lags_finite = false;
  platform::side_by_side(
      second, [&]() noexcept { first_finite = quiet_sums<0, kFirstLag>(st, x, sums); },
      [&]() noexcept { lags_finite = quiet_sums<kFirstLag, kInputSeries>(st, x, sums); });
  return first_finite && lags_finite;
}

// V: zero, and VPERC lagged by lag over the window.
void lagged_changes(RunState& st, std::int64_t lag) {
  for (std::int64_t i = 1; i <= st.NRR; ++i) st.V(i) = 0.0f;
  for (std::int64_t i = st.ME90; i <= st.NRR - 20; ++i) st.V(i) = st.VPERC(i - lag);
}

}  // namespace

void screen_inputs(RunState& st, InputSumPass pass, platform::SecondThread* second) {
  InputSums sums;
  const bool summed = pass == InputSumPass::Interleaved && quiet_input_sums(st, sums, second);
  // With the sums at hand, each series goes on exactly as STDSUB would: the
  // checked sums would have met no fault.
  int k = 0;
  const auto screen = [&](const float* X) {
    if (summed) {
      st.stdsub_own.S = sums.s[k];
      st.stdsub_own.S2 = sums.s2[k];
      screen_with_sums(X, st.NRR, st.COEFF, st.ME90, st.PREV.data, st.stdsub_own);
    } else {
      STDSUB(st.stdsub_own, X, st.NR, st.NRR, st.COEFF, st.ME90, st.PREV.data);
    }
    st.input_stats[k] = st.stdsub_own;
    ++k;
  };
  screen(st.DESM.data);
  screen(st.MOME.data);
  screen(st.RMM.data);
  screen(st.MAXMIN.data);
  for (std::int64_t lag = 0; lag <= 4; ++lag) {
    lagged_changes(st, lag);
    screen(st.V.data);
  }
}

void choose_and_screen(const Questions& questions, RunState& st, platform::SecondThread* second) {
  questions.ask_until(Question::variable, st.IVAR);
  for (std::int64_t i = 1; i <= st.NRR; ++i) st.PREV(i) = st.OUT(i, st.IVAR);

  questions.ask(Question::coefficient, st.COEFF);

  questions.ask_until(Question::screen_output, st.ISN);
  if (st.ISN == 1) {
    screen_series(st.PREV.data, st.NRR, st.COEFF, st.ME90, st.PREV.data, st.screening);
  }

  questions.ask_until(Question::screen_inputs, st.ISN);
  if (st.ISN == 1) screen_inputs(st, InputSumPass::Interleaved, second);
}

}  // namespace elab
