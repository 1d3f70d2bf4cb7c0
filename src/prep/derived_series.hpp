// The derived series: from the close (column IC_CHIU) and the day-of-week
// code (column IC_G) of the selected rows, the input series and the eleven
// candidate forecast variables. Every windowed sum is recomputed from zero
// for each row in its stated order; a running sum would change the rounding.
#pragma once

#include "prep/run_state.hpp"

namespace prep {

// All steps in order; sets INTERV, INTMOME, ME90, ME5 and IG30 on the way.
// Requires NRR >= 110 (so every zero prefix and the zero tail exist).
void derive_series(RunState& st);

// The steps one by one, in the order derive_series runs them.
void day_indicators(RunState& st);
void daily_changes(RunState& st);
void change_signs(RunState& st);
void moving_deviation(RunState& st);
void momentum(RunState& st);
void mean_ratio(RunState& st);
void range_position(RunState& st);
void forecast_changes(RunState& st);
void forecast_signs(RunState& st);
void forecast_mean_changes(RunState& st);

}  // namespace prep
