// A row of plain decimals ("1995 1 3 551.31 540.38 545.84 2"), the whole of a
// usual price-file row, read a window of characters at a time: the blanks of
// the window are found at once, so that the values' places are known before
// any of them is converted and the conversions do not wait on one another.
// Each value is converted from one eight-character word, exactly as the
// general path would. The row stops before the first value of any other form
// and near the end of the text, leaving the rest to the general path.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "textio/blank_mask.hpp"
#include "textio/plain_decimal.hpp"

namespace textio {

// What must be readable from the window's start: the window and one word
// beyond a value at its end.
inline constexpr std::ptrdiff_t kPlainRowRoom = kMaskWindow + 8;

struct PlainRow {
  std::size_t taken = 0;      // values stored
  const char* pos = nullptr;  // after the separator of the last value taken
  bool line_ended = false;    // that separator was a line end
};

// Bits from i (0..64) up.
inline std::uint64_t bits_from(int i) { return i >= 64 ? 0 : ~std::uint64_t{0} << i; }

// Reads up to count values into first[0], first[stride], ... from [p, end).
// Blanks and line ends before a value are skipped either way. blanks_of is
// blank_mask or blank_mask_portable.
template <class BlankMask>
PlainRow read_plain_row(const char* p, const char* end, float* first, std::size_t count,
                        std::size_t stride, BlankMask blanks_of) {
  PlainRow row;
  while (row.taken < count && end - p >= kPlainRowRoom) {
    const std::uint64_t blanks = blanks_of(p);
    int i = 0;  // the first character of the window not yet read
    bool declined = false;
    while (row.taken < count) {
      const std::uint64_t value_bits = ~blanks & bits_from(i);
      if (value_bits == 0) {
        i = kMaskWindow;  // blanks to the window's end
        break;
      }
      const int s = std::countr_zero(value_bits);
      const std::uint64_t after = blanks & bits_from(s);
      // A value running past the window starts the next one, unless it
      // fills the whole window.
      if (after == 0) {
        i = s;
        declined = s == 0;
        break;
      }
      const int e = std::countr_zero(after);
      if (!short_plain_value(p + s, e - s, first[row.taken * stride])) {
        i = s;
        declined = true;
        break;
      }
      ++row.taken;
      row.line_ended = p[e] == '\n';
      i = e + 1;
    }
    p += i;
    if (declined) break;
  }
  row.pos = p;
  return row;
}

}  // namespace textio
