// A vendor's CSV price file as text: a header naming a Date and a close
// column, then one record per day. Quoting as in RFC 4180; the separator is
// the header's own (comma, semicolon or tab), and where it is a semicolon or a
// tab a comma inside a number is its decimal comma. Each number goes through
// the free-form reader's conversion, with its single rounding to float.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numtext/civil_date.hpp"

namespace numtext {

// Where and why a CSV text is refused: its line, the column (empty when the
// fault is not in one field) and what is wrong.
struct CsvFailure {
  std::int64_t line = 0;
  std::string field;
  std::string message;
};

// The records of a CSV text, one after another, with the line each starts
// on; an empty line is no record. Throws CsvFailure for a quote left open or
// text after a closing quote.
class CsvRecords {
 public:
  CsvRecords(std::string_view text, char separator) : text_(text), sep_(separator) {}
  bool next(std::vector<std::string>& fields);
  std::int64_t line() const { return record_line_; }

 private:
  bool at_line_end() const;
  void skip_line_end();
  void read_field(std::string& into);

  std::string_view text_;
  char sep_;
  std::size_t pos_ = 0;
  std::int64_t line_ = 1;
  std::int64_t record_line_ = 0;
};

// The length of a UTF-8 byte order mark at the start of text: 3 or 0.
std::size_t byte_order_mark(std::string_view text);

// The text up to the first line end.
std::string_view first_line(std::string_view text);

struct CsvColumns {
  char separator = ',';
  std::size_t fields = 0;  // in the header
  std::size_t date = 0;
  std::size_t close = 0;
  std::string close_name;  // as the header writes it
};

inline constexpr std::string_view kDefaultClose = "Close";

// The columns of a header line (after the byte order mark), or nothing when
// the line names neither a Date column nor the close column: then it is no
// CSV header. Names are compared without regard to case or surrounding
// blanks. Throws CsvFailure when one of the two is missing.
std::optional<CsvColumns> csv_header(std::string_view line, std::string_view close_name);

// A close that a record leaves out: empty, null, NaN or N/A.
bool is_null_value(std::string_view field);

// The number of a field; blanks around it do not count. Throws IoFailure
// as the free-form reader does.
float field_number(std::string_view field, bool decimal_comma);

// YYYY-MM-DD, YYYY/MM/DD or YYYYMMDD; nothing for any other text. The date
// may not be one of the calendar.
std::optional<CivilDate> field_date(std::string_view field);

// One day of a price file: its date, its close and the line it came from.
struct PriceDay {
  CivilDate date;
  float close = 0.0f;
  std::int64_t line = 0;
};

struct CsvDays {
  std::vector<PriceDay> days;       // in file order
  std::int64_t left_out = 0;        // records without a close
  std::int64_t first_left_out = 0;  // the line of the first of them
};

// The days of a whole CSV text, header first. Throws CsvFailure.
CsvDays read_csv_days(std::string_view text, std::string_view close_name);

}  // namespace numtext
