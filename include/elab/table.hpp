// What a caller says about a vendor's table that the table cannot settle,
// and the day as the core's readers give it. The vocabulary every layer
// shares: this header includes nothing but the standard library.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace elab {

struct CivilDate {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;

  friend bool operator==(const CivilDate&, const CivilDate&) = default;
  friend auto operator<=>(const CivilDate&, const CivilDate&) = default;
};

// Which of the two numbers before the year of 08/12/2026 is the day.
enum class DateOrder : std::uint8_t { unknown, dmy, mdy };

// How a refusal spells its way out: the command line's options
// (--close=NAME), Python's keywords (close=NAME) or the properties of the
// JavaScript API's options (close: "NAME").
enum class Spelling { command_line, keyword, property };

struct TableChoice {
  std::optional<std::string> close;        // a column's name, or its place from 1
  std::optional<std::string> date_column;  // the same for the date
  DateOrder date_order = DateOrder::unknown;
  std::optional<std::string> symbol;           // the series to take from a file of several
  Spelling spelling = Spelling::command_line;  // of the ways out a refusal names
};

}  // namespace elab
