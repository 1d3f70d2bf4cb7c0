// One series as a run makes it, from its sources and answers to its
// outputs: the price file read, the core run with the questions, the records
// of each set laid down and put in place; and --check of one series. The
// single run and the batch both build on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/answers.hpp"
#include "cli/file_identity.hpp"
#include "cli/options.hpp"
#include "core/run_state.hpp"
#include "numtext/vendor_table.hpp"
#include "platform/os.hpp"
#include "cli/console.hpp"
#include "units/output_file.hpp"

namespace elab {

// One series as a run makes it: the price file of inv read, the core run
// with questions, the outputs laid down and put in place.
struct SeriesRun {
  const Invocation& inv;
  const Questions& questions;
  units::Console* console;  // asks a blank file name; null in a batch
  std::function<void(const std::string&)> warn;
  // Where set, the records as CSV rows of one dataset instead of the file
  // of -o.
  std::string* dataset = nullptr;
  // The Series column's value; where empty, the symbol or the file's stem.
  std::string_view series = {};
  // Where set, the series of a table read once (inv.table.symbol's),
  // instead of the price file read again.
  const numtext::SymbolRecords* table = nullptr;
  std::size_t table_series = 0;
};

// The records written: of the training file, or of each set with a test
// date.
struct SeriesCounts {
  std::int32_t records = 0;  // the training set's, with a test date
  std::optional<std::int32_t> test;
};

// Throws units::RunFailure, or UsageError where the price file and an
// output are one file.
SeriesCounts run_series(RunState& st, const SeriesRun& run);

// --check of the price file of inv: its findings on the console, as
// records or, in the many-files mode, as lines of the system's line end;
// whether there were any. Throws units::RunFailure.
// table: the series of a table read once, instead of the file read again.
bool check_series(const Invocation& inv, units::Console& console, bool own_lines = false,
                  const numtext::SymbolRecords* table = nullptr, std::size_t series = 0);

// The price file, -o and --dates of inv are distinct by what they are,
// however spelled; throws UsageError naming the two that are one.
void check_distinct_files(const std::string& price_file, const Invocation& inv);

// The training file or dataset named by an output option: written in place
// through standard output or a descriptor, otherwise to a temporary that
// replaces it. Throws units::RunFailure.
std::unique_ptr<units::OutputFile> open_output(const std::string& name);

}  // namespace elab
