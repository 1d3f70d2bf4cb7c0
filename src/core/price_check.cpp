#include "core/price_check.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "numtext/date_text.hpp"
#include "numtext/integer_text.hpp"
#include "numtext/quoted_text.hpp"
#include "core/core.hpp"
#include "core/date.hpp"
#include "core/price_file.hpp"
#include "core/record_dates.hpp"

namespace prep {
namespace {

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ','; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The values a free-form read takes from one line: a comma right after
// another stands for a null value, r*v for r values, a slash ends the read.
struct LineValues {
  std::int64_t count = 0;
  bool slash = false;
};

std::int64_t repeat_count(std::string_view token) {
  const std::size_t star = token.find('*');
  if (star == std::string_view::npos || star == 0) return 1;
  try {
    return std::max<std::int64_t>(numtext::parse_integer(token.data(), star), 1);
  } catch (const numtext::IoFailure&) {
    return 1;  // the run refuses it anyway
  }
}

LineValues values_on_line(std::string_view line) {
  LineValues v;
  bool after_comma = false;
  for (std::size_t k = 0; k < line.size();) {
    const char c = line[k];
    if (c == ' ' || c == '\t') {
      ++k;
    } else if (c == ',') {
      if (after_comma) ++v.count;
      after_comma = true;
      ++k;
    } else if (c == '/') {
      v.slash = true;
      return v;
    } else {
      std::size_t e = k;
      while (e < line.size() && !is_separator(line[e]) && line[e] != '/') ++e;
      v.count += repeat_count(line.substr(k, e - k));
      after_comma = false;
      k = e;
    }
  }
  return v;
}

// A comma between two digits on a line whose values are otherwise apart by
// blanks: "544,75" meant as one value.
std::string_view split_decimal(std::string_view line) {
  if (line.find_first_of(" \t") == std::string_view::npos) return {};
  for (std::size_t k = 1; k + 1 < line.size(); ++k) {
    if (line[k] != ',' || !is_digit(line[k - 1]) || !is_digit(line[k + 1])) continue;
    std::size_t b = k, e = k + 1;
    while (b > 0 && !is_separator(line[b - 1]) && line[b - 1] != ',') --b;
    while (e < line.size() && !is_separator(line[e])) ++e;
    return line.substr(b, e - b);
  }
  return {};
}

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string count_of(std::int64_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// The lines a read statement of count values takes from line `at` on, and
// whether it is one line of exactly count values.
struct Statement {
  std::size_t first = 0, last = 0;
  bool one_line_of_count = false;
};

Statement read_statement(const std::vector<std::string_view>& lines, std::size_t at, std::int64_t count) {
  while (at < lines.size()) {
    const LineValues v = values_on_line(lines[at]);
    if (v.count > 0 || v.slash) break;
    ++at;  // blank lines before a read
  }
  Statement s{at, at, false};
  std::int64_t need = count;
  for (std::size_t l = at; l < lines.size(); ++l) {
    const LineValues v = values_on_line(lines[l]);
    need -= v.count;
    s.last = l;
    if (need <= 0 || v.slash) break;
  }
  s.one_line_of_count = s.first == s.last && need == 0;
  return s;
}

std::string values_finding(std::string_view line, std::int64_t nc) {
  const std::int64_t n = values_on_line(line).count;
  std::string what = count_of(n, "value", "values") + " on the line, NC is " + std::to_string(nc);
  return what + (n < nc ? ": the row goes on into the next line" : ": the last ones are never read");
}

constexpr std::string_view kWeekdays[] = {"", "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::optional<std::string> date_finding(float year, float month, float day, float code) {
  if (!numtext::is_date_part(year) || !numtext::is_date_part(month) || !numtext::is_date_part(day)) return std::nullopt;
  const numtext::CivilDate d{static_cast<std::int32_t>(year), static_cast<std::int32_t>(month),
                             static_cast<std::int32_t>(day)};
  if (d.year >= 0 && d.year <= 99) {
    std::string what = "year " + std::to_string(d.year);
    what += " has two digits: a run takes it as the year " + std::to_string(d.year);
    return what + ", not " + std::to_string(1900 + d.year);
  }
  const std::string text = numtext::iso_text(year, month, day);
  if (!numtext::is_calendar_date(d)) return text + " is no day of the calendar";
  const std::int32_t wanted = numtext::weekday_code(d);
  if (code == static_cast<float>(wanted)) return std::nullopt;
  return "a weekday code other than the date's: " + text + " is a " + std::string(kWeekdays[wanted]) + " (" +
         std::to_string(wanted) + ")";
}

// A finding of no line (of the whole file) comes last.
bool earlier(const Finding& a, std::int64_t a_order, const Finding& b, std::int64_t b_order) {
  const auto place = [](std::int64_t line) { return static_cast<std::uint64_t>(line - 1); };
  return a.line != b.line ? place(a.line) < place(b.line) : a_order < b_order;
}

}  // namespace

void Findings::push_back(Finding f) {
  const std::int64_t order = total_++;
  const auto later = [](const Kept& a, const Kept& b) { return earlier(a.finding, a.order, b.finding, b.order); };
  if (heap_.size() == kShown) {
    if (!earlier(f, order, heap_.front().finding, heap_.front().order)) return;
    std::pop_heap(heap_.begin(), heap_.end(), later);
    heap_.pop_back();
  }
  heap_.push_back({std::move(f), order});
  std::push_heap(heap_.begin(), heap_.end(), later);
}

std::vector<Finding> Findings::shown() const {
  std::vector<Kept> kept = heap_;
  std::sort(kept.begin(), kept.end(),
            [](const Kept& a, const Kept& b) { return earlier(a.finding, a.order, b.finding, b.order); });
  std::vector<Finding> out;
  for (Kept& k : kept) out.push_back(std::move(k.finding));
  return out;
}

OwnTextFindings check_own_text(std::string_view text, std::int64_t nr, std::int64_t nc) {
  const auto lines = lines_of(text);
  OwnTextFindings out;
  // The statements are found twice rather than kept: a pass to tell whether
  // the file has one row per line, a pass for the findings.
  const std::size_t first_row = read_statement(lines, 0, 2).last + 1;
  std::size_t next = first_row;
  std::int64_t one_per_line = 0;
  for (std::int64_t i = 1; i <= nr && next < lines.size(); ++i) {
    const Statement row = read_statement(lines, next, nc);
    out.row_lines.push_back(static_cast<std::int64_t>(row.first) + 1);
    one_per_line += row.one_line_of_count;
    next = row.last + 1;
  }
  const std::size_t rows = out.row_lines.size();
  // Rows the text does not show where the reader found them: past its end.
  out.row_lines.resize(static_cast<std::size_t>(std::max<std::int64_t>(nr, 0)), static_cast<std::int64_t>(lines.size()) + 1);
  const bool by_lines = one_per_line * 2 > static_cast<std::int64_t>(rows);
  std::size_t at = first_row;
  for (std::size_t r = 0; r < rows; ++r) {
    const auto row = static_cast<std::int64_t>(r) + 1;
    const Statement statement = read_statement(lines, at, nc);
    at = statement.last + 1;
    for (std::size_t l = statement.first; l <= statement.last; ++l) {
      const auto line = static_cast<std::int64_t>(l) + 1;
      const std::string_view value = split_decimal(lines[l]);
      if (!value.empty()) {
        out.findings.push_back({row, line, numtext::quoted_text(value) + " is read as two values; decimals take a point"});
      } else if (by_lines && values_on_line(lines[l]).count != nc) {
        out.findings.push_back({row, line, values_finding(lines[l], nc)});
      }
    }
  }
  std::int64_t after = 0;
  std::size_t first_after = 0;
  for (std::size_t l = next; l < lines.size(); ++l) {
    if (values_on_line(lines[l]).count == 0) continue;
    if (after++ == 0) first_after = l;
  }
  if (after > 0) {
    out.findings.push_back({0, static_cast<std::int64_t>(first_after) + 1,
                            count_of(after, "line", "lines") + " of values after the NR = " + std::to_string(nr) +
                                " rows: a run never reads them"});
  }
  return out;
}

void check_rows(const Matrix& MM, std::span<const std::int64_t> row_lines, Findings& out) {
  // Each date with the rows it is on, in order: 8 bytes a row.
  std::vector<std::pair<std::int32_t, std::int32_t>> rows_of_date;
  for (std::size_t r = 0; r < row_lines.size(); ++r) {
    const auto i = static_cast<std::int64_t>(r) + 1;
    if (const auto key = numtext::date_key(MM(i, 1), MM(i, 2), MM(i, 3))) {
      rows_of_date.emplace_back(*key, static_cast<std::int32_t>(i));
    }
  }
  std::sort(rows_of_date.begin(), rows_of_date.end());
  std::optional<std::int32_t> previous;
  for (std::size_t r = 0; r < row_lines.size(); ++r) {
    const auto i = static_cast<std::int64_t>(r) + 1;
    const auto note = [&](std::string what) { out.push_back({i, row_lines[r], std::move(what)}); };
    if (auto what = date_finding(MM(i, 1), MM(i, 2), MM(i, 3), MM(i, 7))) note(std::move(*what));
    const auto key = numtext::date_key(MM(i, 1), MM(i, 2), MM(i, 3));
    if (key) {
      const std::int64_t first =
          std::lower_bound(rows_of_date.begin(), rows_of_date.end(), std::pair<std::int32_t, std::int32_t>(*key, 0))
              ->second;
      if (first != i) {
        const auto k = static_cast<std::size_t>(first - 1);
        note("the same date as row " + std::to_string(first) + " (line " + std::to_string(row_lines[k]) + ")");
      } else if (previous && *key <= *previous && !(MM(i, 1) >= 0.0f && MM(i, 1) < 100.0f)) {
        // a year of two digits is its own finding
        note("the date is before the previous row's");
      }
      previous = key;
    }
    if (!(MM(i, 6) > 0.0f)) note("a close of zero or below");
  }
}

std::vector<std::string> findings_report(const Findings& findings, std::int64_t rows) {
  std::vector<std::string> lines;
  for (const Finding& f : findings.shown()) {
    std::string line;
    if (f.row > 0) line += "row " + std::to_string(f.row) + ", ";
    if (f.line > 0) line += "line " + std::to_string(f.line) + ": ";
    line += f.what;
    lines.push_back(std::move(line));
  }
  std::string count = count_of(static_cast<std::int64_t>(findings.size()), "finding", "findings");
  count += " in " + count_of(rows, "row", "rows");
  if (findings.size() > static_cast<std::int64_t>(Findings::kShown)) {
    count += ", the first " + std::to_string(Findings::kShown) + " shown";
  }
  lines.push_back(std::move(count));
  return lines;
}

Findings check_price_file(RunState& st, units::InputFile& input, const numtext::TableChoice& choice,
                          const std::function<void(const std::string&)>& warn) {
  std::string text;
  input.copy_text_to(&text);
  PriceFile prices(input, choice);
  for (const std::string& warning : prices.warnings()) warn(warning);
  // The second thread, if any, reads the rows and ends with them.
  (void)read_price_matrix(st, prices);
  std::vector<std::int64_t> row_lines;
  Findings findings;
  if (const auto* days = prices.days()) {
    for (const auto& day : *days) row_lines.push_back(day.line);
  } else {
    (void)input.read_rest();  // the lines after the rows, into the copy
    OwnTextFindings own = check_own_text(text, st.NR, st.NC);
    row_lines = std::move(own.row_lines);
    findings = std::move(own.findings);
  }
  check_rows(st.MM, row_lines, findings);
  check_days(st.MM, row_lines, findings);
  return findings;
}

}  // namespace prep
