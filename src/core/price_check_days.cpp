// The findings of --check on the days of the rows: what a run takes
// although a daily series of an exchange seldom looks like it.
#include <cstdint>
#include <string>

#include "numtext/date_text.hpp"
#include "core/price_check.hpp"

namespace prep {
namespace {

constexpr std::int64_t kLongestGap = 10;     // calendar days between two rows
constexpr std::int64_t kEqualCloses = 5;     // in a row
constexpr std::int64_t kRowsARunNeeds = 110;  // selected

constexpr std::string_view kWeekend[] = {"", "Sunday", "", "", "", "", "", "Saturday"};

}  // namespace

void check_days(const Matrix& MM, std::span<const std::int64_t> row_lines, Findings& out) {
  const auto rows = static_cast<std::int64_t>(row_lines.size());
  std::optional<numtext::CivilDate> previous;
  std::int64_t run_start = 1;
  for (std::int64_t i = 1; i <= rows; ++i) {
    const std::int64_t line = row_lines[static_cast<std::size_t>(i - 1)];
    auto day = numtext::calendar_day(MM(i, 1), MM(i, 2), MM(i, 3));
    if (day && day->year < 100) day.reset();  // a year of two digits is its own finding
    if (day) {
      const std::int32_t code = numtext::weekday_code(*day);
      if (code == 1 || code == 7) {
        out.push_back({i, line, numtext::iso_text(*day) + " is a " + std::string(kWeekend[code]) +
                                    ": exchanges do not trade then"});
      }
      if (previous) {
        const std::int64_t gap = numtext::days_from_civil(*day) - numtext::days_from_civil(*previous);
        if (gap > kLongestGap) {
          out.push_back({i, line, std::to_string(gap) + " calendar days after the previous row's " +
                                      numtext::iso_text(*previous) + ": days are missing"});
        }
      }
    }
    previous = day;
    // A run of equal closes is reported once, at its first row.
    const bool ends = i == rows || MM(i + 1, 6) != MM(i, 6);
    if (ends) {
      const std::int64_t n = i - run_start + 1;
      if (n >= kEqualCloses) {
        out.push_back({run_start, row_lines[static_cast<std::size_t>(run_start - 1)],
                       std::to_string(n) + " equal closes in a row, to row " + std::to_string(i) +
                           ": the series may have stopped"});
      }
      run_start = i + 1;
    }
  }
  if (rows < kRowsARunNeeds) {
    out.push_back({0, 0, std::to_string(rows) + (rows == 1 ? " row" : " rows") + ": a run needs at least " +
                             std::to_string(kRowsARunNeeds) + " selected rows"});
  }
}

}  // namespace prep
