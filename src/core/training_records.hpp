// The training records: the weekday question, one record in elab.dat for
// each unmarked day of the window that qualifies, the count line.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/side_by_side.hpp"
#include "core/answers.hpp"
#include "core/run_state.hpp"
#include "numtext/edit_list.hpp"
#include "units/output_file.hpp"

namespace elab {

// Layouts A (IGIO = 0, Monday flag), B (2..6, no day indicator) and
// C (-1, five weekday dummies).
const numtext::EditList& record_layout(std::int32_t IGIO);

void ask_weekday(const Questions& questions, RunState& st);

// The first row that may have a record: ME90, or a test set's first row.
std::int64_t first_window_row(const RunState& st);

// The first row from i on that has a record, or one past the window.
std::int64_t next_written(const RunState& st, std::int64_t i);

// The rows that have a record, in order.
std::vector<std::int64_t> written_rows(const RunState& st);

// The most values a record holds.
inline constexpr std::size_t kMostRecordValues = 16;

// The names of the fields of a layout in record order, PREV last.
std::span<const std::string_view> record_columns(std::int32_t IGIO);

// The values of row i in the order of its layout's fields; their count.
std::size_t record_values(const RunState& st, std::int64_t i,
                          std::array<float, kMostRecordValues>& v);

// The characters of a record of a layout, without its CR LF.
std::size_t record_length(std::int32_t IGIO);

// The day of row i since 1970-01-01, or kNoDay where its date is none.
std::int64_t record_day(const RunState& st, std::int64_t i);

// Where records go in memory: each one's text and CR LF right after the
// one before, and, where not null, its values (record_columns' count of
// them) and its day.
struct RecordMemory {
  char* text = nullptr;
  float* values = nullptr;
  std::int64_t* days = nullptr;
};

// Lays out the records of rows into to, in one pass that second shares,
// where there is one: each record's values are found once for all three.
void lay_out_records(const RunState& st, std::span<const std::int64_t> rows, RecordMemory to,
                     platform::SecondThread* second = nullptr);

// Writes the records and counts them in IC; with a second thread, each
// bufferful is laid down on both while the one before is written out.
void write_training_records(RunState& st, units::OutputFile& out, platform::SecondThread* second = nullptr);

}  // namespace elab
