// Several series in one run: every price file of the command line run with
// the same answers, side by side on the processors, each with its outputs
// named by the templates of -o and --dates ({name}, {symbol}), or all of
// them as one CSV dataset.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.hpp"
#include "cli/console.hpp"

namespace prep {

// One series to run: where its prices are, and its name in the templates,
// the reports and the Series column.
struct SeriesSource {
  std::string file;
  std::string name;  // the file's name without its directory and last extension
  std::optional<std::string> symbol;  // one symbol of a file of several
};

// The file's name as {name} gives it.
std::string series_name(std::string_view file);

// The series of the command line's price files, in their order.
std::vector<SeriesSource> series_of(const Invocation& inv);

// Whether a name holds {name} or {symbol}.
bool has_template(std::string_view name);
// The name with {name} and {symbol} replaced by the series'.
std::string expand_template(std::string_view name, const SeriesSource& series);

// The invocation of one series: its price file and its outputs' names.
Invocation invocation_of(const Invocation& inv, const SeriesSource& series);
// A command line of one price file, its templates filled in.
Invocation one_series(const Invocation& inv);

// --symbol=all: every symbol of each file is a series of its own.
bool all_symbols(const Invocation& inv);
// Whether a command line runs as a batch: several files or every symbol.
bool runs_as_batch(const Invocation& inv);

// Why the series of a command line cannot be run (the usage error's text),
// or nothing.
std::optional<std::string> batch_usage_error(const Invocation& inv);

// Runs every series and shows each one's end and the batch's; the status:
// 0 when every series was written, 1 otherwise. Throws UsageError, before
// anything is written, where a price file and an output are one file.
int run_batch(const Invocation& inv, units::Console& console);

}  // namespace prep
