#include "core/csv_records.hpp"

#include <array>
#include <vector>

#include "numtext/date_text.hpp"
#include "numtext/record_writer.hpp"
#include "core/record_dates.hpp"
#include "core/training_records.hpp"

namespace elab {
namespace {

// The fields of a layout, in record order.
std::vector<const numtext::EditItem*> layout_fields(std::int32_t IGIO) {
  std::vector<const numtext::EditItem*> fields;
  for (const numtext::EditItem& item : record_layout(IGIO).items()) {
    if (item.takes_value()) fields.push_back(&item);
  }
  return fields;
}

void append_trimmed(std::string& line, std::string_view field) {
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return;
  line += field.substr(first, field.find_last_not_of(' ') + 1 - first);
}

}  // namespace

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string csv_header(std::int32_t IGIO, bool with_series, bool with_set) {
  std::string line = with_series ? "Series,Date" : "Date";
  if (with_set) line += ",Set";
  for (const std::string_view name : record_columns(IGIO)) {
    line += ',';
    line += name;
  }
  return line + '\n';
}

std::string csv_records(RunState& st, std::optional<std::string_view> series, std::string_view set) {
  const std::vector<const numtext::EditItem*> fields = layout_fields(st.IGIO);
  const std::string lead = series ? csv_field(*series) + ',' : std::string();
  std::string text, field;
  std::array<float, kMostRecordValues> v{};
  st.IC = 0;
  for (const std::int64_t i : written_rows(st)) {
    text += lead;
    text += numtext::iso_text(st.M(i, 1), st.M(i, 2), st.M(i, 3));
    if (!set.empty()) text.append(",").append(set);
    const std::size_t n = record_values(st, i, v);
    for (std::size_t k = 0; k < n && k < fields.size(); ++k) {
      field.assign(static_cast<std::size_t>(fields[k]->width), ' ');
      numtext::layout_field(field.data(), *fields[k], numtext::FieldValue::of(v[k]));
      text += ',';
      append_trimmed(text, field);
    }
    text += '\n';
    ++st.IC;
  }
  return text;
}

}  // namespace elab
