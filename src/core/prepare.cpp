#include "elab/prepare.hpp"

#include <array>
#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>

#include "platform/side_by_side.hpp"
#include "core/core.hpp"
#include "core/price_days.hpp"
#include "core/price_file.hpp"
#include "core/record_dates.hpp"
#include "core/run_state.hpp"
#include "core/training_records.hpp"
#include "units/file_open.hpp"
#include "units/input_file.hpp"
#include "units/run_failure.hpp"

namespace prep {
namespace {

// The name a table's failures are reported on.
constexpr std::string_view kTableName = "table";

// The matrix and the call's second thread; what the reading went on past
// in warnings.
std::unique_ptr<platform::SecondThread> read_price_file(RunState& st, const Request& r,
                                                        std::vector<std::string>& warnings) {
  std::unique_ptr<units::InputFile> input;
  try {
    input = std::make_unique<units::InputFile>(r.price_file, units::open_price_file(r.price_file));
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, r.price_file);
  }
  PriceFile prices(*input, r.close);
  std::unique_ptr<platform::SecondThread> second = read_price_matrix(st, prices);
  warnings = prices.warnings();
  return second;
}

std::unique_ptr<platform::SecondThread> take_table(RunState& st, const PriceTable& table) {
  std::vector<numtext::PriceDay> days;
  try {
    days = table_days(table.dates, table.closes);
    order_by_date(days);
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Read, kTableName);
  } catch (const SameDate& d) {
    units::report_input_error(
        std::string(kTableName) + ": rows " + std::to_string(d.first_line) + " and " +
        std::to_string(d.second_line) + ": the same date " +
        date_text(static_cast<float>(d.date.year), static_cast<float>(d.date.month),
                  static_cast<float>(d.date.day)));
  }
  return take_price_days(st, days);
}

// The calendar day of row i, or kNoDay.
std::int64_t day_of_row(const RunState& st, std::int64_t i) {
  const float y = st.M(i, 1), m = st.M(i, 2), d = st.M(i, 3);
  for (const float part : {y, m, d}) {
    if (!(part == std::trunc(part) && std::fabs(part) < 1e7f)) return kNoDay;
  }
  const numtext::CivilDate date{static_cast<std::int32_t>(y), static_cast<std::int32_t>(m),
                                static_cast<std::int32_t>(d)};
  return numtext::is_calendar_date(date) ? numtext::days_from_civil(date) : kNoDay;
}

Result result_of(const RunState& st, platform::SecondThread* second) {
  Result r;
  const std::vector<std::int64_t> rows = written_rows(st);
  r.text = training_text(st, rows, second);
  r.count = static_cast<std::int32_t>(rows.size());
  r.layout = st.IGIO == -1 ? 'C' : st.IGIO == 0 ? 'A' : 'B';
  for (const std::string_view name : record_columns(st.IGIO)) r.columns.emplace_back(name);
  r.values.reserve(rows.size() * r.columns.size());
  r.days.reserve(rows.size());
  std::array<float, kMostRecordValues> v;
  for (const std::int64_t i : rows) {
    const std::size_t n = record_values(st, i, v);
    r.values.insert(r.values.end(), v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n));
    r.days.push_back(day_of_row(st, i));
  }
  return r;
}

}  // namespace

Result prepare(const Request& request) {
  if (!request.answers.complete()) throw std::invalid_argument("an answer is missing");
  try {
    RunState st;
    std::vector<std::string> warnings;
    // This call's own, made from its rows; it ends when the call returns.
    const std::unique_ptr<platform::SecondThread> second =
        request.table ? take_table(st, *request.table) : read_price_file(st, request, warnings);
    select_and_derive(st, Questions(request.answers), second.get());
    Result r = result_of(st, second.get());
    r.warnings = std::move(warnings);
    return r;
  } catch (const std::bad_alloc&) {
    throw units::RunFailure::stop_for_memory("Memoria insufficiente");
  }
}

}  // namespace prep
