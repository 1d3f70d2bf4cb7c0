#include "core/record_dates.hpp"

#include <atomic>
#include <cmath>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "numtext/edit_list.hpp"
#include "numtext/record_writer.hpp"
#include "core/training_records.hpp"

namespace prep {
namespace {

using numtext::FieldValue;

const numtext::EditList& date_layout() {
  static const auto list = numtext::EditList::parse("(I4.4,'-',I2.2,'-',I2.2)");
  return list;
}
constexpr std::size_t kDateLength = 10;

// A whole number as an integer field; anything else shows as asterisks.
FieldValue date_part(float x) {
  if (x == std::trunc(x) && x >= -2147483648.0f && x < 2147483648.0f) {
    return FieldValue::of(static_cast<std::int32_t>(x));
  }
  return FieldValue::of(x);
}

}  // namespace

std::string date_text(float year, float month, float day) {
  numtext::RecordWriter writer;
  const FieldValue parts[] = {date_part(year), date_part(month), date_part(day)};
  std::string text;
  writer.write(date_layout(), parts, [&](std::string_view record) { text = record; });
  return text;
}

void write_record_dates(const RunState& st, units::OutputFile& out) {
  numtext::RecordWriter writer;
  const std::int64_t last = st.NRR - 20;
  std::string text;
  for (std::int64_t i = next_written(st, st.ME90); i <= last;) {
    const units::OutputFile::Room room = out.records_room(kDateLength);
    text.clear();
    std::size_t count = 0;
    for (; count < room.records && i <= last; i = next_written(st, i + 1), ++count) {
      const FieldValue day[] = {date_part(st.M(i, 1)), date_part(st.M(i, 2)), date_part(st.M(i, 3))};
      writer.write(date_layout(), day, [&](std::string_view record) {
        text += record;
        text += "\r\n";  // room for the line end the commit puts in
      });
    }
    // Laid down by whichever of the two runs comes first.
    std::atomic<bool> laid{false};
    out.write_behind(nullptr, [&]() noexcept {
      if (!laid.exchange(true)) std::memcpy(room.at, text.data(), text.size());
    });
    out.commit_records(kDateLength, count);
  }
}

}  // namespace prep
