// Where in the input a run failed, told after the old program's report or
// stop, which names neither the file nor the row.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "numtext/csv_text.hpp"
#include "core/run_state.hpp"
#include "units/run_failure.hpp"

namespace elab {

struct InputPlace {
  std::string file;                         // its name, or "table"
  std::string_view place = "line";          // what a table's places are called
  std::span<const numtext::PriceDay> days;  // a table's, in date order; empty for the own format
  std::string_view close_name = "Close";
};

// The failure of selecting or deriving with its note: the rows too few
// (and how many the file has), or for a table's arithmetic fault the first
// selected close that is not a positive normal number. Other failures are
// returned as they are.
units::RunFailure placed(const units::RunFailure& failure, const RunState& st, const InputPlace& input);

}  // namespace elab
