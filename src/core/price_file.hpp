// The price file in either form: the program's own (NR and NC, then NR rows
// of NC values) or a CSV whose first line is a header naming a Date and a
// close column. Both give the same matrix MM for the same days.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "numtext/csv_text.hpp"
#include "platform/side_by_side.hpp"
#include "core/run_state.hpp"
#include "units/input_file.hpp"

namespace prep {

class PriceFile {
 public:
  // Tells the form from the first line. A CSV is read whole here and its
  // days put in date order; a fault throws RunFailure. close
  // names the CSV's close column (Close when not given).
  PriceFile(units::InputFile& in, const std::optional<std::string>& close);

  bool is_csv() const { return csv_; }
  // NR and NC.
  void read_size(RunState& st);
  // Rows 1 .. NR of MM, once the arrays are obtained; a file's own form is
  // read on second too, where there is one.
  void read_rows(RunState& st, platform::SecondThread* second);
  // A CSV's days, in date order.
  const std::vector<numtext::PriceDay>& days() const { return days_; }
  // What the reading found and went on past, one line each.
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  void read_csv(std::string_view close_name);

  units::InputFile& in_;
  bool csv_ = false;
  std::vector<numtext::PriceDay> days_;
  std::vector<std::string> warnings_;
};

}  // namespace prep
