#include "core/failure_place.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/core.hpp"
#include "numtext/float_chars.hpp"
#include "numtext/quoted_text.hpp"

namespace elab {
namespace {

std::string rows_too_few(const RunState& st, const InputPlace& input) {
  return input.file + ": " + std::to_string(st.NRR) + (st.NRR == 1 ? " row" : " rows") + " selected of the " +
         std::to_string(st.NR) + " it has; a run takes at least " + std::to_string(kLeastRows) +
         ": choose a wider range of dates or a longer file";
}

// The first selected close that a run cannot divide by or take the
// logarithm of, with its place in the table.
std::optional<std::string> close_not_positive(const RunState& st, const InputPlace& input) {
  for (std::int64_t i = 1; i <= st.NRR; ++i) {
    const float close = st.M(i, 6);
    if (close > 0.0f && close >= FLT_MIN) continue;
    const auto key = numtext::date_key(st.M(i, 1), st.M(i, 2), st.M(i, 3));
    const auto day = std::find_if(input.days.begin(), input.days.end(), [&](const numtext::PriceDay& d) {
      return numtext::date_key(static_cast<float>(d.date.year), static_cast<float>(d.date.month),
                               static_cast<float>(d.date.day)) == key;
    });
    if (!key || day == input.days.end()) return std::nullopt;
    return input.file + ": " + std::string(input.place) + " " + std::to_string(day->line) + ", date " +
           numtext::iso_text(day->date) + ", field " + numtext::quoted_text(input.close_name) + ": the close " +
           numtext::shortest_text(close) + (close > 0.0f ? " is below the smallest normal float" : " is not above zero") +
           ", and a run divides by every close: correct or remove the " + std::string(input.place);
  }
  return std::nullopt;
}

}  // namespace

units::RunFailure placed(const units::RunFailure& failure, const RunState& st, const InputPlace& input) {
  if (failure.form() == units::RunFailure::Form::Stop && failure.message() == kTooFewRowsStop) {
    return failure.with_note(rows_too_few(st, input));
  }
  if (failure.form() == units::RunFailure::Form::Report && failure.code().starts_with("M") && !input.days.empty()) {
    if (const auto note = close_not_positive(st, input)) return failure.with_note(*note);
  }
  return failure;
}

}  // namespace elab
