#include "numtext/table_option.hpp"

namespace numtext {

std::string option_text(TableOption option, std::string_view value, Spelling spelling) {
  struct Names {
    std::string_view command_line, keyword;
  };
  static constexpr Names kNames[] = {
      {"--close", "close"}, {"--date-column", "date"}, {"--date-order", "date_order"}, {"--symbol", "symbol"}};
  const Names& n = kNames[static_cast<int>(option)];
  std::string text(spelling == Spelling::command_line ? n.command_line : n.keyword);
  text += '=';
  text += value;
  return text;
}

}  // namespace numtext
