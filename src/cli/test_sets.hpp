// The two sets of a run with a test date, as the command line names their
// files: {set} in -o and --dates stands for "train" or "test".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.hpp"

namespace elab {

// The sets a run writes, in order: none named without a test date.
std::vector<std::string_view> sets_of(const Invocation& inv);

// The invocation of one set: {set} in its outputs' names replaced by set.
Invocation invocation_of_set(const Invocation& inv, std::string_view set);

// Why the outputs cannot hold the two sets (the usage error's text), or
// nothing.
std::optional<std::string> sets_usage_error(const Invocation& inv);

}  // namespace elab
