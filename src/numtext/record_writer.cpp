#include "numtext/record_writer.hpp"

#include <cstring>

#include "numtext/fixed_field.hpp"

namespace numtext {

void layout_field(char* out, const EditItem& item, const FieldValue& value) {
  if (item.kind == EditItem::Kind::Fixed && !value.is_integer) {
    write_fixed(out, item.width, item.decimals, value.real);
  } else if (item.kind == EditItem::Kind::Integer && value.is_integer) {
    write_integer(out, item.width, value.integer, item.decimals);
  } else {
    std::memset(out, '*', static_cast<std::size_t>(item.width));
  }
}

}  // namespace numtext
