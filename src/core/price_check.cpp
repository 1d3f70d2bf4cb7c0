#include "core/price_check.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "numtext/char_source.hpp"
#include "numtext/date_text.hpp"
#include "numtext/free_form.hpp"
#include "numtext/messages.hpp"
#include "numtext/text_failure.hpp"
#include "numtext/quoted_text.hpp"
#include "core/core.hpp"
#include "core/date.hpp"
#include "core/price_file.hpp"
#include "core/record_dates.hpp"

namespace elab {
namespace {

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ','; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// What the reader takes from one line on its own.
numtext::ValuesTaken values_on_line(std::string_view line, bool starts_statement) {
  numtext::TextSource source(line);
  return numtext::FreeFormReader(source).count_values(starts_statement);
}

// A comma between two digits on a line whose values are otherwise apart by
// blanks: "544,75" meant as one value.
std::string_view split_decimal(std::string_view line) {
  if (line.find_first_of(" \t") == std::string_view::npos) return {};
  for (std::size_t k = 1; k + 1 < line.size(); ++k) {
    if (line[k] != ',' || !is_digit(line[k - 1]) || !is_digit(line[k + 1])) continue;
    std::size_t b = k, e = k + 1;
    while (b > 0 && !is_separator(line[b - 1])) --b;
    while (e < line.size() && !is_separator(line[e])) ++e;
    return line.substr(b, e - b);
  }
  return {};
}

using numtext::Msg;
using numtext::for_count;
using numtext::message;

// The lines of the text and where each starts, to name the line of a place.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {
    for (std::string_view rest = text; !rest.empty();) {
      const std::size_t end = rest.find('\n');
      lines_.push_back(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
  std::size_t size() const { return lines_.size(); }
  std::string_view operator[](std::size_t l) const { return lines_[l]; }
  // The line holding the character at place (text.size(): past the last),
  // looked for from line `from` on: statements come in line order.
  std::size_t line_of(const char* place, std::size_t from) const {
    const auto at = static_cast<std::size_t>(place - text_.data());
    from = std::min(from, lines_.size() - 1);  // the text is not empty
    while (from + 1 < lines_.size() && static_cast<std::size_t>(lines_[from + 1].data() - text_.data()) <= at) ++from;
    return from;
  }

 private:
  std::string_view text_;
  std::vector<std::string_view> lines_;
};

// The lines one read statement took: from the first that gave it a value
// (or its slash) to the one it ended on.
struct Statement {
  std::size_t first = 0, last = 0;
};

// Each statement the reader takes from the text, the head's (0) and then
// each row's (1 .. nr) as far as the text goes, handed to each; the line
// after the last one taken.
template <class Each>
std::size_t each_statement(std::string_view text, const Lines& lines, std::int64_t nr, std::int64_t nc, Each each) {
  numtext::TextSource source(text);
  numtext::FreeFormReader reader(source);
  std::vector<float> row(static_cast<std::size_t>(std::max<std::int64_t>(nc, 2)));
  std::size_t next = 0;
  for (std::int64_t i = 0; i <= nr && source.pos != source.end; ++i) {
    const char* const start = source.pos;
    try {
      reader.read_reals(row.data(), i == 0 ? 2 : static_cast<std::size_t>(nc), 1);
    } catch (const numtext::IoFailure&) {
      break;  // a run stops there too
    }
    Statement s;
    s.first = lines.line_of(start, next);
    s.last = lines.line_of(source.pos - 1, s.first);
    while (s.first < s.last) {
      const numtext::ValuesTaken v = values_on_line(lines[s.first], true);
      if (v.count > 0 || v.slash) break;
      ++s.first;  // blank lines before the statement's first value
    }
    each(i, s);
    next = s.last + 1;
  }
  return next;
}

std::string values_finding(std::int64_t n, std::int64_t nc) {
  const Msg row = n < nc ? for_count(n, Msg::check_values_short_one, Msg::check_values_short)
                         : for_count(n, Msg::check_values_long_one, Msg::check_values_long);
  return message(row, {std::to_string(n), std::to_string(nc)});
}

std::optional<std::string> date_finding(float year, float month, float day, float code) {
  if (!numtext::is_date_part(year) || !numtext::is_date_part(month) || !numtext::is_date_part(day)) return std::nullopt;
  const numtext::CivilDate d{static_cast<std::int32_t>(year), static_cast<std::int32_t>(month),
                             static_cast<std::int32_t>(day)};
  if (d.year >= 0 && d.year <= 99) {
    const std::string two = std::to_string(d.year);
    return message(Msg::check_two_digit_year, {two, two, std::to_string(1900 + d.year)});
  }
  const std::string text = numtext::iso_text(year, month, day);
  if (!numtext::is_calendar_date(d)) return message(Msg::check_no_calendar_day, {text});
  const std::int32_t wanted = numtext::weekday_code(d);
  if (code == static_cast<float>(wanted)) return std::nullopt;
  return message(Msg::check_weekday_code, {text, weekday_name(wanted), std::to_string(wanted)});
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
  const Lines lines(text);
  OwnTextFindings out;
  // The statements are read twice rather than kept: a pass to tell whether
  // the file has one row per line, a pass for the findings.
  std::int64_t one_per_line = 0;
  const std::size_t after_rows = each_statement(text, lines, nr, nc, [&](std::int64_t i, const Statement& row) {
    if (i == 0) return;
    out.row_lines.push_back(static_cast<std::int64_t>(row.first) + 1);
    one_per_line += row.first == row.last && values_on_line(lines[row.first], true).count == nc;
  });
  const bool by_lines = one_per_line * 2 > static_cast<std::int64_t>(out.row_lines.size());
  each_statement(text, lines, nr, nc, [&](std::int64_t row, const Statement& s) {
    for (std::size_t l = s.first; l <= s.last && row > 0; ++l) {
      const auto line = static_cast<std::int64_t>(l) + 1;
      const std::string_view value = split_decimal(lines[l]);
      if (!value.empty()) {
        out.findings.push_back({row, line, message(Msg::check_read_as_two_values, {numtext::quoted_text(value)})});
      } else if (by_lines) {
        const std::int64_t n = values_on_line(lines[l], l == s.first).count;
        if (n != nc) out.findings.push_back({row, line, values_finding(n, nc)});
      }
    }
  });
  // Rows the text does not show where the reader found them: past its end.
  out.row_lines.resize(static_cast<std::size_t>(std::max<std::int64_t>(nr, 0)), static_cast<std::int64_t>(lines.size()) + 1);
  std::int64_t after = 0;
  std::size_t first_after = 0;
  for (std::size_t l = after_rows; l < lines.size(); ++l) {
    if (values_on_line(lines[l], true).count == 0) continue;
    if (after++ == 0) first_after = l;
  }
  if (after > 0) {
    out.findings.push_back({0, static_cast<std::int64_t>(first_after) + 1,
                            message(for_count(after, Msg::check_lines_after_one, Msg::check_lines_after),
                                    {std::to_string(after), std::to_string(nr)})});
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
        note(message(Msg::check_same_date, {std::to_string(first), std::to_string(row_lines[k])}));
      } else if (previous && *key <= *previous && !(MM(i, 1) >= 0.0f && MM(i, 1) < 100.0f)) {
        // a year of two digits is its own finding
        note(message(Msg::check_date_before_previous));
      }
      previous = key;
    }
    if (!(MM(i, 6) > 0.0f)) note(message(Msg::check_close_not_positive));
  }
}

namespace {

std::string finding_line(const Finding& f) {
  if (f.row > 0 && f.line > 0) {
    return message(Msg::finding_at_row_and_line, {std::to_string(f.row), std::to_string(f.line), f.what});
  }
  if (f.row > 0) return message(Msg::finding_at_row, {std::to_string(f.row), f.what});
  if (f.line > 0) return message(Msg::finding_at_line, {std::to_string(f.line), f.what});
  return f.what;
}

// A sentence for each form the counts take, as a language's plurals may
// change more than the nouns.
std::string count_line(std::int64_t found, std::int64_t rows) {
  const std::string f = std::to_string(found), r = std::to_string(rows);
  if (found > static_cast<std::int64_t>(Findings::kShown)) {
    return message(for_count(rows, Msg::findings_in_one_row_first_shown, Msg::findings_in_rows_first_shown),
                   {f, r, std::to_string(Findings::kShown)});
  }
  if (found == 1) return message(for_count(rows, Msg::findings_one_in_one_row, Msg::findings_one_in_rows), {f, r});
  return message(for_count(rows, Msg::findings_in_one_row, Msg::findings_in_rows), {f, r});
}

}  // namespace

std::vector<std::string> findings_report(const Findings& findings, std::int64_t rows) {
  std::vector<std::string> lines;
  for (const Finding& f : findings.shown()) lines.push_back(finding_line(f));
  lines.push_back(count_line(findings.size(), rows));
  return lines;
}

namespace {

// The findings of prices read, own_text those of the own format's text.
Findings check_prices(RunState& st, PriceFile& prices, const std::function<void(const std::string&)>& warn,
                      const std::function<OwnTextFindings()>& own_text) {
  for (const std::string& warning : prices.warnings()) warn(warning);
  // The second thread, if any, reads the rows and ends with them.
  (void)read_price_matrix(st, prices);
  std::vector<std::int64_t> row_lines;
  Findings findings;
  if (const auto* days = prices.days()) {
    for (const auto& day : *days) row_lines.push_back(day.line);
  } else {
    OwnTextFindings own = own_text();
    row_lines = std::move(own.row_lines);
    findings = std::move(own.findings);
  }
  for (const auto& note : prices.notes()) findings.push_back({0, note.line, note.text});
  check_rows(st.MM, row_lines, findings);
  check_days(st.MM, row_lines, findings);
  return findings;
}

}  // namespace

Findings check_price_file(RunState& st, units::InputFile& input, const numtext::TableChoice& choice,
                          const std::function<void(const std::string&)>& warn) {
  std::string text;
  input.copy_text_to(&text);
  PriceFile prices(input, choice);
  return check_prices(st, prices, warn, [&] {
    (void)input.read_rest();  // the lines after the rows, into the copy
    return check_own_text(text, st.NR, st.NC);
  });
}

Findings check_table_series(RunState& st, PriceFile& prices, const std::function<void(const std::string&)>& warn) {
  return check_prices(st, prices, warn, [] { return OwnTextFindings{}; });
}

}  // namespace elab
