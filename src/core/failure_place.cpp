#include "core/failure_place.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/core.hpp"
#include "numtext/float_chars.hpp"
#include "numtext/messages.hpp"
#include "numtext/quoted_text.hpp"

namespace elab {
namespace {

using numtext::Msg;
using numtext::message;

std::string rows_too_few(const RunState& st, const InputPlace& input) {
  return message(numtext::for_count(st.NRR, Msg::note_rows_too_few_one, Msg::note_rows_too_few),
                 {input.file, std::to_string(st.NRR), std::to_string(st.NR), std::to_string(kLeastRows)});
}

// The sentence for a close of a table's place: a line of a file or a row of
// a DataFrame, below the normal floats or not above zero.
Msg close_note(const InputPlace& input, float close) {
  const bool row = input.place == "row";
  if (close > 0.0f) return row ? Msg::note_close_below_normal_at_row : Msg::note_close_below_normal_at_line;
  return row ? Msg::note_close_not_above_zero_at_row : Msg::note_close_not_above_zero_at_line;
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
    return message(close_note(input, close), {input.file, std::to_string(day->line), numtext::iso_text(day->date),
                                              numtext::quoted_text(input.close_name), numtext::shortest_text(close)});
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
