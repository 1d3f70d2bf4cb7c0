// The findings of --check on the days of the rows: what a run takes
// although a daily series of an exchange seldom looks like it.
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "numtext/date_text.hpp"
#include "numtext/messages.hpp"
#include "core/core.hpp"
#include "core/price_check.hpp"
#include "units/run_failure.hpp"

namespace elab {
namespace {

constexpr std::int64_t kLongestGap = 10;     // calendar days between two rows
constexpr std::int64_t kEqualCloses = 5;     // in a row

using numtext::Msg;
using numtext::for_count;
using numtext::message;

// The warning of a kind of day finding: a sentence for one and one for more.
struct DayWarning {
  DayKind kind;
  Msg one, many;
  std::int64_t bound;  // the finding's limit, named in the sentence
};
constexpr DayWarning kDayWarnings[] = {
    {DayKind::weekend, Msg::days_weekend_one, Msg::days_weekend, 0},
    {DayKind::gap, Msg::days_gap_one, Msg::days_gap, kLongestGap},
    {DayKind::equal_closes, Msg::days_equal_closes_one, Msg::days_equal_closes, kEqualCloses},
};

std::string day_warning(const DayWarning& w, std::int64_t count, const std::string& first) {
  const Msg row = for_count(count, w.one, w.many);
  if (w.kind == DayKind::weekend) return message(row, {std::to_string(count), first});
  return message(row, {std::to_string(count), std::to_string(w.bound), first});
}

}  // namespace

std::string weekday_name(std::int32_t code) {
  constexpr Msg kNames[] = {Msg::weekday_sunday,   Msg::weekday_monday, Msg::weekday_tuesday,
                            Msg::weekday_wednesday, Msg::weekday_thursday, Msg::weekday_friday,
                            Msg::weekday_saturday};
  return message(kNames[code - 1]);
}

void each_day_finding(const Matrix& MM, std::int64_t rows, const DayFound& found) {
  std::optional<numtext::CivilDate> previous;
  std::int64_t run_start = 1;
  for (std::int64_t i = 1; i <= rows; ++i) {
    auto day = numtext::calendar_day(MM(i, 1), MM(i, 2), MM(i, 3));
    if (day && day->year < 100) day.reset();  // a year of two digits is its own finding
    if (day) {
      const std::int32_t code = numtext::weekday_code(*day);
      if (code == 1 || code == 7) {
        found(DayKind::weekend, i, message(Msg::check_weekend, {numtext::iso_text(*day), weekday_name(code)}));
      }
      if (previous) {
        const std::int64_t gap = numtext::days_from_civil(*day) - numtext::days_from_civil(*previous);
        if (gap > kLongestGap) {
          found(DayKind::gap, i, message(Msg::check_gap, {std::to_string(gap), numtext::iso_text(*previous)}));
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
              message(Msg::check_equal_closes, {std::to_string(n), std::to_string(i)}));
      }
      run_start = i + 1;
    }
  }
  if (rows < kLeastRows) {
    found(DayKind::few_rows, 0,
          message(for_count(rows, Msg::check_few_rows_one, Msg::check_few_rows),
                  {std::to_string(rows), std::to_string(kLeastRows)}));
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
  std::int64_t counts[std::size(kDayWarnings)] = {};
  std::int64_t firsts[std::size(kDayWarnings)] = {};
  each_day_finding(M, rows, [&](DayKind kind, std::int64_t row, const std::string&) {
    for (std::size_t k = 0; k < std::size(kDayWarnings); ++k) {
      if (kDayWarnings[k].kind != kind) continue;
      if (counts[k]++ == 0) firsts[k] = row;
    }
  });
  std::vector<std::string> lines;
  for (std::size_t k = 0; k < std::size(kDayWarnings); ++k) {
    if (counts[k] == 0) continue;
    const std::int64_t i = firsts[k];
    lines.push_back(day_warning(kDayWarnings[k], counts[k], numtext::iso_text(M(i, 1), M(i, 2), M(i, 3))));
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
  if (!strict) {
    for (const std::string& line : lines) warn(message(Msg::days_check_lists_them, {place, line}));
    return;
  }
  std::string all;
  for (std::size_t k = 0; k < lines.size(); ++k) all.append(k == 0 ? "" : "; ").append(lines[k]);
  units::report_input_error(message(Msg::days_strict_refuses, {place, all}));
}

}  // namespace elab
