#include "elab/prepare.hpp"

#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>

#include "numtext/narrow.hpp"
#include "numtext/text_failure.hpp"
#include "platform/os.hpp"
#include "platform/side_by_side.hpp"
#include "core/core.hpp"
#include "core/failure_place.hpp"
#include "core/price_check.hpp"
#include "core/price_days.hpp"
#include "elab/prepare_series.hpp"
#include "core/price_file.hpp"
#include "core/record_dates.hpp"
#include "core/run_state.hpp"
#include "core/test_set.hpp"
#include "core/training_records.hpp"
#include "units/file_open.hpp"
#include "units/input_file.hpp"
#include "units/run_failure.hpp"
#include "numtext/messages.hpp"

namespace elab {
namespace {

// The name a table's failures are reported on.
constexpr std::string_view kTableName = "table";

// What a failure's note needs of the input, and what the reading went on
// past.
struct ReadInput {
  std::vector<std::string> warnings;
  std::vector<numtext::PriceDay> days;
  std::string close_name = "Close";
};

// The prices of one series of a table read once, or nothing for the file
// of the request.
struct TableSeries {
  const numtext::SymbolRecords* table = nullptr;
  std::size_t series = 0;
};

// The matrix and the call's second thread.
std::unique_ptr<platform::SecondThread> read_price_file(RunState& st, const Request& r, ReadInput& read,
                                                        TableSeries from) {
  std::unique_ptr<units::InputFile> input;
  if (from.table == nullptr) {
    try {
      input = std::make_unique<units::InputFile>(r.price_file, units::open_price_file(r.price_file));
    } catch (const numtext::IoFailure& f) {
      units::report_file_error(f, units::Statement::Open, r.price_file);
    }
  }
  PriceFile prices = input ? PriceFile(*input, r.choice) : PriceFile(r.price_file, *from.table, from.series, r.choice);
  std::unique_ptr<platform::SecondThread> second = read_price_matrix(st, prices);
  read.warnings = prices.warnings();
  read.days = prices.take_days();
  read.close_name = prices.close_name();
  return second;
}

// The days of the rows taken, each with its place in the table from 1.
numtext::CsvDays table_rows(const PriceTable& table, const numtext::TableChoice& choice) {
  const std::size_t n = table.date_texts.empty() ? table.dates.size() : table.date_texts.size();
  const std::size_t closes = table.close_texts.empty() ? table.closes.size() : table.close_texts.size();
  if (closes != n || (!table.symbols.empty() && table.symbols.size() != n))
    throw std::invalid_argument(numtext::message(numtext::Msg::dates_and_closes_differ));
  std::vector<std::int64_t> places(n);
  for (std::size_t k = 0; k < n; ++k) places[k] = static_cast<std::int64_t>(k) + 1;
  const auto views = [](const std::vector<std::string>& texts) {
    return std::vector<std::string_view>(texts.begin(), texts.end());
  };
  const std::vector<std::size_t> rows = numtext::rows_taken(views(table.symbols), n, table.symbol_name, choice);
  std::vector<numtext::CivilDate> dates;
  if (!table.date_texts.empty()) {
    dates = numtext::column_dates(views(table.date_texts), places, rows, table.date_name, choice);
  } else {
    for (const std::size_t k : rows) dates.push_back(table.dates[k]);
  }
  if (!table.close_texts.empty()) {
    const auto values = numtext::column_closes(views(table.close_texts), places, rows, table.close_name, ',');
    numtext::CsvDays days = table_days(dates, values, places, rows);
    days.close_name = table.close_name;
    return days;
  }
  std::vector<std::optional<float>> values(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double close = table.closes[rows[r]];
    if (std::isnan(close)) continue;
    float narrowed = 0.0f;
    if (!numtext::narrow_to_float(close, narrowed)) {
      throw numtext::CsvFailure{places[rows[r]], table.close_name,
                                std::string(numtext::failure_message(numtext::fnum::kRealBeyondSingle))};
    }
    if (numtext::is_below_normal_float(close)) {
      throw numtext::CsvFailure{places[rows[r]], table.close_name, std::string(numtext::kBelowNormalSingle)};
    }
    values[r] = narrowed;
  }
  numtext::CsvDays days = table_days(dates, values, places, rows);
  days.close_name = table.close_name;
  return days;
}

std::unique_ptr<platform::SecondThread> take_table(RunState& st, const Request& r, ReadInput& input) {
  const bool holds_no_row = r.table->dates.empty() && r.table->date_texts.empty();
  TableDays read = table_days_in_order({std::string(kTableName), "row", holds_no_row},
                                       [&] { return table_rows(*r.table, r.choice); }, input.warnings);
  input.days = std::move(read.days);
  input.close_name = std::move(read.close_name);
  return take_price_days(st, input.days);
}

// The result's text, values and days sized for count records of length
// characters, their memory made present before its first touch: the
// text's on second, the others' here meanwhile.
void size_present(Result& r, std::size_t count, std::size_t length, platform::SecondThread* second) {
  const std::size_t text = count * (length + 2), values = count * r.columns.size();
  r.text.reserve(text);
  r.values.reserve(values);
  r.days.reserve(count);
  const auto present = [](auto& b, std::size_t n) { platform::make_present(b.data(), n * sizeof(*b.data())); };
  platform::side_by_side(
      second, [&]() noexcept { present(r.text, text); },
      [&]() noexcept {
        present(r.values, values);
        present(r.days, count);
      });
  r.text.resize(text);
  r.values.resize(values);
  r.days.resize(count);
}

Result result_of(const RunState& st, platform::SecondThread* second) {
  Result r;
  const std::vector<std::int64_t> rows = written_rows(st);
  r.count = static_cast<std::int32_t>(rows.size());
  r.layout = st.IGIO == -1 ? 'C' : st.IGIO == 0 ? 'A' : 'B';
  for (const std::string_view name : record_columns(st.IGIO)) r.columns.emplace_back(name);
  size_present(r, rows.size(), record_length(st.IGIO), second);
  lay_out_records(st, rows, {r.text.data(), r.values.data(), r.days.data()}, second);
  return r;
}


Result prepare_from(const Request& request, TableSeries from) {
  if (!request.answers.complete()) throw std::invalid_argument(numtext::message(numtext::Msg::answer_missing));
  try {
    RunState st;
    ReadInput input;
    // This call's own, made from its rows; it ends when the call returns.
    const std::unique_ptr<platform::SecondThread> second =
        request.table ? take_table(st, request, input) : read_price_file(st, request, input, from);
    try {
      select_and_derive(st, Questions(request.answers), second.get(), request.choice.spelling);
    } catch (const units::RunFailure& f) {
      const bool table = request.table.has_value();
      throw placed(f, st, {table ? std::string(kTableName) : request.price_file, table ? "row" : "line", input.days,
                           input.close_name});
    }
    warn_of_taken_days(st, request.table ? kTableName : std::string_view(request.price_file), request.strict,
                       [&](const std::string& w) { input.warnings.push_back(w); });
    Result r = result_of(st, second.get());
    r.warnings = std::move(input.warnings);
    if (request.answers.test_from) {
      enter_test_set(st);
      r.test = std::make_shared<Result>(result_of(st, second.get()));
    }
    return r;
  } catch (const std::bad_alloc&) {
    throw units::RunFailure::stop_for_memory(numtext::old_text::kNoMemory);
  }
}

}  // namespace

Result prepare(const Request& request) { return prepare_from(request, {}); }

struct SeriesTable::Rows {
  numtext::SymbolRecords records;
};

SeriesTable::SeriesTable(std::shared_ptr<const Rows> rows) : rows_(std::move(rows)) {}

std::vector<std::string> SeriesTable::symbols() const {
  std::vector<std::string> symbols;
  for (const auto& s : rows_->records.series) symbols.push_back(s.symbol);
  return symbols;
}

std::optional<SeriesTable> file_series(const std::string& path, const TableChoice& choice) {
  std::unique_ptr<units::InputFile> in;
  try {
    in = std::make_unique<units::InputFile>(path, units::open_price_file(path));
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, path);
  }
  auto read = price_file_series(*in, choice);
  if (!read || read->series.empty()) return std::nullopt;
  return SeriesTable(std::make_shared<const SeriesTable::Rows>(SeriesTable::Rows{std::move(*read)}));
}

Result prepare_series(const Request& request, const SeriesTable& table, std::size_t series) {
  return prepare_from(request, {&table.rows().records, series});
}

}  // namespace elab
