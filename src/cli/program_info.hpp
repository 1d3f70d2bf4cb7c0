// What the command line asks about the program instead of a run: the usage
// (--help), the version, and the report of a command line that cannot run.
#pragma once

#include <string>

#include "cli/options.hpp"
#include "cli/console.hpp"

namespace elab {

void write_usage(units::Console& console);
void write_version(units::Console& console);

// The two lines of standard error for a usage error.
std::string usage_error_text(const UsageError& error);

}  // namespace elab
