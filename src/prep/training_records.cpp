#include "prep/training_records.hpp"

#include <array>
#include <string>

#include "textio/console_read.hpp"
#include "textio/console_write.hpp"
#include "textio/fixed_layout.hpp"
#include "textio/record_writer.hpp"

namespace prep {

using textio::EditList;
using textio::FieldValue;

const EditList& record_layout(std::int32_t IGIO) {
  static const EditList a = EditList::parse(
      "(1X,F2.0,1X,F2.0,1X,F8.4,1X,F8.4,1X,F8.4,1X,F8.4,5(1X,F8.4),1X,F8.4)");
  static const EditList b = EditList::parse(
      "(1X,2X,1X,F2.0,1X,F8.4,1X,F8.4,1X,F8.4,1X,F8.4,5(1X,F8.4),1X,F8.4)");
  static const EditList c = EditList::parse(
      "(5F3.0,2X,F2.0,1X,F8.4,1X,F8.4,1X,F8.4,1X,F8.4,5(1X,F8.4),1X,F8.4)");
  if (IGIO == -1) return c;
  return IGIO == 0 ? a : b;
}

void ask_weekday(textio::Console& console, RunState& st) {
  static const EditList question = EditList::parse(
      "(' Quale giorno in output?',' -1=tutti con 5 dummy; 0=tutti; 2=lun., 3=mar. ecc.')");
  do {
    textio::write_console(console, question);
    textio::read_console(console, st.IGIO);
  } while (st.IGIO == 1 || st.IGIO < -1 || st.IGIO > 6);
}

namespace {

// The values of row i in the order of its layout's fields.
std::size_t record_values(const RunState& st, std::int64_t i, std::array<float, 16>& v) {
  std::size_t n = 0;
  if (st.IGIO == -1) {
    for (int k = 1; k <= 5; ++k) v[n++] = st.GIORNO(i, k);
  } else if (st.IGIO == 0) {
    v[n++] = st.LUNE(i);
  }
  v[n++] = st.VSEGNO(i);
  v[n++] = st.DESM(i);
  v[n++] = st.MOME(i);
  v[n++] = st.RMM(i);
  v[n++] = st.MAXMIN(i);
  for (std::int64_t lag = 4; lag >= 0; --lag) v[n++] = st.VPERC(i - lag);
  v[n++] = st.PREV(i);
  return n;
}

}  // namespace

void write_training_records(RunState& st, textio::OutputFile& out) {
  const textio::FixedLayout layout(record_layout(st.IGIO));
  std::array<float, 16> values;
  st.IC = 0;
  for (std::int64_t i = st.ME90; i <= st.NRR - 20; ++i) {
    if (st.PREV(i) == kOutlierMark) continue;
    if (st.IGIO > 0 && st.M(i, st.IC_G) != static_cast<float>(st.IGIO)) continue;
    const std::size_t n = record_values(st, i, values);
    char* record = out.record_space(layout.length());
    layout.write(record, std::span<const float>(values.data(), n));
    out.commit_record(layout.length());
    ++st.IC;
  }
}

namespace {

// Five positions up to 99,999, as the line always had; a larger count is
// shown in full rather than as asterisks, in a field as wide as its digits.
int count_field_width(std::int32_t IC) {
  int width = 5;
  for (std::int64_t limit = 100000; IC >= limit; limit *= 10) ++width;
  return width;
}

}  // namespace

void write_count_line(textio::Console& console, std::int32_t IC) {
  const EditList count =
      EditList::parse("(' Record scritti: ',I" + std::to_string(count_field_width(IC)) + ")");
  const FieldValue v = FieldValue::of(IC);
  textio::write_console(console, count, std::span<const FieldValue>(&v, 1));
}

}  // namespace prep
