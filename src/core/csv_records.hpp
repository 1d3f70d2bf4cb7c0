// The training records as CSV: a header, then one line per record, its
// series first where asked, then the day (YYYY-MM-DD) and the record's
// fields with the very digits of their columns in elab.dat, blanks trimmed.
// Lines end in LF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/run_state.hpp"

namespace elab {

// Date and the field names of layout IGIO, Series first where asked, Set
// after Date where asked.
std::string csv_header(std::int32_t IGIO, bool with_series, bool with_set = false);

// The records' lines, each led by series where there is one, set after
// the date where it is not empty; counts them in IC.
std::string csv_records(RunState& st, std::optional<std::string_view> series = std::nullopt,
                        std::string_view set = {});

// A field as CSV writes it: quoted where it holds a separator, a quote or a
// line end.
std::string csv_field(std::string_view text);

}  // namespace elab
