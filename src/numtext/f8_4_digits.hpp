// The F8.4 field's characters from tables: the part that needs no other
// field, used by write_fixed's own fast path and by write_f8_4.
#pragma once

#include <cstdint>
#include <cstring>

namespace numtext {

struct F84Tables {
  // Columns 1-4 for an integer part 0..999, without and with a minus sign
  // (the point included); 0 marks a text too wide for the field.
  std::uint32_t head[2][1000];
  // Columns 5-8: four decimals 0000..9999.
  std::uint32_t frac[10000];
};

extern const F84Tables kF84Tables;

// rounded is |x| * 10^4 rounded half up, below 10^7 + 1.
inline void write_f8_4_digits(char* out, bool negative, std::uint32_t rounded) {
  const std::uint32_t ip = rounded / 10000;
  const std::uint32_t frac = rounded - ip * 10000;
  const std::uint32_t head = ip < 1000 ? kF84Tables.head[negative && rounded != 0][ip] : 0;
  if (head == 0) {
    std::memset(out, '*', 8);
    return;
  }
  const std::uint64_t field = head | static_cast<std::uint64_t>(kF84Tables.frac[frac]) << 32;
  std::memcpy(out, &field, 8);
}

}  // namespace numtext
