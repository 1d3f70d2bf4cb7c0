// A training and a test set from one run. The rows before the test date are
// the training set: its records are those of a run over those rows alone,
// since every input of a row is computed from that row and the rows before
// it, and the screening's statistics and the output values of its records
// reach no further than its own last row. The rows from the test date on are
// the test set: inputs from the whole history, the true output value, the
// inputs screened by the training set's statistics, the output never.
#pragma once

#include <cstdint>

#include "core/run_state.hpp"
#include "elab/table.hpp"

namespace elab {

// How many of the NRR selected rows come before the date key test_from: a
// training run's NRR. Throws units::RunFailure, naming the dates that
// would do, when that leaves fewer rows than a run needs, no test record,
// or a row dated before test_from after one dated on or after it, with
// the option spelt as the caller spells it.
std::int32_t training_rows(const RunState& st, std::int32_t test_from, Spelling spelling);

// st, the training set with NRR its rows, becomes the test set of its
// selected_rows: PREV the chosen variable on the test rows, their inputs
// screened as the training set's were asked to be, records from the first
// test row on.
void enter_test_set(RunState& st);

}  // namespace elab
