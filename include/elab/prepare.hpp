// The run as a function: a request holding the answers and the prices, a
// result holding the records as text and as values. The core of src/core
// with no console and no file written; reentrant: runs on several threads
// at once give the results each gives alone. Throws elab::Error (elab/error.hpp) for
// every failure the program reports, std::invalid_argument for a request
// that lacks an answer or gives one the dialogue would ask again.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "elab/answers.hpp"
#include "elab/error.hpp"
#include "elab/table.hpp"

namespace elab {

// Days and their closes, in any order; a close that is not a number (or,
// as text, one that is empty, null, NaN or N/A) leaves its day out. Dates
// and closes given as texts are read as a table's columns are.
struct PriceTable {
  std::vector<CivilDate> dates;  // or, when empty, date_texts
  std::vector<std::string> date_texts;
  std::vector<double> closes;             // or, when empty, close_texts
  std::vector<std::string> close_texts;
  std::vector<std::string> symbols;       // empty: no column of symbols
  std::string symbol_name = "Symbol";
  std::string date_name = "Date";   // the columns' names, as refusals give them
  std::string close_name = "Close";
};

struct Request {
  Answers answers;  // all of them; the last date only when the first is not all
  std::string price_file;  // either form, read when there is no table
  std::optional<PriceTable> table;
  TableChoice choice;  // what a table cannot settle
  // What --check finds in the days of the rows taken (weekend rows, long
  // gaps, runs of equal closes) fails the call instead of being warned of.
  bool strict = false;
};

// Days since 1970-01-01 of a record whose year, month and day are no
// calendar date.
inline constexpr std::int64_t kNoDay = INT64_MIN;

// Memory whose new elements are left unset for their writer: a result's
// records are laid out once, not zeroed first.
template <class T>
struct LeftUnset : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = LeftUnset<U>;
  };
  LeftUnset() = default;
  template <class U>
  LeftUnset(const LeftUnset<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
template <class T>
using Records = std::vector<T, LeftUnset<T>>;

struct Result {
  Records<char> text;  // the bytes of elab.dat
  std::int32_t count = 0;
  char layout = 'A';                 // 'A', 'B' or 'C'
  std::vector<std::string> columns;  // the fields in record order, PREV last
  Records<float> values;             // count x columns, record after record
  Records<std::int64_t> days;        // of each record, since 1970-01-01, or kNoDay
  std::vector<std::string> warnings; // what the reading went on past
  // With answers.test_from: this is the training set, and test the test set.
  std::shared_ptr<Result> test;
};

Result prepare(const Request& request);

}  // namespace elab
