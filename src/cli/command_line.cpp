#include "cli/command_line.hpp"

#include "cli/series_batch.hpp"
#include "cli/test_sets.hpp"

namespace elab {

Invocation command_line(std::span<const std::string_view> args) {
  Invocation inv = parse_command_line(args);
  if (inv.action != Invocation::Action::run) return inv;
  if (inv.check) {
    if (const auto refused = several_files_error(inv)) throw UsageError{*refused};
    return inv;
  }
  if (const auto refused = batch_usage_error(inv)) throw UsageError{*refused};
  if (const auto refused = sets_usage_error(inv)) throw UsageError{*refused};
  return inv;
}

}  // namespace elab
