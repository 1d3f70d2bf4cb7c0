// The day of each training record, YYYY-MM-DD, one line per record in the
// order of the records.
#pragma once

#include <string>

#include "core/run_state.hpp"
#include "units/output_file.hpp"

namespace elab {

void write_record_dates(const RunState& st, units::OutputFile& out);
// The same lines as one text, each ended by CR LF, for a caller with no file.
std::string record_dates_text(const RunState& st);

}  // namespace elab
