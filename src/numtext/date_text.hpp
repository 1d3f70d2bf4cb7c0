// Dates: the calendar (proleptic Gregorian), the price file's weekday code
// (Sunday 1, Monday 2 .. Friday 6, Saturday 7), the date key the dialogue
// takes, a row's year, month and day values as a day, the ISO text, and
// every written form of a date the price readers accept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "elab/table.hpp"

namespace numtext {

class EditList;
struct FieldValue;

using elab::CivilDate;

inline bool is_leap_year(std::int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

inline bool is_calendar_date(const CivilDate& d) {
  constexpr std::int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d.month < 1 || d.month > 12 || d.day < 1) return false;
  return d.day <= kDays[d.month - 1] + (d.month == 2 && is_leap_year(d.year) ? 1 : 0);
}

// Days since 1970-01-01 of a calendar date.
inline std::int64_t days_from_civil(const CivilDate& d) {
  const std::int64_t y = d.year - (d.month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// 1970-01-01 was a Thursday, code 5.
inline std::int32_t weekday_code(const CivilDate& d) {
  const std::int64_t from_sunday = ((days_from_civil(d) + 4) % 7 + 7) % 7;
  return static_cast<std::int32_t>(from_sunday) + 1;
}

// (year - 1900) * 10000 + month * 100 + day in double, truncated toward zero;
// nothing when the key does not fit a 32-bit integer.
std::optional<std::int32_t> date_key(float year, float month, float day);

// A year, month or day value that is a whole number of 32 bits.
bool is_date_part(float x);

// A row's year, month and day values as a day of the calendar: whole
// numbers that name one; nothing for any other values.
std::optional<CivilDate> calendar_day(float year, float month, float day);

// The layout of a day's text, YYYY-MM-DD, as the record writer takes it.
const EditList& iso_date_layout();
// A year, month or day value as its field of that layout.
FieldValue date_field(float x);
// A row's day as YYYY-MM-DD; a value that is no whole number shows as
// asterisks in its field.
std::string iso_text(float year, float month, float day);
std::string iso_text(const CivilDate& date);

// YYYY-MM-DD of a day of the calendar; nothing for any other text.
std::optional<CivilDate> iso_date(std::string_view text);

using elab::DateOrder;

// The written form of a date, without its time of day: year first
// (2026-12-08, 2026/12/08, 2026.12.08, 20261208), day or month first
// (08/12/2026, 08.12.2026, 08-12-2026), or a month named in English
// (Dec 08, 2026, 08-Dec-2026, 8 Dec 2026).
// A year of two digits (08/12/26, 08-Dec-26) is read by the POSIX rule: 69
// to 99 as 1969 to 1999, 00 to 68 as 2000 to 2068. A weekday's name may lead
// (Tue 08 Dec 2026); the months are named in the languages of the exports
// read here, and Chinese, Japanese and Korean mark the year, month and day
// (2026年12月8日).
enum class DateForm : std::uint8_t {
  year_first,
  compact,
  numbers_then_year,
  month_name_first,
  day_then_month_name,
  year_first_marked,  // separator 'J' for 年月日, 'K' for 년 월 일
};

// A date field taken apart: for numbers_then_year, first and second are
// the two numbers in the order written; for the others month and day.
struct DateParts {
  DateForm form = DateForm::year_first;
  char separator = '-';
  std::int32_t year = 0;
  std::int32_t first = 0;   // the month, or the first number
  std::int32_t second = 0;  // the day, or the second number
  std::uint8_t year_digits = 4;  // 2: the year was written 26 for 2026
};

// A date in any of the forms, followed or not by a time of day and an
// offset or Z (2025-03-07T00:00:00-05:00): the date as written. Nothing for
// any other text. The parts need not name a day of the calendar.
std::optional<DateParts> date_parts(std::string_view text);
// What date_parts gives for a text of form's own plain layout (YYYY-MM-DD,
// DD/MM/YYYY or YYYYMMDD with its separator and a four-digit year), read
// without trying the other forms; nothing for any other text, which
// date_parts then reads.
std::optional<DateParts> same_layout_parts(std::string_view text, const DateParts& form);

// Both parts of one form: the same form, separator and digits of the year.
inline bool same_form(const DateParts& a, const DateParts& b) {
  return a.form == b.form && a.year_digits == b.year_digits &&
         (a.form == DateForm::compact || a.form == DateForm::month_name_first ||
          a.form == DateForm::day_then_month_name || a.separator == b.separator);
}

// The form as a pattern for a report: "YYYY-MM-DD", "DD.MM.YYYY", ...;
// with the order unknown, "DD/MM/YYYY or MM/DD/YYYY".
std::string form_name(const DateParts& parts, DateOrder order);

// What one date of the form says of the order: dmy where the first number
// cannot be a month, mdy where the second cannot; unknown otherwise.
DateOrder order_shown(const DateParts& parts);

// The date, with the order of its form's numbers.
CivilDate date_of(const DateParts& parts, DateOrder order);

}  // namespace numtext
