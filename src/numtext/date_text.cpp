#include "numtext/date_text.hpp"

#include <cmath>

#include "numtext/edit_list.hpp"
#include "numtext/record_writer.hpp"

namespace numtext {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The largest whole float magnitude a date part can take: beyond it no
// part fits 32 bits.
constexpr float kPartLimit = 2147483648.0f;

bool is_part_value(float x) { return x == std::trunc(x) && x > -kPartLimit && x < kPartLimit; }


// Reads the text from a position on; every reading function leaves the
// position after what it took, or where it was when it took nothing.
struct Scan {
  std::string_view s;
  std::size_t at = 0;

  bool done() const { return at == s.size(); }
  char peek() const { return done() ? '\0' : s[at]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++at;
    return true;
  }
  // 1 to most digits; their count in n.
  std::optional<std::int32_t> number(std::size_t most, std::size_t& n) {
    std::int32_t v = 0;
    n = 0;
    while (!done() && is_digit(s[at]) && n < most + 1) v = v * 10 + (s[at++] - '0'), ++n;
    if (n == 0 || n > most) return std::nullopt;
    return v;
  }
  std::string_view word() {
    const std::size_t from = at;
    while (!done() && is_letter(s[at])) ++at;
    return s.substr(from, at - from);
  }
  void blanks() {
    while (peek() == ' ') ++at;
  }
};

constexpr std::string_view kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                                        "july",    "august",   "september", "october", "november", "december"};

// Jan, Jan., January, any case; Sept too.
std::optional<std::int32_t> month_named(std::string_view w) {
  if (w.size() < 3) return std::nullopt;
  for (std::size_t m = 0; m < 12; ++m) {
    const std::string_view full = kMonths[m];
    if (w.size() > full.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < w.size() && same; ++k) same = lower(w[k]) == full[k];
    if (same && (w.size() == 3 || w.size() == full.size() || (m == 8 && w.size() == 4)))
      return static_cast<std::int32_t>(m + 1);
  }
  return std::nullopt;
}

// What may follow a date: nothing, or a time of day after a blank or T,
// with seconds, fractions, AM/PM, and an offset, Z or UTC.
bool time_of_day(std::string_view rest) {
  if (rest.empty()) return true;
  if (rest[0] != ' ' && rest[0] != 'T') return false;
  rest.remove_prefix(1);
  while (!rest.empty() && rest[0] == ' ') rest.remove_prefix(1);
  if (rest.empty() || !is_digit(rest[0])) return false;
  bool colon = false;
  for (std::size_t k = 0; k < rest.size(); ++k) {
    const char c = rest[k];
    if (c == ':') {
      colon = true;
    } else if (is_letter(c)) {
      if (std::string_view("AMPZUTCG").find(c) == std::string_view::npos) return false;
    } else if (!is_digit(c) && c != '.' && c != '+' && c != '-' && c != ' ') {
      return false;
    }
  }
  return colon;
}

std::optional<DateParts> numbers_first(Scan sc) {
  std::size_t n1 = 0, n2 = 0, n3 = 0;
  const auto a = sc.number(8, n1);
  if (!a) return std::nullopt;
  DateParts p;
  if (n1 == 8) {
    p = {DateForm::compact, '\0', *a / 10000, *a / 100 % 100, *a % 100};
  } else {
    const char sep = sc.peek();
    if (sep != '-' && sep != '/' && sep != '.') return std::nullopt;
    ++sc.at;
    const auto b = sc.number(2, n2);
    if (!b || !sc.take(sep)) return std::nullopt;
    const auto c = sc.number(4, n3);
    if (!c) return std::nullopt;
    if (n1 == 4 && n3 <= 2) {
      p = {DateForm::year_first, sep, *a, *b, *c};
    } else if (n1 <= 2 && n3 == 4) {
      p = {DateForm::numbers_then_year, sep, *c, *a, *b};
    } else {
      return std::nullopt;
    }
  }
  if (!time_of_day(sc.s.substr(sc.at))) return std::nullopt;
  return p;
}

// Dec 08, 2026; December 8 2026; 08-Dec-2026; 8 Dec 2026.
std::optional<DateParts> with_month_name(Scan sc) {
  DateParts p;
  std::size_t n = 0;
  if (is_letter(sc.peek())) {
    const auto m = month_named(sc.word());
    if (!m) return std::nullopt;
    sc.take('.');
    sc.blanks();
    const auto d = sc.number(2, n);
    if (!d) return std::nullopt;
    sc.take(',');
    if (!sc.take(' ')) return std::nullopt;
    sc.blanks();
    p = {DateForm::month_name_first, ' ', 0, *m, *d};
  } else {
    const auto d = sc.number(2, n);
    if (!d) return std::nullopt;
    const char sep = sc.peek();
    if (sep != '-' && sep != ' ' && sep != '/') return std::nullopt;
    ++sc.at;
    const auto m = month_named(sc.word());
    if (!m) return std::nullopt;
    sc.take('.');
    if (!sc.take(sep)) return std::nullopt;
    p = {DateForm::day_then_month_name, sep, 0, *m, *d};
  }
  const auto y = sc.number(4, n);
  if (!y || n != 4 || !time_of_day(sc.s.substr(sc.at))) return std::nullopt;
  p.year = *y;
  return p;
}

std::string two(char a) { return std::string(2, a); }

}  // namespace

std::optional<std::int32_t> date_key(float year, float month, float day) {
  const double key = (static_cast<double>(year) - 1900.0) * 10000.0 +
                     static_cast<double>(month) * 100.0 + static_cast<double>(day);
  // Truncation toward zero fits exactly when -2^31 - 1 < key < 2^31.
  if (!(key > -2147483649.0 && key < 2147483648.0)) return std::nullopt;
  return static_cast<std::int32_t>(key);
}

bool is_date_part(float x) { return is_part_value(x); }

// A whole number as an integer field; anything else shows as asterisks.
FieldValue date_field(float x) {
  if (is_date_part(x)) return FieldValue::of(static_cast<std::int32_t>(x));
  return FieldValue::of(x);
}

std::optional<CivilDate> calendar_day(float year, float month, float day) {
  if (!is_date_part(year) || !is_date_part(month) || !is_date_part(day)) return std::nullopt;
  const CivilDate d{static_cast<std::int32_t>(year), static_cast<std::int32_t>(month),
                    static_cast<std::int32_t>(day)};
  if (!is_calendar_date(d)) return std::nullopt;
  return d;
}

const EditList& iso_date_layout() {
  static const auto list = EditList::parse("(I4.4,'-',I2.2,'-',I2.2)");
  return list;
}

std::string iso_text(float year, float month, float day) {
  RecordWriter writer;
  const FieldValue parts[] = {date_field(year), date_field(month), date_field(day)};
  std::string text;
  writer.write(iso_date_layout(), parts, [&](std::string_view record) { text = record; });
  return text;
}

std::string iso_text(const CivilDate& date) {
  RecordWriter writer;
  const FieldValue parts[] = {FieldValue::of(date.year), FieldValue::of(date.month), FieldValue::of(date.day)};
  std::string text;
  writer.write(iso_date_layout(), parts, [&](std::string_view record) { text = record; });
  return text;
}

std::optional<CivilDate> iso_date(std::string_view text) {
  const auto parts = date_parts(text);
  if (!parts || parts->form != DateForm::year_first || parts->separator != '-' || text.size() != 10)
    return std::nullopt;
  const CivilDate d = date_of(*parts, DateOrder::unknown);
  if (!is_calendar_date(d)) return std::nullopt;
  return d;
}

std::optional<DateParts> date_parts(std::string_view text) {
  const Scan sc{text, 0};
  if (is_digit(sc.peek())) {
    if (auto p = numbers_first(sc)) return p;
  }
  return with_month_name(sc);
}

std::string form_name(const DateParts& p, DateOrder order) {
  const std::string sep(1, p.separator);
  switch (p.form) {
    case DateForm::year_first: return "YYYY" + sep + "MM" + sep + "DD";
    case DateForm::compact: return "YYYYMMDD";
    case DateForm::month_name_first: return "Mon DD, YYYY";
    case DateForm::day_then_month_name: return "DD" + sep + "Mon" + sep + "YYYY";
    case DateForm::numbers_then_year: break;
  }
  const std::string dmy = two('D') + sep + two('M') + sep + "YYYY";
  const std::string mdy = two('M') + sep + two('D') + sep + "YYYY";
  if (order == DateOrder::dmy) return dmy;
  if (order == DateOrder::mdy) return mdy;
  return dmy + " or " + mdy;
}

DateOrder order_shown(const DateParts& p) {
  if (p.form != DateForm::numbers_then_year) return DateOrder::unknown;
  if (p.first > 12 && p.second <= 12) return DateOrder::dmy;
  if (p.second > 12 && p.first <= 12) return DateOrder::mdy;
  return DateOrder::unknown;
}

CivilDate date_of(const DateParts& p, DateOrder order) {
  if (p.form == DateForm::numbers_then_year && order == DateOrder::dmy) return {p.year, p.second, p.first};
  return {p.year, p.first, p.second};
}

}  // namespace numtext
