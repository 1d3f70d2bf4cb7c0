// F8.4, the field of nearly every value of a training record, inline:
// "iii.ffff" with the integer digits (none below 1) and the sign right-aligned
// in the first three columns, put together from tables of ready-made
// characters. Same bytes as write_fixed(out, 8, 4, x).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "numtext/fixed_field.hpp"

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

inline void write_f8_4(char* out, float x) {
  const double ax = std::fabs(static_cast<double>(x));
  if (std::endian::native != std::endian::little || !(ax < 1000.0)) {
    write_fixed(out, 8, 4, x);
    return;
  }
  // Exact: |x| * 10^4 fits a double, and so does the added half from 1/2 up.
  write_f8_4_digits(out, std::signbit(x), static_cast<std::uint32_t>(ax * 10000.0 + 0.5));
}

}  // namespace numtext
