// The findings of --check on the days of the rows: what a run takes
// although a daily series of an exchange seldom looks like it.
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "numtext/date_text.hpp"
#include "core/core.hpp"
#include "core/price_check.hpp"
#include "units/run_failure.hpp"

namespace elab {
namespace {

constexpr std::int64_t kLongestGap = 10;     // calendar days between two rows
constexpr std::int64_t kEqualCloses = 5;     // in a row

constexpr std::string_view kWeekend[] = {"", "Sunday", "", "", "", "", "", "Saturday"};

}  // namespace

void each_day_finding(const Matrix& MM, std::int64_t rows, const DayFound& found) {
  std::optional<numtext::CivilDate> previous;
  std::int64_t run_start = 1;
  for (std::int64_t i = 1; i <= rows; ++i) {
    auto day = numtext::calendar_day(MM(i, 1), MM(i, 2), MM(i, 3));
    if (day && day->year < 100) day.reset();  // a year of two digits is its own finding
    if (day) {
      const std::int32_t code = numtext::weekday_code(*day);
      if (code == 1 || code == 7) {
        found(DayKind::weekend, i,
              numtext::iso_text(*day) + " is a " + std::string(kWeekend[code]) + ": exchanges do not trade then");
      }
      if (previous) {
        const std::int64_t gap = numtext::days_from_civil(*day) - numtext::days_from_civil(*previous);
        if (gap > kLongestGap) {
          found(DayKind::gap, i,
                std::to_string(gap) + " calendar days after the previous row's " + numtext::iso_text(*previous) +
                    ": days are missing");
        }
      }
    }
    previous = day;
    // A run of equal closes is reported once, at its first row.
    const bool ends = i == rows || MM(i + 1, 6) != MM(i, 6);
    if (ends) {
      const std::int64_t n = i - run_start + 1;
      if (n >= kEqualCloses) {
        found(DayKind::equal_closes, run_start,
              std::to_string(n) + " equal closes in a row, to row " + std::to_string(i) + ": the series may have stopped");
      }
      run_start = i + 1;
    }
  }
  if (rows < kLeastRows) {
    found(DayKind::few_rows, 0,
          std::to_string(rows) + (rows == 1 ? " row" : " rows") + ": a run needs at least " +
              std::to_string(kLeastRows) + " selected rows");
  }
}

void check_days(const Matrix& MM, std::span<const std::int64_t> row_lines, Findings& out) {
  each_day_finding(MM, static_cast<std::int64_t>(row_lines.size()),
                   [&](DayKind, std::int64_t row, std::string what) {
                     const std::int64_t line = row > 0 ? row_lines[static_cast<std::size_t>(row - 1)] : 0;
                     out.push_back({row, line, std::move(what)});
                   });
}

std::vector<std::string> day_warnings(const Matrix& M, std::int64_t rows) {
  struct Kind {
    DayKind kind;
    std::string_view one, many;
    std::string rest;
    std::string_view first;  // the date of the first, in relation to the finding
  };
  const Kind kKinds[] = {
      {DayKind::weekend, "row", "rows", "on a Saturday or Sunday", "on"},
      {DayKind::gap, "gap", "gaps", "of more than " + std::to_string(kLongestGap) + " calendar days", "before"},
      {DayKind::equal_closes, "run", "runs", "of " + std::to_string(kEqualCloses) + " or more equal closes", "from"},
  };
  std::int64_t counts[std::size(kKinds)] = {};
  std::int64_t firsts[std::size(kKinds)] = {};
  each_day_finding(M, rows, [&](DayKind kind, std::int64_t row, const std::string&) {
    for (std::size_t k = 0; k < std::size(kKinds); ++k) {
      if (kKinds[k].kind != kind) continue;
      if (counts[k]++ == 0) firsts[k] = row;
    }
  });
  std::vector<std::string> lines;
  for (std::size_t k = 0; k < std::size(kKinds); ++k) {
    if (counts[k] == 0) continue;
    const std::int64_t i = firsts[k];
    lines.push_back(std::to_string(counts[k]) + " " +
                    std::string(counts[k] == 1 ? kKinds[k].one : kKinds[k].many) + " " + kKinds[k].rest +
                    ", the first " +
                    std::string(kKinds[k].first) + " " + numtext::iso_text(M(i, 1), M(i, 2), M(i, 3)));
  }
  return lines;
}

void warn_of_taken_days(const RunState& st, std::string_view place, bool strict,
                        const std::function<void(const std::string&)>& warn) {
  // With a test date NRR counts the training set's rows; the test set's
  // are taken too.
  const std::int64_t taken = st.selected_rows > 0 ? st.selected_rows : st.NRR;
  const std::vector<std::string> lines = day_warnings(st.M, taken);
  if (lines.empty()) return;
  const std::string lead = std::string(place) + ": ";
  constexpr std::string_view kWayOut = ": elab --check lists them";
  if (!strict) {
    for (const std::string& line : lines) warn(lead + line + std::string(kWayOut));
    return;
  }
  std::string text = lead;
  for (std::size_t k = 0; k < lines.size(); ++k) text.append(k == 0 ? "" : "; ").append(lines[k]);
  units::report_input_error(text + std::string(kWayOut) + "; --strict takes no such rows");
}

}  // namespace elab
