#include "numtext/fixed_layout.hpp"

#include <cstring>
#include <stdexcept>

#include "numtext/f8_4_field.hpp"
#include "numtext/fixed_field.hpp"

namespace numtext {

FixedLayout::FixedLayout(const EditList& list) {
  std::size_t held_blanks = 0;
  for (const EditItem& item : list.items()) {
    switch (item.kind) {
      case EditItem::Kind::NewRecord:
      case EditItem::Kind::Integer:
        throw std::invalid_argument("fixed layout: one record of real fields only");
      case EditItem::Kind::Blanks:
        held_blanks += static_cast<std::size_t>(item.width);
        break;
      case EditItem::Kind::Text:
        text_.append(held_blanks, ' ');
        held_blanks = 0;
        text_ += item.text;
        break;
      case EditItem::Kind::Fixed:
        text_.append(held_blanks, ' ');
        held_blanks = 0;
        fields_.push_back({text_.size(), item.width, item.decimals});
        text_.append(static_cast<std::size_t>(item.width), ' ');
        break;
    }
  }
  // Blanks held back at the end of the record are dropped.
  prepare_flag_words();
}

void FixedLayout::prepare_flag_words() {
  for (Field& f : fields_) {
    // The eight characters must hold the whole field, and lie in the record.
    if (f.width > 8 || f.column + 8 > text_.size()) continue;
    for (int v = 0; v < 2; ++v) {
      std::string window = text_.substr(f.column, 8);
      write_fixed(window.data(), f.width, f.decimals, static_cast<float>(v));
      std::memcpy(&f.flag_words[v], window.data(), 8);
    }
    f.has_flag_words = true;
  }
}

void FixedLayout::write(char* out, std::span<const float> values) const {
  std::memcpy(out, text_.data(), text_.size());
  for (std::size_t k = 0; k < fields_.size(); ++k) {
    const Field& f = fields_[k];
    const float v = values[k];
    if (f.width == 8 && f.decimals == 4) {
      write_f8_4(out + f.column, v);
    } else if (f.has_flag_words && (v == 0.0f || v == 1.0f)) {
      std::memcpy(out + f.column, &f.flag_words[v == 1.0f], 8);
    } else {
      write_fixed(out + f.column, f.width, f.decimals, values[k]);
    }
  }
}

}  // namespace numtext
