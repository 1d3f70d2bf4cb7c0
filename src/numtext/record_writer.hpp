// The record writer: applies an edit list to the values of one formatted
// write and hands each finished record to its target.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "numtext/edit_list.hpp"

namespace numtext {

struct FieldValue {
  bool is_integer = false;
  float real = 0.0f;
  std::int32_t integer = 0;

  static FieldValue of(float v) { return {false, v, 0}; }
  static FieldValue of(std::int32_t v) { return {true, 0.0f, v}; }
};

// Lays out one field of the list into out (exactly item.width characters).
// A value of the wrong kind for the field shows as asterisks.
void layout_field(char* out, const EditItem& item, const FieldValue& value);

class RecordWriter {
 public:
  // Calls emit(std::string_view) once per record of the write. The view is
  // valid only during the call.
  template <class Emit>
  void write(const EditList& list, std::span<const FieldValue> values, Emit&& emit) {
    record_.clear();
    int held_blanks = 0;
    std::size_t next = 0;
    for (const EditItem& item : list.items()) {
      if (item.takes_value() && next == values.size()) break;  // values used up
      switch (item.kind) {
        case EditItem::Kind::NewRecord:
          emit(std::string_view(record_));
          record_.clear();
          held_blanks = 0;  // blanks held back at a record's end are dropped
          break;
        case EditItem::Kind::Blanks:
          held_blanks += item.width;
          break;
        case EditItem::Kind::Text:
          record_.append(static_cast<std::size_t>(held_blanks), ' ');
          held_blanks = 0;
          record_.append(item.text);
          break;
        case EditItem::Kind::Fixed:
        case EditItem::Kind::Integer: {
          record_.append(static_cast<std::size_t>(held_blanks), ' ');
          held_blanks = 0;
          const std::size_t at = record_.size();
          record_.resize(at + static_cast<std::size_t>(item.width));
          layout_field(record_.data() + at, item, values[next++]);
          break;
        }
      }
    }
    emit(std::string_view(record_));
  }

 private:
  std::string record_;
};

}  // namespace numtext
