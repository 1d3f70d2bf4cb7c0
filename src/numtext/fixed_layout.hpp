// An edit list of one record whose fields all take reals, compiled for
// writing many records: the record's text with its blanks and literal text
// laid down once, and the column and shape of each field. Writing a record is
// then a copy of that text and one field layout per value, with the same
// bytes the record writer gives for the same list and values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "numtext/edit_list.hpp"

namespace numtext {

class FixedLayout {
 public:
  // Throws std::invalid_argument for a list with '/' or an integer field.
  explicit FixedLayout(const EditList& list);

  std::size_t length() const { return text_.size(); }
  std::size_t field_count() const { return fields_.size(); }

  // Writes length() characters; values holds one value per field.
  void write(char* out, std::span<const float> values) const;

 private:
  struct Field {
    std::size_t column;
    int width;
    int decimals;
    // For a narrow field of an indicator (0 or 1): the eight characters from
    // the field's column on, as the record reads with that value, so that
    // one store lays it down (later fields then overwrite their own part).
    bool has_flag_words = false;
    std::uint64_t flag_words[2] = {0, 0};
  };
  void prepare_flag_words();
  std::string text_;
  std::vector<Field> fields_;
};

}  // namespace numtext
