// elab --check: the rows of a price file that a run accepts although they
// are likely wrong.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "numtext/vendor_table.hpp"
#include "core/price_file.hpp"
#include "core/run_state.hpp"
#include "units/input_file.hpp"

namespace elab {

struct Finding {
  std::int64_t row = 0;  // 0: not one row
  std::int64_t line = 0;
  std::string what;
};

// The findings in line order (among those of one line, the first found
// first): the first kShown of them kept, the others only counted, so that
// the memory does not grow with their number.
class Findings {
 public:
  static constexpr std::size_t kShown = 20;
  void push_back(Finding f);
  std::int64_t size() const { return total_; }
  bool empty() const { return total_ == 0; }
  std::vector<Finding> shown() const;

 private:
  struct Kept {
    Finding finding;
    std::int64_t order;
  };
  std::vector<Kept> heap_;  // the last in line order on top
  std::int64_t total_ = 0;
};

// Where the rows of the program's own format start and what its lines hold.
struct OwnTextFindings {
  std::vector<std::int64_t> row_lines;  // the line of row i at [i - 1]
  Findings findings;
};

// The own format's text as the reader takes it (line ends as LF): a line
// with another number of values than nc in a file that otherwise has one
// row per line, a decimal comma that splits a value in two, and lines after
// the nr rows, which are never read.
OwnTextFindings check_own_text(std::string_view text, std::int64_t nr, std::int64_t nc);

// Rows 1 .. row_lines.size() of MM: a weekday code other than the date's
// (or no day of the calendar), a date not after the row before or met
// before, a close of zero or below, a year of two digits.
void check_rows(const Matrix& MM, std::span<const std::int64_t> row_lines, Findings& out);

// The name of the day of a weekday code (1 Sunday .. 7 Saturday) in the
// language of the messages.
std::string weekday_name(std::int32_t code);

// What a daily series of an exchange seldom looks like, in rows 1 .. rows
// of MM in date order: a row on a Saturday or a Sunday, a gap of more than
// 10 calendar days, five or more equal closes in a row, fewer rows than a
// run needs. Each is handed to found with its row (0: not one row).
enum class DayKind { weekend, gap, equal_closes, few_rows };
using DayFound = std::function<void(DayKind kind, std::int64_t row, std::string what)>;
void each_day_finding(const Matrix& MM, std::int64_t rows, const DayFound& found);

// Those findings of rows 1 .. row_lines.size() of MM, on their lines.
void check_days(const Matrix& MM, std::span<const std::int64_t> row_lines, Findings& out);

// What a run says of the days of the rows it takes (rows 1 .. rows of M):
// a line each for weekend rows, long gaps and runs of equal closes, with
// their count and the date of the first.
std::vector<std::string> day_warnings(const Matrix& M, std::int64_t rows);

// Those of the rows a run has selected, led by place and pointing to
// --check, each handed to warn; with strict, all of them as one failure of
// the input instead.
void warn_of_taken_days(const RunState& st, std::string_view place, bool strict,
                        const std::function<void(const std::string&)>& warn);

// At most 20 findings in line order, then the count line.
std::vector<std::string> findings_report(const Findings& findings, std::int64_t rows);

// elab --check: reads the price file as a run does (its faults and stops
// are the run's), handing warn what the reading went on past; the findings.
Findings check_price_file(RunState& st, units::InputFile& input, const numtext::TableChoice& choice,
                          const std::function<void(const std::string&)>& warn);
// The same for one series of a table read once.
Findings check_table_series(RunState& st, PriceFile& prices, const std::function<void(const std::string&)>& warn);

}  // namespace elab
