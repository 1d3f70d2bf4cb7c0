// What the command line asks, whole: its options read, then checked against
// the rules of many files and of the two sets, before anything runs.
#pragma once

#include <span>
#include <string_view>

#include "cli/options.hpp"

namespace elab {

// The arguments after the program's name. Throws UsageError.
Invocation command_line(std::span<const std::string_view> args);

}  // namespace elab
