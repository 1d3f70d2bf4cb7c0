// The run driver: the whole run from the file name to the count line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/answers.hpp"
#include "cli/options.hpp"
#include "core/run_state.hpp"
#include "cli/console.hpp"

namespace prep {

// Runs once and returns the exit status.
int run(int argc, char** argv);

// One series as a run makes it: the price file of inv read, the core run
// with questions, the outputs laid down and put in place.
struct SeriesRun {
  const Invocation& inv;
  const Questions& questions;
  units::Console* console;  // asks a blank file name; null in a batch
  std::function<void(const std::string&)> warn;
  // Where set, the records as CSV rows of one dataset, led by series,
  // instead of the file of -o.
  std::string* dataset = nullptr;
  std::string_view series = {};
};

// The records written; throws units::RunFailure.
std::int32_t run_series(RunState& st, const SeriesRun& run);

}  // namespace prep
