// A row of values ("1995 1 3 551.31 540.38 545.84 2"), the whole of a usual
// price-file row, read a window of characters at a time: the blanks of the
// window are found at once, so that the values' places are known before any
// of them is converted and the conversions do not wait on one another. Each
// value is read whole by the one real conversion. The row stops before the
// first text that is not a real value on its own (a comma, a null value, a
// repeat, a slash, a value out of range) and near the end of the text,
// leaving the rest to the general path.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "numtext/blank_mask.hpp"
#include "numtext/real_text.hpp"

namespace numtext {

// What must be readable from the window's start: the window and one word
// beyond a value at its end.
inline constexpr std::ptrdiff_t kPlainRowRoom = kMaskWindow + 8;

struct PlainRow {
  std::size_t taken = 0;      // values stored
  const char* pos = nullptr;  // after the separator of the last value taken
  bool line_ended = false;    // that separator was a line end
};

// Reads up to count values into first[0], first[stride], ... from [p, end),
// a window starting only where kPlainRowRoom characters are left. Blanks and
// line ends before a value are skipped either way. blanks_of is blank_mask
// or blank_mask_portable.
template <class BlankMask>
PlainRow read_plain_row(const char* p, const char* end, float* first, std::size_t count,
                        std::size_t stride, BlankMask blanks_of) {
  PlainRow row;
  const char* last_separator = nullptr;
  while (row.taken < count && end - p >= kPlainRowRoom) {
    const std::uint64_t blanks = blanks_of(p);
    // The window starts on a value or on a blank, so no value is cut at its
    // front.
    std::uint64_t starts = value_starts(blanks);
    std::uint64_t ends = value_ends(blanks);
    int next = kMaskWindow;  // where the reading goes on
    bool declined = false;
    for (; row.taken < count; starts &= starts - 1, ends &= ends - 1) {
      const int s = std::countr_zero(starts);
      // Blanks to the window's end, or a value running past it that starts
      // the next window, unless it fills the whole window.
      if (ends == 0) {
        next = s;
        declined = s == 0;
        break;
      }
      const int e = std::countr_zero(ends);
      float v;
      const RealChars r = real_from_chars(p + s, p + e, v, p + kPlainRowRoom);
      if (r.failure != 0 || r.ptr != p + e) {
        next = s;
        declined = true;
        break;
      }
      first[row.taken * stride] = v;
      ++row.taken;
      last_separator = p + e;
      next = e + 1;
    }
    p += next;
    if (declined) break;
  }
  row.pos = p;
  row.line_ended = last_separator != nullptr && *last_separator == '\n';
  return row;
}

}  // namespace numtext
