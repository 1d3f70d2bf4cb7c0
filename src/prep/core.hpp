// The core of a run: from its price matrix through the records' rows, a
// function of the answers. It keeps nothing between runs and nothing for
// the whole process, writes to no console, and ends no process: every way
// a run cannot go on is thrown as units::RunFailure, for a front end to
// show (the program's dialogue in run.cpp, prepare() in prepare.cpp).
#pragma once

#include <span>

#include "numtext/csv_text.hpp"
#include "prep/answers.hpp"
#include "prep/price_file.hpp"
#include "prep/run_state.hpp"

namespace prep {

// NR, NC, the arrays and the rows of MM from a price file, with the stops
// of sizes that cannot be run.
void read_price_matrix(RunState& st, PriceFile& prices);

// The same from days in date order.
void take_price_days(RunState& st, std::span<const numtext::PriceDay> days);

// The rows of the dates asked, the series derived, the variable chosen and
// screened, the day asked: every record's row and value is then known.
void select_and_derive(RunState& st, const Questions& questions);

}  // namespace prep
