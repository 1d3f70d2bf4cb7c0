#include "numtext/quoted_text.hpp"

#include "numtext/messages.hpp"

namespace numtext {
namespace {

bool continues_a_character(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// 20000000 as 20,000,000.
std::string grouped(std::size_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

}  // namespace

std::string quoted_text(std::string_view text) {
  std::size_t characters = 0, cut = text.size();
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (continues_a_character(text[k]) && k > 0) continue;
    if (characters == kQuotedCharacters) cut = k;
    ++characters;
  }
  std::string out(1, '"');
  out.append(text.data(), cut);
  if (characters <= kQuotedCharacters) return out.append(1, '"');
  return out.append("\xE2\x80\xA6\"").append(message(Msg::characters_cut, {grouped(characters)}));
}

}  // namespace numtext
