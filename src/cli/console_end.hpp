// The end of a run as the program shows it: the stops on the console, the
// error reports on standard error. The console is closed afterwards by the
// caller, which writes the line end of a line still pending.
#pragma once

#include "cli/console.hpp"
#include "units/run_failure.hpp"

namespace units {

// "Stop - Program terminated." after a run that went through.
void show_normal_stop(Console& console);

// "elab: warning: " and the text on standard error in one write, after the
// console's text; the run goes on. A single run's line ends in CR LF as its
// reports do; the many-files mode gives the system's line end.
void show_warning(Console& console, std::string_view text, std::string_view line_end = "\r\n");

// A stop's text (with its record first when it shows a code), or the error
// report on standard error with the console's text written out before it.
void show_failure(Console& console, const RunFailure& failure);

}  // namespace units
