// F8.4, the field of nearly every value of a training record, inline:
// "iii.ffff" with the integer digits (none below 1) and the sign right-aligned
// in the first three columns, put together from tables of ready-made
// characters. Same bytes as write_fixed(out, 8, 4, x).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "numtext/f8_4_digits.hpp"
#include "numtext/fixed_field.hpp"

namespace numtext {

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
