#include "numtext/table_option.hpp"

namespace numtext {
namespace {

bool all_digits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The value as a script writes it in an object: a place as a number, a
// name as a JSON string.
std::string property_value(std::string_view value) {
  if (all_digits(value)) return std::string(value);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "\"";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': text += "\\\""; break;
      case '\\': text += "\\\\"; break;
      case '\b': text += "\\b"; break;
      case '\f': text += "\\f"; break;
      case '\n': text += "\\n"; break;
      case '\r': text += "\\r"; break;
      case '\t': text += "\\t"; break;
      default:
        if (byte < 0x20) {
          text += "\\u00";
          text += kHex[byte >> 4];
          text += kHex[byte & 0xf];
        } else {
          text += c;
        }
    }
  }
  return text + '"';
}

}  // namespace

std::string option_text(TableOption option, std::string_view value, Spelling spelling) {
  struct Names {
    std::string_view command_line, keyword;
  };
  static constexpr Names kNames[] = {
      {"--close", "close"}, {"--date-column", "date"}, {"--date-order", "date_order"}, {"--symbol", "symbol"}};
  const Names& n = kNames[static_cast<int>(option)];
  if (spelling == Spelling::property) return std::string(n.keyword) + ": " + property_value(value);
  std::string text(spelling == Spelling::command_line ? n.command_line : n.keyword);
  text += '=';
  text += value;
  return text;
}

}  // namespace numtext
