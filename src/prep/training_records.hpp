// The training records: the weekday question, one record in elab.dat for
// each unmarked day of the window that qualifies, the count line.
#pragma once

#include "prep/run_state.hpp"
#include "units/console.hpp"
#include "numtext/edit_list.hpp"
#include "units/output_file.hpp"

namespace prep {

// Layouts A (IGIO = 0, Monday flag), B (2..6, no day indicator) and
// C (-1, five weekday dummies).
const numtext::EditList& record_layout(std::int32_t IGIO);

void ask_weekday(units::Console& console, RunState& st);

// Writes the records and counts them in IC; with a second thread, each
// bufferful is laid down on both while the one before is written out.
void write_training_records(RunState& st, units::OutputFile& out, platform::SecondThread* second = nullptr);

void write_count_line(units::Console& console, std::int32_t IC);

}  // namespace prep
