#include "core/price_days.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "numtext/narrow.hpp"
#include "numtext/text_failure.hpp"

namespace prep {

using numtext::PriceDay;

void order_by_date(std::vector<PriceDay>& days) {
  std::sort(days.begin(), days.end(), [](const PriceDay& a, const PriceDay& b) {
    return a.date != b.date ? a.date < b.date : a.line < b.line;
  });
  std::optional<SameDate> found;
  for (std::size_t k = 1; k < days.size(); ++k) {
    if (days[k].date != days[k - 1].date) continue;
    if (!found || days[k].line < found->second_line) found = SameDate{days[k - 1].line, days[k].line, days[k].date};
  }
  if (found) throw *found;
}

std::vector<PriceDay> table_days(std::span<const numtext::CivilDate> dates, std::span<const double> closes) {
  if (dates.size() != closes.size()) throw std::invalid_argument("as many dates as closes");
  std::vector<PriceDay> days;
  days.reserve(dates.size());
  for (std::size_t k = 0; k < dates.size(); ++k) {
    if (std::isnan(closes[k])) continue;
    float close = 0.0f;
    if (!numtext::narrow_to_float(closes[k], close)) throw numtext::IoFailure{numtext::fnum::kRealBeyondSingle};
    days.push_back({dates[k], close, static_cast<std::int64_t>(k) + 1});
  }
  return days;
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

}  // namespace prep
