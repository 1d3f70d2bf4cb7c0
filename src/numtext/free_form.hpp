// The free-form reader: one read statement fills an ordered list of integer
// and real targets from a character source. Values are separated by blanks,
// tabs, commas or line ends; a comma with no value gives a null value (the
// target keeps its value), a slash ends the statement, r*v and r* repeat, and
// the rest of the last line is skipped at the end of the statement.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "numtext/char_source.hpp"

namespace numtext {

struct Target {
  enum class Kind : std::uint8_t { Integer, Real };
  Kind kind;
  void* where;

  static Target of(std::int32_t& v) { return {Kind::Integer, &v}; }
  static Target of(float& v) { return {Kind::Real, &v}; }
};

// What a read statement takes from a stretch of text: its values (a null
// value and each of r*v counted) and whether a slash ends it there.
struct ValuesTaken {
  std::int64_t count = 0;
  bool slash = false;
};

class FreeFormReader {
 public:
  explicit FreeFormReader(CharSource& source) : src_(source) {}

  // One read statement. Throws IoFailure with the failing target's index;
  // a failing value is not stored.
  void read(std::span<const Target> targets);
  // One read statement of count reals at first[0], first[stride], ...
  void read_reals(float* first, std::size_t count, std::size_t stride);
  // The values a statement would take from the rest of the source, storing
  // none (elab --check). starts_statement: a comma before any value gives a
  // null value, as at the start of a statement. Text a read refuses counts
  // as one value and ends the count.
  ValuesTaken count_values(bool starts_statement);

 private:
  enum class Sep : std::uint8_t { Comma, Blank };
  enum class Scan : std::uint8_t { Value, Null, Slash };

  // A real value ended by a separator within the window, read without
  // collecting its text first; and the values of a row a window at a time.
  bool take_plain_real(const Target& t);
  std::size_t take_plain_row(float* first, std::size_t count, std::size_t stride);
  // sep_before: the separator after the value before the first target (a
  // comma at the start of a statement); taken: the statement's targets
  // already filled before these, counted in the index a failure names.
  template <class Targets>
  void read_statement(const Targets& targets, Sep sep_before, std::size_t taken);
  Scan next_value(Target::Kind kind);
  void collect_token(Target::Kind kind);
  // The separator that ended a value.
  void note_separator(char c);
  void skip_rest_of_line();
  // Skips blanks and line ends; whether the source ends after them.
  bool only_blanks_left();
  // r of the r*v just collected, at least 1.
  std::int64_t repeat_of_token() const;
  void store(const Target& t, const char* text, std::size_t len);

  CharSource& src_;
  // Read state of the current statement.
  Sep last_sep_ = Sep::Comma;
  bool ended_by_line_end_ = false;
  bool slash_after_value_ = false;
  const char* token_ = nullptr;  // text of the value just collected
  std::size_t token_len_ = 0;
  std::size_t star_ = 0;  // position of '*' in the token + 1, or 0
};

}  // namespace numtext
