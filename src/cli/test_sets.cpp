#include "cli/test_sets.hpp"

#include "numtext/messages.hpp"

namespace elab {
namespace {

constexpr std::string_view kSet = "{set}";
constexpr std::string_view kSets[] = {"train", "test"};

bool names_set(std::string_view name) { return name.find(kSet) != std::string_view::npos; }

std::string expand_set(std::string_view name, std::string_view set) {
  std::string out;
  for (std::size_t at = 0; at < name.size();) {
    if (name.substr(at).starts_with(kSet)) {
      out += set;
      at += kSet.size();
    } else {
      out += name[at++];
    }
  }
  return out;
}

}  // namespace

std::vector<std::string_view> sets_of(const Invocation& inv) {
  if (!inv.answers.test_from) return {std::string_view()};
  return {std::begin(kSets), std::end(kSets)};
}

Invocation invocation_of_set(const Invocation& inv, std::string_view set) {
  if (set.empty()) return inv;
  Invocation one = inv;
  one.output = expand_set(inv.output, set);
  if (inv.dates) one.dates = expand_set(*inv.dates, set);
  return one;
}

std::optional<std::string> sets_usage_error(const Invocation& inv) {
  using numtext::Msg;
  if (!inv.answers.test_from) {
    if (names_set(inv.output) || (inv.dates && names_set(*inv.dates))) {
      return numtext::message(Msg::set_template_needs_test_from);
    }
    return std::nullopt;
  }
  // One CSV file takes both sets, told apart by its Set column; fixed
  // columns have no room for it.
  if (inv.csv && names_set(inv.output)) return numtext::message(Msg::csv_holds_both_sets);
  if (!inv.csv && !names_set(inv.output)) return numtext::message(Msg::test_from_needs_output_set);
  if (inv.dates && !names_set(*inv.dates)) return numtext::message(Msg::test_from_needs_dates_set);
  return std::nullopt;
}

}  // namespace elab
