#include "core/price_file.hpp"

#include <cstdint>
#include <functional>
#include <limits>

#include "core/price_days.hpp"
#include "numtext/messages.hpp"
#include "numtext/quoted_text.hpp"
#include "units/run_failure.hpp"

namespace elab {
namespace {

using numtext::CsvFailure;
using numtext::Msg;
using numtext::message;

// The start of a file that tells a table from the own format, and the
// most a header may take.
constexpr std::size_t kFirstLook = std::size_t{1} << 16;
constexpr std::size_t kLongestHeader = std::size_t{64} << 20;

class OwnFormat final : public PriceDialect {
 public:
  // emptiness: a note for the end of file met at the head, or nothing.
  OwnFormat(units::InputFile& in, std::optional<std::string> emptiness) : in_(in), emptiness_(std::move(emptiness)) {}
  void read_size(RunState& st) override {
    const numtext::Target size[] = {numtext::Target::of(st.NR), numtext::Target::of(st.NC)};
    try {
      in_.read_head(size);
    } catch (const units::RunFailure& f) {
      if (!emptiness_) throw;
      throw f.with_note(*emptiness_);
    }
  }
  void read_rows(RunState& st, platform::SecondThread* second) override {
    // One read per row; a null value leaves the zero the arrays start with.
    in_.read_rows(&st.MM(1, 1), st.NR, static_cast<std::size_t>(st.NC), st.MM.rows, second);
  }

 private:
  units::InputFile& in_;
  std::optional<std::string> emptiness_;
};

class Table final : public PriceDialect {
 public:
  explicit Table(std::vector<numtext::PriceDay> days) : days_(std::move(days)) {}
  void read_size(RunState& st) override {
    st.NR = static_cast<std::int32_t>(days_.size());
    st.NC = kDayColumns;
  }
  void read_rows(RunState& st, platform::SecondThread*) override { fill_price_rows(days_, st.MM); }
  const std::vector<numtext::PriceDay>* days() const override { return &days_; }
  std::vector<numtext::PriceDay> take_days() override { return std::move(days_); }

 private:
  std::vector<numtext::PriceDay> days_;
};

// An option that only a table takes, for the own format's refusal.
std::optional<std::string> table_option(const numtext::TableChoice& c) {
  using numtext::TableOption;
  const auto spelled = [&](TableOption o, std::string_view value) { return option_text(o, value, c.spelling); };
  if (c.close) return spelled(TableOption::close, *c.close);
  if (c.date_column) return spelled(TableOption::date_column, *c.date_column);
  if (c.date_order != numtext::DateOrder::unknown)
    return spelled(TableOption::date_order, c.date_order == numtext::DateOrder::dmy ? "dmy" : "mdy");
  if (c.symbol) return spelled(TableOption::symbol, *c.symbol);
  return std::nullopt;
}

std::string table_text(units::InputFile& in) { return numtext::utf8_text(in.read_rest()); }

// What a file seen whole holds when it holds no value: nothing, or blanks.
std::optional<std::string> emptiness(std::string_view start) {
  if (start.size() >= kFirstLook || start.find_first_not_of(" \t\r\n\f\v") != std::string_view::npos) {
    return std::nullopt;
  }
  return message(start.empty() ? Msg::file_empty : Msg::file_blank);
}

// A name that calls itself a table: its rows are not the own format's.
bool named_as_table(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string extension;
  for (const char c : name.substr(dot + 1)) extension += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return extension == "csv" || extension == "tsv";
}

// A table's place as its faults name it: a file's line or a DataFrame's row.
bool places_are_rows(std::string_view place) { return place == "row"; }

std::string place_text(std::string_view place, std::int64_t number) {
  return message(places_are_rows(place) ? Msg::at_row : Msg::at_line, {std::to_string(number)});
}

}  // namespace

void report_table_failure(const std::string& file, const CsvFailure& f, std::string_view place) {
  const std::string field = numtext::quoted_text(f.field);
  std::string text;
  if (f.line > 0 && !f.field.empty()) {
    text = message(Msg::table_fault_in_field, {file, place_text(place, f.line), field, f.message});
  } else if (!f.field.empty()) {
    text = message(Msg::table_fault_field, {file, field, f.message});
  } else {
    text = file + (f.line > 0 ? ": " + place_text(place, f.line) : std::string()) + ": " + f.message;
  }
  units::RunFailure failure = units::RunFailure::of_input(text);
  failure.set_place(file, f.line, f.field);
  throw failure;
}

void warn_left_out(const std::string& file, const numtext::CsvDays& read, std::vector<std::string>& warnings,
                   std::string_view place) {
  if (read.left_out == 0) return;
  warnings.push_back(message(numtext::for_count(read.left_out, Msg::left_out_one, Msg::left_out_many),
                             {file, std::to_string(read.left_out), place_text(place, read.first_left_out)}));
}

bool is_table_file(units::InputFile& in, const numtext::TableChoice& choice) {
  const std::string_view start = in.peek(numtext::kHeaderLines, kFirstLook);
  if (numtext::is_table_start(start, choice)) return true;
  // A header longer than the first look is looked for whole; the own
  // format's head is told from its start.
  if (start.size() < kFirstLook || numtext::begins_as_own_format(start)) return false;
  return numtext::is_table_start(in.peek(numtext::kHeaderLines, kLongestHeader), choice);
}

PriceFile::PriceFile(units::InputFile& in, const numtext::TableChoice& choice) {
  if (!is_table_file(in, choice)) {
    // The own format's report of an empty file is the old program's; a
    // table's is a line of its own.
    const auto empty = emptiness(in.peek(numtext::kHeaderLines, kFirstLook));
    if (empty && (named_as_table(in.name()) || table_option(choice))) {
      units::report_input_error(message(Msg::table_needs_names, {in.name(), *empty}));
    }
    if (const auto option = table_option(choice)) {
      units::report_input_error(message(Msg::option_needs_table, {in.name(), *option}));
    }
    if (const auto words = numtext::words_apart_by_other_separators(in.peek(numtext::kHeaderLines, kFirstLook))) {
      units::report_input_error(in.name() + ": " + *words);
    }
    dialect_ = std::make_unique<OwnFormat>(in, empty ? std::optional(in.name() + ": " + *empty) : std::nullopt);
    return;
  }
  take_table(in.name(), [&] { return numtext::read_table_days(table_text(in), choice); });
}

PriceFile::PriceFile(const std::string& file, const numtext::SymbolRecords& table, std::size_t series,
                     const numtext::TableChoice& choice) {
  take_table(file, [&] { return numtext::series_days(table, series, choice); });
}

void PriceFile::take_table(const std::string& file, const std::function<numtext::CsvDays()>& read_days) {
  TableDays read = table_days_in_order({file, "line", false}, read_days, warnings_);
  notes_ = std::move(read.notes);
  close_name_ = std::move(read.close_name);
  dialect_ = std::make_unique<Table>(std::move(read.days));
}

TableDays table_days_in_order(const TablePlace& table, const std::function<numtext::CsvDays()>& read_days,
                              std::vector<std::string>& warnings) {
  TableDays out;
  try {
    numtext::CsvDays read = read_days();
    warn_left_out(table.name, read, warnings, table.place);
    out.notes = std::move(read.notes);
    out.days = std::move(read.days);
    out.close_name = std::move(read.close_name);
    order_by_date(out.days);
  } catch (const CsvFailure& f) {
    report_table_failure(table.name, f, table.place);
  } catch (const SameDate& d) {
    units::report_input_error(message(places_are_rows(table.place) ? Msg::same_date_rows : Msg::same_date_lines,
                                      {table.name, std::to_string(d.first_line), std::to_string(d.second_line),
                                       numtext::iso_text(d.date)}));
  }
  if (table.holds_no_row) units::report_input_error(message(Msg::table_empty, {table.name}));
  if (out.days.empty()) units::report_input_error(message(Msg::no_dated_closes, {table.name}));
  if (out.days.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    units::report_input_error(message(Msg::too_many_rows, {table.name}));
  }
  return out;
}

std::vector<std::string> price_file_symbols(units::InputFile& in, const numtext::TableChoice& choice) {
  if (!is_table_file(in, choice)) return {};
  try {
    return numtext::table_symbols(table_text(in), choice);
  } catch (const CsvFailure& f) {
    report_table_failure(in.name(), f);
  }
}

std::optional<numtext::SymbolRecords> price_file_series(units::InputFile& in, const numtext::TableChoice& choice) {
  if (!is_table_file(in, choice)) return std::nullopt;
  try {
    return numtext::symbol_records(table_text(in), choice);
  } catch (const CsvFailure& f) {
    report_table_failure(in.name(), f);
  }
}

}  // namespace elab
