#include "core/training_records.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/side_by_side.hpp"
#include "numtext/fixed_layout.hpp"
#include "numtext/record_writer.hpp"
#include "numtext/date_text.hpp"
#include "elab/prepare.hpp"

namespace elab {

using numtext::EditList;

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

void ask_weekday(const Questions& questions, RunState& st) {
  questions.ask_until(Question::days, st.IGIO);
}

namespace {

// A day of the window is written unless it is marked, or falls on another
// weekday than the one chosen.
bool is_written(const RunState& st, std::int64_t i) {
  if (st.PREV(i) == kOutlierMark) return false;
  return st.IGIO <= 0 || st.M(i, st.IC_G) == static_cast<float>(st.IGIO);
}

}  // namespace

std::int64_t first_window_row(const RunState& st) { return std::max(st.ME90, st.first_test_row); }

std::int64_t next_written(const RunState& st, std::int64_t i) {
  while (i <= st.NRR - 20 && !is_written(st, i)) ++i;
  return i;
}

std::vector<std::int64_t> written_rows(const RunState& st) {
  std::vector<std::int64_t> rows;
  for (std::int64_t i = next_written(st, first_window_row(st)); i <= st.NRR - 20; i = next_written(st, i + 1))
    rows.push_back(i);
  return rows;
}

std::span<const std::string_view> record_columns(std::int32_t IGIO) {
  static constexpr std::string_view kDummies[] = {
      "GIORNO_1", "GIORNO_2", "GIORNO_3", "GIORNO_4", "GIORNO_5", "VSEGNO",  "DESM",   "MOME",
      "RMM",      "MAXMIN",   "VPERC_4",  "VPERC_3",  "VPERC_2",  "VPERC_1", "VPERC", "PREV"};
  static constexpr std::string_view kMondayFlag[] = {
      "LUNE", "VSEGNO",  "DESM",    "MOME",    "RMM",     "MAXMIN",
      "VPERC_4", "VPERC_3", "VPERC_2", "VPERC_1", "VPERC", "PREV"};
  if (IGIO == -1) return kDummies;
  const std::span<const std::string_view> a(kMondayFlag);
  return IGIO == 0 ? a : a.subspan(1);
}

std::size_t record_values(const RunState& st, std::int64_t i,
                          std::array<float, kMostRecordValues>& v) {
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

namespace {

// The records of the rows, one every stride characters from at.
void lay_down(const numtext::FixedLayout& layout, const RunState& st,
             std::span<const std::int64_t> rows, char* at, std::size_t stride) {
  std::array<float, kMostRecordValues> values;
  for (std::int64_t i : rows) {
    const std::size_t n = record_values(st, i, values);
    layout.write(at, std::span<const float>(values.data(), n));
    at += stride;
  }
}

// The rows of a bufferful, handed out a chunk at a time to whichever thread
// asks first: the thread that writes the buffer before joins in when done.
class SharedRecords {
 public:
  explicit SharedRecords(std::span<const std::int64_t> rows) : rows_(rows) {}

  // The next chunk's first record, and its rows (none when all are taken).
  std::pair<std::size_t, std::span<const std::int64_t>> take() {
    constexpr std::size_t kChunk = 256;
    const std::size_t first = next_.fetch_add(kChunk, std::memory_order_relaxed);
    if (first >= rows_.size()) return {first, {}};
    return {first, rows_.subspan(first, std::min(kChunk, rows_.size() - first))};
  }

 private:
  std::span<const std::int64_t> rows_;
  std::atomic<std::size_t> next_{0};
};

void lay_down_shared(const numtext::FixedLayout& layout, const RunState& st, SharedRecords& shared,
                    char* at, std::size_t stride) {
  for (auto [first, rows] = shared.take(); !rows.empty(); std::tie(first, rows) = shared.take())
    lay_down(layout, st, rows, at + first * stride, stride);
}

}  // namespace

std::size_t record_length(std::int32_t IGIO) { return numtext::FixedLayout(record_layout(IGIO)).length(); }

std::int64_t record_day(const RunState& st, std::int64_t i) {
  const auto date = numtext::calendar_day(st.M(i, 1), st.M(i, 2), st.M(i, 3));
  return date ? numtext::days_from_civil(*date) : kNoDay;
}

namespace {

// The days of rows in date order, each month's first day found once: a day
// of a month whose first day is a date is that day's count plus its own.
class MonthDays {
 public:
  std::int64_t of(const RunState& st, std::int64_t i) {
    const float year = st.M(i, 1), month = st.M(i, 2), day = st.M(i, 3);
    if (!(year == year_ && month == month_)) {
      year_ = year;
      month_ = month;
      const auto first = numtext::calendar_day(year, month, 1.0f);
      first_ = first ? numtext::days_from_civil(*first) : kNoDay;
    }
    if (first_ == kNoDay || !numtext::is_date_part(day)) return kNoDay;
    const numtext::CivilDate d{static_cast<std::int32_t>(year), static_cast<std::int32_t>(month),
                               static_cast<std::int32_t>(day)};
    return numtext::is_calendar_date(d) ? first_ + d.day - 1 : kNoDay;
  }

 private:
  float year_ = std::numeric_limits<float>::quiet_NaN();
  float month_ = year_;
  std::int64_t first_ = kNoDay;
};

}  // namespace

void lay_out_records(const RunState& st, std::span<const std::int64_t> rows, RecordMemory to,
                     platform::SecondThread* second) {
  const numtext::FixedLayout layout(record_layout(st.IGIO));
  const std::size_t n = layout.length();
  const std::size_t columns = record_columns(st.IGIO).size();
  SharedRecords shared(rows);
  // The line ends and the values go in with each record, while its memory
  // is at hand, on whichever thread laid it down.
  const auto lay_out_part = [&]() noexcept {
    std::array<float, kMostRecordValues> v;
    MonthDays days;
    for (auto [first, part] = shared.take(); !part.empty(); std::tie(first, part) = shared.take()) {
      for (std::size_t k = first; const std::int64_t i : part) {
        const std::size_t count = record_values(st, i, v);
        char* at = to.text + k * (n + 2);
        layout.write(at, std::span<const float>(v.data(), count));
        at[n] = '\r';
        at[n + 1] = '\n';
        if (to.values != nullptr) std::copy_n(v.data(), columns, to.values + k * columns);
        if (to.days != nullptr) to.days[k] = days.of(st, i);
        ++k;
      }
    }
  };
  platform::side_by_side(second, lay_out_part, lay_out_part);
}

// The records go into the file's buffer as many at a time as it has room
// for, each bufferful laid down while the one before is written out, so the
// buffer is written out at the same records, and a failure to write met at
// the same place, however the records were laid down.
void write_training_records(RunState& st, units::OutputFile& out, platform::SecondThread* second) {
  const numtext::FixedLayout layout(record_layout(st.IGIO));
  const std::size_t n = layout.length();
  const std::int64_t last = st.NRR - 20;
  std::vector<std::int64_t> rows;
  st.IC = 0;
  for (std::int64_t i = next_written(st, first_window_row(st)); i <= last;) {
    const units::OutputFile::Room room = out.records_room(n);
    rows.clear();
    for (; rows.size() < room.records && i <= last; i = next_written(st, i + 1)) rows.push_back(i);
    SharedRecords shared(rows);
    out.write_behind(second, [&]() noexcept { lay_down_shared(layout, st, shared, room.at, n + 2); });
    out.commit_records(n, rows.size());
    st.IC += static_cast<std::int32_t>(rows.size());
  }
}

}  // namespace elab
