#include "core/price_days.hpp"

#include <algorithm>
#include <optional>


namespace elab {

using numtext::PriceDay;

void order_by_date(std::vector<PriceDay>& days) {
  const auto before = [](const PriceDay& a, const PriceDay& b) {
    return a.date != b.date ? a.date < b.date : a.line < b.line;
  };
  // Most files are in date order already.
  if (!std::is_sorted(days.begin(), days.end(), before)) std::sort(days.begin(), days.end(), before);
  std::optional<SameDate> found;
  for (std::size_t k = 1; k < days.size(); ++k) {
    if (days[k].date != days[k - 1].date) continue;
    if (!found || days[k].line < found->second_line) found = SameDate{days[k - 1].line, days[k].line, days[k].date};
  }
  if (found) throw *found;
}

numtext::CsvDays table_days(std::span<const numtext::CivilDate> dates,
                            std::span<const std::optional<float>> closes, std::span<const std::int64_t> lines,
                            std::span<const std::size_t> rows) {
  numtext::CsvDays out;
  out.days.reserve(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::int64_t line = lines[rows[r]];
    if (!closes[r]) {
      if (out.left_out++ == 0) out.first_left_out = line;
      continue;
    }
    out.days.push_back({dates[r], *closes[r], line});
  }
  return out;
}

void fill_price_rows(std::span<const PriceDay> days, const Matrix& MM) {
  for (std::size_t k = 0; k < days.size(); ++k) {
    const auto i = static_cast<std::int64_t>(k) + 1;
    const PriceDay& d = days[k];
    MM(i, 1) = static_cast<float>(d.date.year);
    MM(i, 2) = static_cast<float>(d.date.month);
    MM(i, 3) = static_cast<float>(d.date.day);
    MM(i, 4) = 0.0f;
    MM(i, 5) = 0.0f;
    MM(i, 6) = d.close;
    MM(i, 7) = static_cast<float>(numtext::weekday_code(d.date));
  }
}

}  // namespace elab
