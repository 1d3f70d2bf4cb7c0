// The training records: the weekday question, one record in elab.dat for
// each unmarked day of the window that qualifies, the count line.
#pragma once

#include "prep/run_state.hpp"
#include "textio/console.hpp"
#include "textio/edit_list.hpp"
#include "textio/output_file.hpp"

namespace prep {

// Layouts A (IGIO = 0, Monday flag), B (2..6, no day indicator) and
// C (-1, five weekday dummies).
const textio::EditList& record_layout(std::int32_t IGIO);

void ask_weekday(textio::Console& console, RunState& st);

// Writes the records and counts them in IC.
void write_training_records(RunState& st, textio::OutputFile& out);

void write_count_line(textio::Console& console, std::int32_t IC);

}  // namespace prep
