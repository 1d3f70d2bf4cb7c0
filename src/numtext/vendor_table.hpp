// A vendor's daily price table, as a bank, an exchange, a data portal, a
// trading terminal or a spreadsheet writes it: title lines before the
// header, any of the usual encodings, the columns named in many languages,
// the dates in many forms and the numbers in many styles, several symbols
// in one file. What the file cannot settle is chosen by a TableChoice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "numtext/csv_text.hpp"
#include "numtext/date_text.hpp"
#include "numtext/table_option.hpp"
#include "numtext/text_encoding.hpp"

namespace numtext {

using elab::TableChoice;

// The header is looked for in this many lines from the start.
inline constexpr std::size_t kHeaderLines = 30;

// Whether the start of a file (raw, its first lines) is a table rather
// than the program's own format: a UTF-16 byte order mark, or a first line
// that does not begin with a whole number and, within the first lines,
// either a header or a line of words between separators.
bool is_table_start(std::string_view start, const TableChoice& choice);
// For a start that is no table: the report of a first line of names apart
// by blanks or '|', which the own format's head can never be.
std::optional<std::string> words_apart_by_other_separators(std::string_view start);
// Whether the first line that is not blank begins with a whole number, as
// the own format's head NR NC does.
bool begins_as_own_format(std::string_view start);

// A column's name as it is compared: without case, accents, blanks,
// surrounding quotes or angle brackets, or a trailing asterisk.
std::string column_key(std::string_view name);

// The columns taken from a header's names; nothing where none is found.
struct NamedColumns {
  std::optional<std::size_t> date;
  std::optional<std::size_t> close;
  std::optional<std::size_t> symbol;
  bool close_is_date = false;  // the close asked for is the date column: no close
};
NamedColumns columns_named(std::span<const std::string> names, const TableChoice& choice);

// Why a header's columns do not serve, with the options that name them:
// the text of the error.
std::string missing_columns(std::span<const std::string> names, const NamedColumns& found,
                            const TableChoice& choice);

// The values of a symbol column, as a report lists them: the first ten
// and the count, and the option that chooses one.
std::string symbols_listed(std::span<const std::string> symbols, std::string_view column);

// A column of dates, closes (and symbols) given as texts, each with the
// line (or place) it came from; rows of another symbol than the chosen
// one are not read. Throws CsvFailure.
struct TextColumns {
  // Views of the table's text, or of quoted where a field was quoted.
  std::vector<std::string_view> dates;
  std::vector<std::string_view> closes;
  std::vector<std::string_view> symbols;  // empty: no symbol column
  std::deque<std::string> quoted;
  std::vector<std::int64_t> lines;
  std::string date_name = "Date";
  std::string close_name = "Close";
  std::string symbol_name = "Symbol";
  char separator = ',';
};
CsvDays days_of_texts(const TextColumns& columns, const TableChoice& choice);

// The pieces of days_of_texts, for columns given apart: rows are the
// places taken, in order. A column of symbols gives the rows of the symbol
// chosen, and refuses one of several symbols with none chosen.
std::vector<std::size_t> symbol_rows(std::span<const std::string_view> symbols, std::string_view column,
                                     const TableChoice& choice);
// The rows taken of a table of count rows: those of the symbol chosen, or
// all of them where it has no symbol column (and no symbol is chosen).
std::vector<std::size_t> rows_taken(std::span<const std::string_view> symbols, std::size_t count, std::string_view column,
                                    const TableChoice& choice);
std::vector<CivilDate> column_dates(std::span<const std::string_view> texts, std::span<const std::int64_t> lines,
                                    std::span<const std::size_t> rows, std::string_view name,
                                    const TableChoice& choice, std::vector<CsvDays::Note>* notes = nullptr);
// Nothing for a close left out (empty, null, NaN or N/A).
std::vector<std::optional<float>> column_closes(std::span<const std::string_view> texts,
                                                std::span<const std::int64_t> lines,
                                                std::span<const std::size_t> rows, std::string_view name,
                                                char separator);

// The days of a whole table (utf8_text), in file order. Throws CsvFailure.
CsvDays read_table_days(std::string_view text, const TableChoice& choice);

// The values of a table's symbol column, or the tickers of pandas' (field,
// ticker) columns, in the order first met; empty when it has neither. Throws CsvFailure as read_table_days does.
std::vector<std::string> table_symbols(std::string_view text, const TableChoice& choice);

// The names a symbol column goes by, in the order of preference, as column
// keys (lower case).
std::span<const std::string_view> symbol_column_names();

// A table of several series read once: its rows grouped by symbol in one
// pass, stable, each row kept as where its record starts, so that each
// series is read on its own (on any thread) without the text being read or
// copied again.
struct SymbolRecords {
  struct Record {
    std::size_t at;  // in text
    std::int64_t line;
  };
  struct Series {
    std::string symbol;
    std::vector<Record> records;
  };
  std::string text;  // utf8_text
  TextColumns columns;  // the names and separator, no rows
  std::size_t date = 0, close = 0;  // the columns' places
  std::vector<Series> series;  // in the order first met
};
// The series of a table (utf8_text) by its symbol column; nothing where it
// has none, or a row of tickers chooses the close's column. Throws
// CsvFailure for a fault of the header or of a row's fields, as
// read_table_days does whatever the symbol.
std::optional<SymbolRecords> symbol_records(std::string text, const TableChoice& choice);
// The days of one series, as read_table_days gives them with its symbol
// chosen. Throws CsvFailure.
CsvDays series_days(const SymbolRecords& table, std::size_t series, const TableChoice& choice);

}  // namespace numtext
