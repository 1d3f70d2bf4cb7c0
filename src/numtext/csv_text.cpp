#include "numtext/csv_text.hpp"

#include <algorithm>

#include "numtext/integer_text.hpp"
#include "numtext/quoted_text.hpp"
#include "numtext/real_text.hpp"
#include "numtext/text_failure.hpp"

namespace numtext {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
  a = trimmed(a);
  b = trimmed(b);
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return lower(x) == lower(y); });
}

std::optional<std::size_t> column_named(const std::vector<std::string>& fields, std::string_view name) {
  for (std::size_t k = 0; k < fields.size(); ++k)
    if (same_name(fields[k], name)) return k;
  return std::nullopt;
}

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string quoted(std::string_view s) { return quoted_text(s); }

}  // namespace

bool CsvRecords::at_line_end() const {
  return pos_ == text_.size() || text_[pos_] == '\n' ||
         (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n');
}

void CsvRecords::skip_line_end() {
  if (pos_ == text_.size()) return;
  pos_ += text_[pos_] == '\r' ? 2 : 1;
  ++line_;
}

void CsvRecords::read_field(std::string& into) {
  into.clear();
  if (pos_ == text_.size() || text_[pos_] != '"') {
    const char* const start = text_.data() + pos_;
    const char* const end = text_.data() + text_.size();
    const char sep = sep_;
    const char* p = start;
    while (p != end && *p != sep && *p != '\n') ++p;
    if (p != end && *p == '\n' && p != start && p[-1] == '\r') --p;  // CR LF ends the line
    into.assign(start, p);
    pos_ = static_cast<std::size_t>(p - text_.data());
    return;
  }
  const std::int64_t opened = line_;
  ++pos_;
  for (;;) {
    if (pos_ == text_.size()) throw CsvFailure{opened, {}, "a quote is not closed"};
    const char c = text_[pos_++];
    if (c == '"') {
      if (pos_ == text_.size() || text_[pos_] != '"') break;
      ++pos_;  // a doubled quote stands for one
    } else if (c == '\n') {
      ++line_;
    }
    into += c;
  }
  if (!at_line_end() && text_[pos_] != sep_) throw CsvFailure{line_, {}, "text after a closing quote"};
}

bool CsvRecords::next(std::vector<std::string>& fields) {
  for (;;) {
    if (pos_ == text_.size()) return false;
    record_line_ = line_;
    fields.clear();
    for (;;) {
      fields.emplace_back();
      read_field(fields.back());
      if (at_line_end()) break;
      ++pos_;  // the separator
    }
    skip_line_end();
    if (fields.size() > 1 || !trimmed(fields[0]).empty()) return true;
  }
}

std::size_t byte_order_mark(std::string_view text) { return text.starts_with("\xEF\xBB\xBF") ? 3 : 0; }

std::string_view first_line(std::string_view text) {
  text = text.substr(0, text.find('\n'));
  if (text.ends_with('\r')) text.remove_suffix(1);
  return text;
}

std::optional<CsvColumns> csv_header(std::string_view line, std::string_view close_name) {
  for (const char sep : {'\t', ';', ','}) {
    std::vector<std::string> fields;
    try {
      CsvRecords records(line, sep);
      if (!records.next(fields)) return std::nullopt;
    } catch (const CsvFailure&) {
      continue;  // not split this way
    }
    const auto date = column_named(fields, "Date");
    const auto close = column_named(fields, close_name);
    if (!date && !close) continue;
    if (!date) throw CsvFailure{1, {}, "no column \"Date\""};
    if (!close) throw CsvFailure{1, {}, "no column " + quoted(close_name)};
    return CsvColumns{sep, fields.size(), *date, *close, std::string(trimmed(fields[*close]))};
  }
  return std::nullopt;
}

bool is_null_value(std::string_view field) {
  field = trimmed(field);
  return field.empty() || same_name(field, "null") || same_name(field, "NaN") || same_name(field, "N/A");
}

float field_number(std::string_view field, bool decimal_comma) {
  field = trimmed(field);
  if (!decimal_comma) return whole_real(field.data(), field.data() + field.size());
  std::string text(field);
  std::replace(text.begin(), text.end(), ',', '.');
  return whole_real(text.data(), text.data() + text.size());
}

std::optional<CivilDate> field_date(std::string_view field) {
  field = trimmed(field);
  std::string_view y, m, d;
  if (field.size() == 10 && (field[4] == '-' || field[4] == '/') && field[7] == field[4]) {
    y = field.substr(0, 4), m = field.substr(5, 2), d = field.substr(8, 2);
  } else if (field.size() == 8) {
    y = field.substr(0, 4), m = field.substr(4, 2), d = field.substr(6, 2);
  } else {
    return std::nullopt;
  }
  if (!all_digits(y) || !all_digits(m) || !all_digits(d)) return std::nullopt;
  return CivilDate{parse_integer(y.data(), y.size()), parse_integer(m.data(), m.size()),
                   parse_integer(d.data(), d.size())};
}

CsvDays read_csv_days(std::string_view text, std::string_view close_name) {
  text.remove_prefix(byte_order_mark(text));
  const auto columns = csv_header(first_line(text), close_name);
  if (!columns) throw CsvFailure{1, {}, "no header naming a Date and a " + quoted(close_name) + " column"};
  const bool decimal_comma = columns->separator != ',';
  CsvRecords records(text, columns->separator);
  std::vector<std::string> fields;
  records.next(fields);
  const std::string date_name(trimmed(fields[columns->date]));
  CsvDays out;
  while (records.next(fields)) {
    const std::int64_t line = records.line();
    if (fields.size() != columns->fields) {
      throw CsvFailure{line, {},
                       std::to_string(fields.size()) + " fields, the header has " +
                           std::to_string(columns->fields)};
    }
    const std::string& date_text = fields[columns->date];
    const auto date = field_date(date_text);
    if (!date) throw CsvFailure{line, date_name, "not a date YYYY-MM-DD: " + quoted(date_text)};
    if (!is_calendar_date(*date)) throw CsvFailure{line, date_name, "no such day: " + quoted(date_text)};
    const std::string& close_text = fields[columns->close];
    if (is_null_value(close_text)) {
      if (out.left_out++ == 0) out.first_left_out = line;
      continue;
    }
    try {
      out.days.push_back({*date, field_number(close_text, decimal_comma), line});
    } catch (const IoFailure& f) {
      throw CsvFailure{line, columns->close_name,
                       std::string(failure_message(f.number)) + ": " + quoted(close_text)};
    }
  }
  return out;
}

}  // namespace numtext
