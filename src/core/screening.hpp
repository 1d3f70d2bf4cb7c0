// The forecast variable and the outlier screening: the menu, the coefficient
// and the two yes/no questions; PREV receives the chosen column of OUT and the
// outlier marks.
#pragma once

#include <cstdint>

#include "platform/side_by_side.hpp"
#include "core/answers.hpp"
#include "core/run_state.hpp"

namespace elab {

// Screens X into the marks of P: statistics over the window, then every row
// 1..NRR whose distance from the mean exceeds C times the deviation is marked.
// X and P may be the same series.
void screen_series(const float* X, std::int32_t NRR, float C, std::int32_t ME, float* P,
                   WindowStats& stats);

// Marks outliers of the input series X in P; own: the routine's statistics,
// kept between calls.
void STDSUB(WindowStats& own, const float* X, const std::int32_t& NR, const std::int32_t& NRR,
            const float& C, const std::int32_t& ME, float* P);

// How the input screening takes the sums of its nine series. Serial: each
// in STDSUB's own pass. Interleaved: all in one pass (split in two, one
// part on the second thread, where there is one) with quiet arithmetic, Serial again when a sum is
// not finite. Both leave the same marks, V and own statistics, and end the
// run with the same report.
enum class InputSumPass { Serial, Interleaved };

// The input screening: STDSUB on DESM, MOME, RMM, MAXMIN and V holding
// VPERC at lags 0..4.
void screen_inputs(RunState& st, InputSumPass pass = InputSumPass::Interleaved,
                   platform::SecondThread* second = nullptr);

// The whole stage, dialogue included.
void choose_and_screen(const Questions& questions, RunState& st, platform::SecondThread* second = nullptr);

}  // namespace elab
