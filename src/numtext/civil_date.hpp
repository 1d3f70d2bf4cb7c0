// Dates of the calendar (proleptic Gregorian) and the price file's weekday
// code: Sunday 1, Monday 2 .. Friday 6, Saturday 7.
#pragma once

#include <cstdint>

namespace numtext {

struct CivilDate {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;

  friend bool operator==(const CivilDate&, const CivilDate&) = default;
  friend auto operator<=>(const CivilDate&, const CivilDate&) = default;
};

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

}  // namespace numtext
