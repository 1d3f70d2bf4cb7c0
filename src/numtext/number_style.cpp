#include "numtext/number_style.hpp"

#include <cstring>
#include <optional>
#include <string>

#include "numtext/plain_decimal.hpp"
#include "numtext/real_text.hpp"
#include "numtext/text_failure.hpp"

namespace numtext {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }

// The signs and blanks that may stand around a number, as UTF-8.
constexpr std::string_view kAround[] = {" ", "\t", "\xC2\xA0" /* no-break space */,
                                        "\xE2\x80\xAF" /* narrow no-break space */,
                                        "$", "\xE2\x82\xAC" /* euro */, "\xC2\xA3" /* pound */,
                                        "\xC2\xA5" /* yen */};

// Thousands separators besides the point and the comma.
constexpr std::string_view kGroups[] = {"'", "\xE2\x80\x99" /* right single quote */, " ", "\xC2\xA0",
                                        "\xE2\x80\xAF"};

std::size_t sign_at_front(std::string_view s) {
  for (const std::string_view a : kAround)
    if (s.starts_with(a)) return a.size();
  std::size_t n = 0;
  while (n < s.size() && n < 3 && is_upper(s[n])) ++n;  // a code: EUR, USD, CHF
  return n;
}

std::size_t sign_at_back(std::string_view s) {
  for (const std::string_view a : kAround)
    if (s.ends_with(a)) return a.size();
  std::size_t n = 0;
  while (n < s.size() && n < 3 && is_upper(s[s.size() - 1 - n])) ++n;
  return n;
}

std::size_t group_at(std::string_view s, char other) {
  if (!s.empty() && s[0] == other) return 1;
  for (const std::string_view g : kGroups)
    if (s.starts_with(g)) return g.size();
  return 0;
}

// Exactly three digits after pos, then the end.
bool three_digits_then_end(std::string_view s, std::size_t pos) {
  return s.size() == pos + 4 && is_digit(s[pos + 1]) && is_digit(s[pos + 2]) && is_digit(s[pos + 3]);
}

}  // namespace

std::string_view without_currency(std::string_view field) {
  for (std::size_t n; !field.empty() && (n = sign_at_front(field)) > 0;) field.remove_prefix(n);
  for (std::size_t n; !field.empty() && (n = sign_at_back(field)) > 0;) field.remove_suffix(n);
  return field;
}

DecimalMark mark_shown(std::string_view s) {
  const std::size_t point = s.rfind('.');
  const std::size_t comma = s.rfind(',');
  const bool points = point != std::string_view::npos;
  const bool commas = comma != std::string_view::npos;
  if (points && commas) return point > comma ? DecimalMark::point : DecimalMark::comma;
  if (commas) {
    if (s.find(',') != comma) return DecimalMark::point;  // 1,198,750
    return three_digits_then_end(s, comma) ? DecimalMark::point_or_comma : DecimalMark::comma;
  }
  if (points) {
    if (s.find('.') != point) return DecimalMark::comma;  // 1.198.750
    return three_digits_then_end(s, point) ? DecimalMark::point_or_group : DecimalMark::point;
  }
  return DecimalMark::none;
}

bool NumberColumn::take(DecimalMark shown, std::int64_t line) {
  if (shown == DecimalMark::point || shown == DecimalMark::comma) {
    if (settled_ == DecimalMark::none) settled_ = shown;
    return settled_ == shown;
  }
  if (shown == DecimalMark::point_or_comma && ambiguous_line_ == 0) ambiguous_line_ = line;
  return true;
}

bool NumberColumn::decided(DecimalMark& mark) const {
  if (settled_ != DecimalMark::none) {
    mark = settled_;
  } else if (ambiguous_line_ != 0) {
    if (separator_ == ',') return false;
    mark = DecimalMark::comma;
  } else {
    mark = DecimalMark::point;
  }
  return true;
}

namespace {

// Digits with at most one point between them, eight characters at most (a
// price as nearly every file writes it): the own format's fast path, which
// gives what whole_real gives.
std::optional<float> short_plain_decimal(std::string_view s) {
  if (s.empty() || s.size() > 8 || !is_digit(s.front()) || !is_digit(s.back())) return std::nullopt;
  char word[16] = {};
  std::memcpy(word, s.data(), s.size());
  float f = 0.0f;
  if (plain_decimal(word, word + s.size(), word + sizeof word, f) != word + s.size()) return std::nullopt;
  return f;
}

}  // namespace

float styled_number(std::string_view s, DecimalMark mark) {
  const char decimal = mark == DecimalMark::comma ? ',' : '.';
  const char other = decimal == '.' ? ',' : '.';
  bool plain = true;
  for (const char c : s) plain = plain && c != other && c != '\'' && c != ' ' && static_cast<unsigned char>(c) < 0x80;
  if (plain && decimal == '.') {
    if (const auto v = short_plain_decimal(s)) return *v;
    return whole_real(s.data(), s.data() + s.size());
  }
  std::string text;
  text.reserve(s.size());
  bool after_mark = false;
  for (std::size_t k = 0; k < s.size();) {
    if (const std::size_t g = group_at(s.substr(k), other); g > 0) {
      // A thousands separator stands between a digit and three digits.
      const std::size_t next = k + g;
      const bool group = !after_mark && !text.empty() && is_digit(text.back()) && next + 3 <= s.size() &&
                         is_digit(s[next]) && is_digit(s[next + 1]) && is_digit(s[next + 2]) &&
                         (next + 3 == s.size() || !is_digit(s[next + 3]));
      if (!group) throw IoFailure{fnum::kInvalidReal};
      k = next;
      continue;
    }
    const char c = s[k++];
    if (c == decimal) after_mark = true;
    text += c == decimal ? '.' : c;
  }
  return whole_real(text.data(), text.data() + text.size());
}

}  // namespace numtext
