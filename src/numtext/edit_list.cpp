#include "numtext/edit_list.hpp"

#include <cctype>

#include "numtext/fixed_field.hpp"

namespace numtext {
namespace {

EditItem item(EditItem::Kind kind, int width = 0, int decimals = 0, std::string text = {}) {
  EditItem it;
  it.kind = kind;
  it.width = width;
  it.decimals = decimals;
  it.text = std::move(text);
  return it;
}

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  std::vector<EditItem> parse_all() {
    skip_blanks();
    std::vector<EditItem> items;
    if (peek() == '(') {
      ++pos_;
      items = parse_sequence(')');
      expect(')');
    } else {
      items = parse_sequence('\0');
    }
    skip_blanks();
    if (pos_ != s_.size()) fail("trailing characters");
    return items;
  }

 private:
  [[noreturn]] void fail(const char* what) const {
    throw std::invalid_argument(std::string("edit list: ") + what + " in \"" +
                                std::string(s_) + "\"");
  }
  char peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
  void skip_blanks() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
  }
  void expect(char c) {
    skip_blanks();
    if (peek() != c) fail("unbalanced parentheses");
    ++pos_;
  }
  int number() {
    int n = 0;
    bool any = false;
    while (std::isdigit(static_cast<unsigned char>(peek()))) {
      n = n * 10 + (peek() - '0');
      if (n > 100000) fail("number too large");
      ++pos_;
      any = true;
    }
    if (!any) fail("number expected");
    return n;
  }

  // Items up to (not including) the closing character.
  std::vector<EditItem> parse_sequence(char close) {
    std::vector<EditItem> items;
    for (;;) {
      skip_blanks();
      if (peek() == close) return items;
      if (peek() == '\0') fail("unexpected end");
      parse_item(items);
      skip_blanks();
      if (peek() == ',') {
        ++pos_;
      } else if (peek() != close && peek() != '/' && s_[pos_ - 1] != '/') {
        fail("comma expected");
      }
    }
  }

  void parse_item(std::vector<EditItem>& out) {
    const char c = peek();
    if (c == '/') {
      ++pos_;
      out.push_back(item(EditItem::Kind::NewRecord));
      return;
    }
    if (c == '\'' || c == '"') {
      out.push_back(item(EditItem::Kind::Text, 0, 0, quoted(c)));
      return;
    }
    int repeat = 1;
    bool counted = false;
    if (std::isdigit(static_cast<unsigned char>(c))) {
      repeat = number();
      counted = true;
    }
    const char k = static_cast<char>(std::toupper(static_cast<unsigned char>(peek())));
    if (k == 'X') {
      if (!counted) fail("nX needs a count");
      ++pos_;
      out.push_back(item(EditItem::Kind::Blanks, repeat));
      return;
    }
    if (repeat < 1) fail("repeat count must be positive");
    std::vector<EditItem> unit;
    if (k == '(') {
      ++pos_;
      unit = parse_sequence(')');
      expect(')');
    } else if (k == 'F') {
      ++pos_;
      const int w = number();
      if (peek() != '.') fail("Fw.d needs a point");
      ++pos_;
      const int d = number();
      if (w < 1 || w > kMaxFieldWidth || d > kMaxDecimals) fail("field size");
      unit.push_back(item(EditItem::Kind::Fixed, w, d));
    } else if (k == 'I') {
      ++pos_;
      const int w = number();
      int m = 1;
      if (peek() == '.') {
        ++pos_;
        m = number();
      }
      if (w < 1 || w > kMaxFieldWidth || m > w) fail("field size");
      unit.push_back(item(EditItem::Kind::Integer, w, m));
    } else {
      fail("unknown item");
    }
    for (int r = 0; r < repeat; ++r) out.insert(out.end(), unit.begin(), unit.end());
  }

  std::string quoted(char q) {
    ++pos_;
    std::string text;
    for (;;) {
      if (pos_ >= s_.size()) fail("unterminated text");
      const char c = s_[pos_++];
      if (c == q) {
        if (peek() == q) {
          text.push_back(q);
          ++pos_;
          continue;
        }
        return text;
      }
      text.push_back(c);
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

}  // namespace

EditList EditList::parse(std::string_view written) {
  EditList list;
  list.items_ = Parser(written).parse_all();
  return list;
}

int EditList::field_count() const {
  int n = 0;
  for (const EditItem& item : items_) n += item.takes_value() ? 1 : 0;
  return n;
}

}  // namespace numtext
