// The training records: the weekday question, one record in elab.dat for
// each unmarked day of the window that qualifies, the count line.
#pragma once

#include "prep/answers.hpp"
#include "prep/run_state.hpp"
#include "units/console.hpp"
#include "numtext/edit_list.hpp"
#include "units/output_file.hpp"

namespace prep {

// Layouts A (IGIO = 0, Monday flag), B (2..6, no day indicator) and
// C (-1, five weekday dummies).
const numtext::EditList& record_layout(std::int32_t IGIO);

void ask_weekday(const Questions& questions, RunState& st);

// The first row from i on that has a record, or one past the window.
std::int64_t next_written(const RunState& st, std::int64_t i);

// Writes the records and counts them in IC.
void write_training_records(RunState& st, units::OutputFile& out);

void write_count_line(units::Console& console, std::int32_t IC);

}  // namespace prep
