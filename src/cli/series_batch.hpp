// Several series in one run: every price file of the command line run with
// the same answers, side by side on the processors, each with its outputs
// named by the templates of -o and --dates ({name}, {symbol}), or all of
// them as one CSV dataset.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numtext/vendor_table.hpp"
#include "cli/options.hpp"
#include "cli/console.hpp"

namespace elab {

// One series to run: where its prices are, and its name in the templates,
// the reports and the Series column.
struct SeriesSource {
  std::string file;
  std::string name;  // {name}: the file's, by the rule of series_names()
  std::optional<std::string> symbol;  // one symbol of a file of several
  std::string label;  // of its end line and in the Series column
  numtext::TableChoice table;  // the command's choices, or its own where --sources gives them
  // A file of several read once for all its symbols, and this symbol's
  // series in it.
  std::shared_ptr<const numtext::SymbolRecords> read_once;
  std::size_t read_once_series = 0;
};

// The file, and the symbol in parentheses, leading the series' lines.
std::string series_place(const SeriesSource& series);

// The series of the command line's price files, in their order.
std::vector<SeriesSource> series_of(const Invocation& inv);
// Those of a batch: with --symbol=all, each symbol of each file.
std::vector<SeriesSource> batch_series(const Invocation& inv);

// Whether a name holds {name} or {symbol}.
bool has_template(std::string_view name);
// The name with {name} and {symbol} replaced by the series' in their safe
// form (safe_file_name()); throws UsageError where the value is empty.
std::string expand_template(std::string_view name, const SeriesSource& series);

// The invocation of one series: its price file and its outputs' names.
Invocation invocation_of(const Invocation& inv, const SeriesSource& series);
// A command line of one price file, its templates filled in.
Invocation one_series(const Invocation& inv);

// --symbol=all, on the command line or for a file of --sources: every
// symbol of such a file is a series of its own.
bool all_symbols(const Invocation& inv);
// Whether a command line runs as a batch: several files or every symbol.
bool runs_as_batch(const Invocation& inv);

// Why the price files of a command line cannot be several (standard input
// or a blank name among them, one file given twice), or nothing.
std::optional<std::string> several_files_error(const Invocation& inv);

// Why the series of a command line cannot be run (the usage error's text),
// or nothing.
std::optional<std::string> batch_usage_error(const Invocation& inv);

// Before anything is written: no output of a series is a price file of the
// batch, and no two series write one file. Throws UsageError naming both.
void check_batch_files(const Invocation& inv, const std::vector<SeriesSource>& series);

// Runs every series and shows each one's end and the batch's; the status:
// 0 when every series was written, 1 otherwise. Throws UsageError, before
// anything is written, where check_batch_files() finds files that are one.
int run_batch(const Invocation& inv, units::Console& console);

// --check of each series, its findings under a line naming it; the status:
// 0 when none has a finding or a failure, 1 otherwise.
int check_batch(const Invocation& inv, units::Console& console);

}  // namespace elab
