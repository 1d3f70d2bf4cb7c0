// The choices of a table's reading as a front end spells them: the command
// line's options (--close=NAME), Python's keywords (close=NAME) or the
// JavaScript API's properties (close: "NAME", close: 3). The
// reading says which choice is the way out; the spelling is the caller's.
#pragma once

#include <string>
#include <string_view>

#include "elab/table.hpp"

namespace numtext {

enum class TableOption { close, date_column, date_order, symbol };
using elab::Spelling;

// The option with its value: "--date-order=dmy", "date_order=dmy",
// "date_order: \"dmy\"".
std::string option_text(TableOption option, std::string_view value, Spelling spelling);

}  // namespace numtext
