// The price matrix built from days (a CSV file's, or a table's dates and
// closes): rows in date order, seven columns as the program's own format
// has them: year, month, day, 0, 0, close, weekday code (Sunday 1 ..
// Saturday 7).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "numtext/csv_text.hpp"
#include "core/run_state.hpp"

namespace elab {

inline constexpr std::int32_t kDayColumns = 7;

// Two days of the same date, by the lines (or places) they came from.
struct SameDate {
  std::int64_t first_line;
  std::int64_t second_line;
  numtext::CivilDate date;
};

// Puts days in date order. Throws SameDate for two days of one date: the
// pair whose later line comes first.
void order_by_date(std::vector<numtext::PriceDay>& days);

// The days of a table's rows taken (rows[r] is row r's place in lines),
// dates[r] with closes[r]; a row without a close is left out and counted.
numtext::CsvDays table_days(std::span<const numtext::CivilDate> dates,
                            std::span<const std::optional<float>> closes, std::span<const std::int64_t> lines,
                            std::span<const std::size_t> rows);

// Rows 1 .. days.size() of MM, which has kDayColumns columns.
void fill_price_rows(std::span<const numtext::PriceDay> days, const Matrix& MM);

}  // namespace elab
