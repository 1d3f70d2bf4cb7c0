// The pieces the files of a vendor's table share (text_encoding,
// table_header, table_rows, table_symbols): its lines, its header and the
// walk over its rows. Not for use outside numtext.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "numtext/csv_text.hpp"
#include "numtext/messages.hpp"
#include "numtext/vendor_table.hpp"

namespace numtext {

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

inline std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

inline bool all_digits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), is_digit); }

// The lines of a text, at most `most`, each with its number from 1, the
// number of its last line and where the next starts. A line whose quote is
// left open goes on over the next ones (a quoted name may hold a line end),
// as far as a few lines on close it.
struct Line {
  std::string_view text;
  std::int64_t number;
  std::size_t next;
  std::int64_t last = number;
};
std::vector<Line> first_lines(std::string_view text, std::size_t most);

struct Header {
  Line line;
  char separator = ',';
  std::vector<std::string> names;
  NamedColumns columns;
  bool symbol_taken = false;  // the symbol chose among the columns
  bool tickers = false;  // a row of tickers above the fields
};

// The header within the first lines, or nothing. Where tickers is given,
// pandas' (field, ticker) columns give their tickers there, several of
// them no fault.
std::optional<Header> find_header(std::string_view text, const TableChoice& choice,
                                  std::vector<std::string>* tickers = nullptr);
// The header of a whole table; throws CsvFailure with the report of the
// columns it misses.
Header table_header(std::string_view text, const TableChoice& choice);

// Items quoted, apart by commas: the first ten and the count of the rest.
std::string quoted_list(std::span<const std::string> items);
// Whether a line begins with a whole number, as the own format's head does.
bool first_is_whole_number(std::string_view line);

// Whether the record just read is the last: a download cut short ends in
// one with fewer fields.
bool is_last_record(const CsvRecords& records);
// Fewer fields than the header and no date where the date column is.
bool is_footer_line(std::span<const std::string_view> fields, std::size_t width, std::size_t date_column);

// A field of a row of text as long as the columns last: the view itself
// where it is text's, else a copy in quoted.
inline std::string_view kept(std::string_view field, std::string_view text, std::deque<std::string>& quoted) {
  const std::less<const char*> before;
  if (!before(field.data(), text.data()) && !before(text.data() + text.size(), field.data() + field.size())) {
    return field;
  }
  return quoted.emplace_back(field);
}

// The text columns of a table's rows, named as its header names them.
TextColumns named_columns(const Header& header);
// The header and the text columns of a whole table; taken, whether the
// header chose the symbol's columns.
TextColumns table_columns(std::string_view text, const TableChoice& choice, bool* taken = nullptr);

// Each row of a table after its header: take(fields, line, at), at where
// its record starts in text; a field that was quoted is seen until the next
// row (kept() keeps it).
template <class Take>
void each_row(std::string_view text, const Header& header, Take take) {
  const std::size_t width = header.names.size();
  const std::size_t first = std::min(header.line.next, text.size());
  CsvRecords records(text.substr(first), header.separator, header.line.last + 1);
  std::vector<std::string_view> fields;
  std::deque<std::string> held;
  // Lines after the last row that are no rows (a bank's "Downloaded on ...",
  // its disclaimer) end the table; a row after them makes the first of them
  // the fault it is.
  std::optional<CsvFailure> after_rows;
  while (records.next(fields, held)) {
    if (fields.size() != width) {
      const bool cut_short = fields.size() < width && is_last_record(records);
      CsvFailure fault{records.line(), {},
                       message(cut_short ? Msg::field_count_cut_short : Msg::field_count,
                               {std::to_string(fields.size()), std::to_string(width)})};
      if (!is_footer_line(fields, width, *header.columns.date)) throw after_rows.value_or(std::move(fault));
      if (!after_rows) after_rows = std::move(fault);
      continue;
    }
    if (after_rows) throw *after_rows;
    take(fields, records.line(), first + records.at());
  }
}


}  // namespace numtext
