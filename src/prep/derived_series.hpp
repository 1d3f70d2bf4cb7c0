// The derived series: from the close (column IC_CHIU) and the day-of-week
// code (column IC_G) of the selected rows, the input series and the eleven
// candidate forecast variables. Every windowed sum is recomputed from zero
// for each row in its stated order; a running sum would change the rounding.
#pragma once

#include "prep/run_state.hpp"

namespace prep {

// Blocks: many rows at a time, each in its own order of operations, a block
// with a fault evaluated again row by row. BlocksTwoWays: the same, the rows
// of each step split between two threads, the faults left to the calling
// thread. RowByRow: every row on its own, every operation checked. All store
// the same bits when no fault occurs, and end the run with the same report
// when one does.
enum class Evaluation { Blocks, BlocksTwoWays, RowByRow };

// BlocksTwoWays where a second thread may be used, else Blocks.
Evaluation fastest_evaluation();

// All steps in order; sets INTERV, INTMOME, ME90, ME5 and IG30 on the way.
// Requires NRR >= 110 (so every zero prefix and the zero tail exist).
void derive_series(RunState& st, Evaluation e = fastest_evaluation());

// The steps one by one, in the order derive_series runs them.
void day_indicators(RunState& st, Evaluation e = Evaluation::Blocks);
void daily_changes(RunState& st, Evaluation e = Evaluation::Blocks);
void change_signs(RunState& st, Evaluation e = Evaluation::Blocks);
void moving_deviation(RunState& st, Evaluation e = Evaluation::Blocks);
void momentum(RunState& st, Evaluation e = Evaluation::Blocks);
void mean_ratio(RunState& st, Evaluation e = Evaluation::Blocks);
void range_position(RunState& st, Evaluation e = Evaluation::Blocks);
void forecast_changes(RunState& st, Evaluation e = Evaluation::Blocks);
void forecast_signs(RunState& st, Evaluation e = Evaluation::Blocks);
void forecast_mean_changes(RunState& st, Evaluation e = Evaluation::Blocks);

}  // namespace prep
