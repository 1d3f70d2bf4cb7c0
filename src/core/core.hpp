// The core of a run: from its price matrix through the records' rows, a
// function of the answers. It keeps nothing between runs and nothing for
// the whole process, writes to no console, and ends no process: every way
// a run cannot go on is thrown as units::RunFailure, for a front end to
// show (the program's dialogue in src/cli/run.cpp, prepare() in prepare.cpp).
#pragma once

#include <memory>
#include <span>

#include "numtext/csv_text.hpp"
#include "platform/side_by_side.hpp"
#include "core/answers.hpp"
#include "core/price_file.hpp"
#include "core/run_state.hpp"

namespace elab {

// NR, NC, the arrays and the rows of MM from a price file, with the stops
// of sizes that cannot be run. Returns the call's second thread, made from
// the rows to be read, which reads them with this one; null where a second
// thread does not pay. The caller hands it to the later stages and lets it
// end before returning: no thread outlives a call.
std::unique_ptr<platform::SecondThread> read_price_matrix(RunState& st, PriceFile& prices);

// The same from days in date order.
std::unique_ptr<platform::SecondThread> take_price_days(RunState& st,
                                                        std::span<const numtext::PriceDay> days);

// The fewest rows a run takes, and its stop when fewer are selected.
inline constexpr std::string_view kTooFewRowsStop = "Righe selezionate insufficienti: ne servono almeno 110";

// The rows of the dates asked, the series derived, the variable chosen and
// screened, the day asked: every record's row and value is then known.
// second, where there is one, takes half of the steps that split. With a
// test date given, st is then the training set (enter_test_set makes it the
// test set). A refusal of the test date names it in the caller's spelling.
void select_and_derive(RunState& st, const Questions& questions, platform::SecondThread* second, Spelling spelling);

}  // namespace elab
