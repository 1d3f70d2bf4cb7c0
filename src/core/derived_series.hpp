// The derived series: from the close (column IC_CHIU) and the day-of-week
// code (column IC_G) of the selected rows, the input series and the eleven
// candidate forecast variables. Every windowed sum is recomputed from zero
// for each row in its stated order; a running sum would change the rounding.
#pragma once

#include "platform/side_by_side.hpp"
#include "core/run_state.hpp"

namespace elab {

// Blocks: many rows at a time, each in its own order of operations, a block
// with a fault evaluated again row by row. BlocksTwoWays: the same, the rows
// of each step in two halves, the second on the second thread (or here,
// first, when there is none), the faults left to the calling thread.
// RowByRow: every row on its own, every operation checked. All store the
// same bits when no fault occurs, and end the run with the same report when
// one does.
enum class Evaluation { Blocks, BlocksTwoWays, RowByRow };

// All steps in order; sets INTERV, INTMOME, ME90, ME5 and IG30 on the way.
// Requires NRR >= 110 (so every zero prefix and the zero tail exist).
void derive_series(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);

// The steps one by one, in the order derive_series runs them.
void day_indicators(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);
void daily_changes(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);
void change_signs(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);
void moving_deviation(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);
void momentum(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);
void mean_ratio(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);
void range_position(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);
void forecast_changes(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);
void forecast_signs(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);
void forecast_mean_changes(RunState& st, Evaluation e = Evaluation::Blocks, platform::SecondThread* second = nullptr);

}  // namespace elab
