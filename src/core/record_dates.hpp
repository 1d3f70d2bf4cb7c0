// The day of each training record, YYYY-MM-DD, one line per record in the
// order of the records.
#pragma once

#include <string>

#include "core/run_state.hpp"
#include "units/output_file.hpp"

namespace elab {

void write_record_dates(const RunState& st, units::OutputFile& out);

}  // namespace elab
