// An edit list, parsed once from its written form and then applied to values
// any number of times by the record writer.
//
// Written form: items separated by commas, optionally inside one pair of
// parentheses: 'text' (a doubled '' stands for one quote) or "text", / ,
// nX, Fw.d, Iw, Iw.m, rFw.d, rIw and r(items). Repeats are expanded when parsing.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace numtext {

struct EditItem {
  enum class Kind : std::uint8_t { Text, NewRecord, Blanks, Fixed, Integer };
  Kind kind = Kind::Text;
  int width = 0;      // Blanks: count; Fixed, Integer: w
  int decimals = 0;   // Fixed: d; Integer: m, the fewest digits shown
  std::string text;   // Text

  bool takes_value() const { return kind == Kind::Fixed || kind == Kind::Integer; }
};

class EditList {
 public:
  // Throws std::invalid_argument on a malformed list: edit lists are part of
  // the program, so that is a programming error, never a user's.
  static EditList parse(std::string_view written);

  const std::vector<EditItem>& items() const { return items_; }
  int field_count() const;

 private:
  std::vector<EditItem> items_;
};

}  // namespace numtext
