#include "prep/price_file.hpp"

#include <cstdint>
#include <limits>

#include "numtext/quoted_text.hpp"
#include "prep/price_days.hpp"
#include "prep/record_dates.hpp"
#include "units/run_failure.hpp"

namespace prep {
namespace {

using numtext::CsvFailure;

// "prices.csv: line 17, field "Close": invalid real value: "x""
[[noreturn]] void report_csv_failure(const std::string& file, const CsvFailure& f) {
  std::string text = file + ": line " + std::to_string(f.line);
  if (!f.field.empty()) text += ", field " + numtext::quoted_text(f.field);
  units::report_input_error(text + ": " + f.message);
}

void warn_left_out(const std::string& file, const numtext::CsvDays& read,
                   std::vector<std::string>& warnings) {
  if (read.left_out == 0) return;
  const bool one = read.left_out == 1;
  warnings.push_back(file + ": " + std::to_string(read.left_out) + (one ? " row" : " rows") +
                       " without a close left out, " + (one ? "on" : "the first on") + " line " +
                       std::to_string(read.first_left_out));
}

}  // namespace

PriceFile::PriceFile(units::InputFile& in, const std::optional<std::string>& close) : in_(in) {
  const std::string_view close_name = close ? std::string_view(*close) : numtext::kDefaultClose;
  std::string_view line = in_.first_line();
  line.remove_prefix(numtext::byte_order_mark(line));
  try {
    csv_ = numtext::csv_header(line, close_name).has_value();
  } catch (const CsvFailure& f) {
    report_csv_failure(in_.name(), f);
  }
  if (csv_) {
    read_csv(close_name);
  } else if (close) {
    units::report_input_error(in_.name() + ": --close=" + *close + " needs a CSV price file");
  }
}

void PriceFile::read_csv(std::string_view close_name) {
  try {
    numtext::CsvDays read = numtext::read_csv_days(in_.read_rest(), close_name);
    warn_left_out(in_.name(), read, warnings_);
    days_ = std::move(read.days);
    order_by_date(days_);
  } catch (const CsvFailure& f) {
    report_csv_failure(in_.name(), f);
  } catch (const SameDate& d) {
    units::report_input_error(in_.name() + ": lines " + std::to_string(d.first_line) + " and " +
                              std::to_string(d.second_line) + ": the same date " + date_text(static_cast<float>(d.date.year), static_cast<float>(d.date.month),
                                                                  static_cast<float>(d.date.day)));
  }
  if (days_.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    units::report_input_error(in_.name() + ": more rows than a run can take");
  }
}

void PriceFile::read_size(RunState& st) {
  if (csv_) {
    st.NR = static_cast<std::int32_t>(days_.size());
    st.NC = kDayColumns;
    return;
  }
  const numtext::Target size[] = {numtext::Target::of(st.NR), numtext::Target::of(st.NC)};
  in_.read_head(size);
}

void PriceFile::read_rows(RunState& st, platform::SecondThread* second) {
  if (csv_) {
    fill_price_rows(days_, st.MM);
    return;
  }
  // One read per row; a null value leaves the zero the arrays start with.
  in_.read_rows(&st.MM(1, 1), st.NR, static_cast<std::size_t>(st.NC), st.MM.rows, second);
}

}  // namespace prep
