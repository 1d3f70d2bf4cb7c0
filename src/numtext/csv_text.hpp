// The records of a CSV text: quoting as in RFC 4180, the separator the
// header's own (comma, semicolon or tab). What the records hold is read in
// vendor_table.hpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "numtext/date_text.hpp"

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
  CsvRecords(std::string_view text, char separator, std::int64_t first_line = 1)
      : text_(text), sep_(separator), line_(first_line) {}
  bool next(std::vector<std::string>& fields);
  // The same, each field a view: of the text where it is written as it is,
  // of a string of held where it was quoted (held is filled again by the
  // next record).
  bool next(std::vector<std::string_view>& fields, std::deque<std::string>& held);
  std::int64_t line() const { return record_line_; }
  // Where the record just read starts in the text.
  std::size_t at() const { return record_at_; }

 private:
  bool at_line_end() const;
  void skip_line_end();
  void read_field(std::string& into);
  std::string_view plain_field();

  std::string_view text_;
  char sep_;
  std::size_t pos_ = 0;
  std::int64_t line_;
  std::int64_t record_line_ = 0;
  std::size_t record_at_ = 0;
};

// The length of a UTF-8 byte order mark at the start of text: 3 or 0.
std::size_t byte_order_mark(std::string_view text);


// A close that a record leaves out: empty, null, NaN or N/A.
bool is_null_value(std::string_view field);

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
  // How the dates were read where a person might read them otherwise:
  // the line of the first date so read, and what was taken. Only --check
  // tells it.
  struct Note {
    std::int64_t line = 0;
    std::string text;
  };
  std::vector<Note> notes;
  std::string close_name = "Close";
};

}  // namespace numtext
