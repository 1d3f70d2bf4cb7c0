// The price file in either form: the program's own (NR and NC, then NR rows
// of NC values) or a vendor's table (vendor_table.hpp). Both give the same
// matrix MM for the same days.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "numtext/csv_text.hpp"
#include "numtext/vendor_table.hpp"
#include "platform/side_by_side.hpp"
#include "core/run_state.hpp"
#include "units/input_file.hpp"

namespace elab {

// How a price file is written, and so how its size and rows are read.
class PriceDialect {
 public:
  virtual ~PriceDialect() = default;
  // NR and NC.
  virtual void read_size(RunState& st) = 0;
  // Rows 1 .. NR of MM, once the arrays are obtained.
  virtual void read_rows(RunState& st, platform::SecondThread* second) = 0;
  // The days of a file read whole, in date order; null for one read row by
  // row.
  virtual const std::vector<numtext::PriceDay>* days() const { return nullptr; }
  // The days, taken away once the matrix is read.
  virtual std::vector<numtext::PriceDay> take_days() { return {}; }
};

class PriceFile {
 public:
  // Tells the form from the start of the file. A table is read whole here
  // and its days put in date order; a fault throws RunFailure. choice
  // settles what a table cannot (and is refused for the own format).
  PriceFile(units::InputFile& in, const numtext::TableChoice& choice);
  // One series of a table read once, file its name in the reports.
  PriceFile(const std::string& file, const numtext::SymbolRecords& table, std::size_t series,
            const numtext::TableChoice& choice);

  void read_size(RunState& st) { dialect_->read_size(st); }
  // A file's own form is read on second too, where there is one.
  void read_rows(RunState& st, platform::SecondThread* second) { dialect_->read_rows(st, second); }
  // A table's days, in date order; null for the own format.
  const std::vector<numtext::PriceDay>* days() const { return dialect_->days(); }
  // A table's days once the matrix is read (for a failure's note), without
  // a copy; empty for the own format.
  std::vector<numtext::PriceDay> take_days() { return dialect_->take_days(); }
  // The name of a table's close column.
  const std::string& close_name() const { return close_name_; }
  // What the reading found and went on past, one line each.
  const std::vector<std::string>& warnings() const { return warnings_; }
  // How a table's dates were read where a person might read them
  // otherwise; for --check.
  const std::vector<numtext::CsvDays::Note>& notes() const { return notes_; }

 private:
  // A table's days in date order, and what their reading went on past.
  void take_table(const std::string& file, const std::function<numtext::CsvDays()>& read_days);

  std::unique_ptr<PriceDialect> dialect_;
  std::vector<std::string> warnings_;
  std::vector<numtext::CsvDays::Note> notes_;
  std::string close_name_ = "Close";
};

// Whether the file is a table; its start is read without being taken.
bool is_table_file(units::InputFile& in, const numtext::TableChoice& choice);

// The series of a table's symbol column (a file of several), read once, in
// the order first met; nothing for a file of one series. Reads the file
// whole; a fault throws RunFailure as a run's does.
std::optional<numtext::SymbolRecords> price_file_series(units::InputFile& in, const numtext::TableChoice& choice);

// The values of a table's symbol column, or the tickers of pandas' (field,
// ticker) columns, in the order first met; empty for a file of one series.
// Reads the file whole; a fault throws RunFailure as a run's does.
std::vector<std::string> price_file_symbols(units::InputFile& in, const numtext::TableChoice& choice);

// A table as its faults name it: the file's name (or "table"), where a
// row is ("line" or "row"), and whether it held no row at all.
struct TablePlace {
  std::string name;
  std::string_view place;
  bool holds_no_row;
};
// A table's days in date order, and what their reading noted.
struct TableDays {
  std::vector<numtext::PriceDay> days;
  std::vector<numtext::CsvDays::Note> notes;
  std::string close_name;
};
// The one way from a table's rows (a file's or a DataFrame's, read by
// read_days) to the days a run takes, with the same refusals for both: a
// fault of the rows, one date twice, no day, more days than a run can take
// throw RunFailure; rows left out go to warnings.
TableDays table_days_in_order(const TablePlace& table, const std::function<numtext::CsvDays()>& read_days,
                              std::vector<std::string>& warnings);

// The report of a table's fault, with the file's name (or "table").
[[noreturn]] void report_table_failure(const std::string& file, const numtext::CsvFailure& f,
                                       std::string_view place = "line");

// The count of rows left out for want of a close, as a warning.
void warn_left_out(const std::string& file, const numtext::CsvDays& read, std::vector<std::string>& warnings,
                   std::string_view place = "line");

}  // namespace elab
