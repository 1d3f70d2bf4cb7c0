#include "numtext/csv_text.hpp"

#include <algorithm>

#include "numtext/messages.hpp"
#include "numtext/quoted_text.hpp"

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

std::string_view CsvRecords::plain_field() {
  const char* const start = text_.data() + pos_;
  const char* const end = text_.data() + text_.size();
  const char sep = sep_;
  const char* p = start;
  while (p != end && *p != sep && *p != '\n') ++p;
  if (p != end && *p == '\n' && p != start && p[-1] == '\r') --p;  // CR LF ends the line
  pos_ = static_cast<std::size_t>(p - text_.data());
  return {start, static_cast<std::size_t>(p - start)};
}

void CsvRecords::read_field(std::string& into) {
  into.clear();
  if (pos_ == text_.size() || text_[pos_] != '"') {
    into = plain_field();
    return;
  }
  const std::int64_t opened = line_;
  ++pos_;
  for (;;) {
    if (pos_ == text_.size()) throw CsvFailure{opened, {}, message(Msg::quote_not_closed)};
    const char c = text_[pos_++];
    if (c == '"') {
      if (pos_ == text_.size() || text_[pos_] != '"') break;
      ++pos_;  // a doubled quote stands for one
    } else if (c == '\n') {
      ++line_;
    }
    into += c;
  }
  if (!at_line_end() && text_[pos_] != sep_) throw CsvFailure{line_, {}, message(Msg::text_after_quote)};
}

bool CsvRecords::next(std::vector<std::string>& fields) {
  for (;;) {
    if (pos_ == text_.size()) return false;
    record_line_ = line_;
    record_at_ = pos_;
    // The strings of the last record are filled again: no allocation per field.
    std::size_t n = 0;
    for (;;) {
      if (n == fields.size()) fields.emplace_back();
      read_field(fields[n++]);
      if (at_line_end()) break;
      ++pos_;  // the separator
    }
    fields.resize(n);
    skip_line_end();
    if (n > 1 || !trimmed(fields[0]).empty()) return true;
  }
}

bool CsvRecords::next(std::vector<std::string_view>& fields, std::deque<std::string>& held) {
  for (;;) {
    if (pos_ == text_.size()) return false;
    record_line_ = line_;
    record_at_ = pos_;
    fields.clear();
    std::size_t quoted = 0;
    for (;;) {
      if (pos_ != text_.size() && text_[pos_] == '"') {
        // A deque's strings stay where they are as it grows.
        if (quoted == held.size()) held.emplace_back();
        read_field(held[quoted]);
        fields.emplace_back(held[quoted++]);
      } else {
        fields.push_back(plain_field());
      }
      if (at_line_end()) break;
      ++pos_;  // the separator
    }
    skip_line_end();
    if (fields.size() > 1 || !trimmed(fields[0]).empty()) return true;
  }
}

std::size_t byte_order_mark(std::string_view text) { return text.starts_with("\xEF\xBB\xBF") ? 3 : 0; }

bool is_null_value(std::string_view field) {
  field = trimmed(field);
  if (!field.empty() && field.front() >= '0' && field.front() <= '9') return false;  // a number, mostly
  return field.empty() || same_name(field, "null") || same_name(field, "NaN") || same_name(field, "N/A");
}


}  // namespace numtext
