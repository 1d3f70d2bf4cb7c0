#include "core/record_dates.hpp"

#include <atomic>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "numtext/date_text.hpp"
#include "numtext/edit_list.hpp"
#include "numtext/record_writer.hpp"
#include "core/training_records.hpp"

namespace elab {
namespace {

using numtext::FieldValue;

constexpr std::size_t kDateLength = 10;

// Record i's day and the line end the commit of a file puts in its place.
void append_record_date(const RunState& st, std::int64_t i, numtext::RecordWriter& writer, std::string& text) {
  const FieldValue day[] = {numtext::date_field(st.M(i, 1)), numtext::date_field(st.M(i, 2)), numtext::date_field(st.M(i, 3))};
  writer.write(numtext::iso_date_layout(), day, [&](std::string_view record) {
    text += record;
    text += "\r\n";
  });
}

}  // namespace

std::string record_dates_text(const RunState& st) {
  numtext::RecordWriter writer;
  std::string text;
  for (const std::int64_t i : written_rows(st)) append_record_date(st, i, writer, text);
  return text;
}

void write_record_dates(const RunState& st, units::OutputFile& out) {
  numtext::RecordWriter writer;
  const std::int64_t last = st.NRR - 20;
  std::string text;
  for (std::int64_t i = next_written(st, first_window_row(st)); i <= last;) {
    const units::OutputFile::Room room = out.records_room(kDateLength);
    text.clear();
    std::size_t count = 0;
    for (; count < room.records && i <= last; i = next_written(st, i + 1), ++count) {
      append_record_date(st, i, writer, text);
    }
    // Laid down by whichever of the two runs comes first.
    std::atomic<bool> laid{false};
    out.write_behind(nullptr, [&]() noexcept {
      if (!laid.exchange(true)) std::memcpy(room.at, text.data(), text.size());
    });
    out.commit_records(kDateLength, count);
  }
}

}  // namespace elab
