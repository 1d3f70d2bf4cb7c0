// The run as a function: a request holding the answers and the prices, a
// result holding the records as text and as values. The core of src/core
// with no console and no file written; reentrant: runs on several threads
// at once give the results each gives alone. Throws units::RunFailure for
// every failure the program reports, std::invalid_argument for a request
// that lacks an answer or gives one the dialogue would ask again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "numtext/civil_date.hpp"
#include "elab/answers.hpp"

namespace prep {

// Days and their closes, in any order; a close that is not a number leaves
// its day out.
struct PriceTable {
  std::vector<numtext::CivilDate> dates;
  std::vector<double> closes;
};

struct Request {
  Answers answers;  // all of them; the last date only when the first is not all
  std::string price_file;  // either form, read when there is no table
  std::optional<PriceTable> table;
  std::optional<std::string> close;  // a CSV's close column, Close when not given
};

// Days since 1970-01-01 of a record whose year, month and day are no
// calendar date.
inline constexpr std::int64_t kNoDay = INT64_MIN;

struct Result {
  std::string text;  // the bytes of elab.dat
  std::int32_t count = 0;
  char layout = 'A';                 // 'A', 'B' or 'C'
  std::vector<std::string> columns;  // the fields in record order, PREV last
  std::vector<float> values;         // count x columns, record after record
  std::vector<std::int64_t> days;    // of each record, since 1970-01-01, or kNoDay
  std::vector<std::string> warnings; // what the reading went on past
};

Result prepare(const Request& request);

}  // namespace prep
