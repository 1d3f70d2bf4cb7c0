// How a column of a vendor's table writes its numbers: thousands grouped by
// a point, a comma, an apostrophe or a blank (1,198.75, 1.785,60, 1'785.60,
// 1 785,60), a currency sign or code around the number ($273.73, 273,73 €,
// EUR 273.73), and the decimal mark the column's own values show. The
// value itself is then read by the one real conversion, whole_real.
#pragma once

#include <cstdint>
#include <string_view>

namespace numtext {

enum class DecimalMark : std::uint8_t {
  none,             // the value shows no mark: 1785, 1'785
  point,            // 1.5, 1,198.75, 1,198,750
  comma,            // 1,5, 1.785,60, 1.198.750
  point_or_comma,   // 1,198: a thousands comma, or a decimal comma
  point_or_group,   // 1.785: a decimal point, or a thousands point
};

// The number without a currency sign or code and the blanks around it.
std::string_view without_currency(std::string_view field);

// What one value (without its currency) shows of the decimal mark.
DecimalMark mark_shown(std::string_view number);

// The column's decimal mark, point or comma, from every value's; a column
// whose values show both throws at the value that disagrees, one that shows
// neither takes the separator's rule: a comma is the decimal mark where the
// separator is a semicolon or a tab.
class NumberColumn {
 public:
  explicit NumberColumn(char separator) : separator_(separator) {}
  // Takes one value's mark; false when it disagrees with the marks before.
  bool take(DecimalMark shown, std::int64_t line);
  // The decimal mark; false in ambiguous when a comma was met that no
  // value settles (1,198 in a file separated by commas): its line in
  // ambiguous_line.
  bool decided(DecimalMark& mark) const;
  std::int64_t ambiguous_line() const { return ambiguous_line_; }

 private:
  char separator_;
  DecimalMark settled_ = DecimalMark::none;
  std::int64_t ambiguous_line_ = 0;
};

// The value of a number of the column (after without_currency) with mark
// (point or comma) as its decimal mark. Throws IoFailure as whole_real
// does, also for thousands that are not groups of three digits.
float styled_number(std::string_view number, DecimalMark mark);

}  // namespace numtext
