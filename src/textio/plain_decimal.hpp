// The common case of a real value in a price file, "544.75" or "-3": an
// optional minus, at most 19 digits with at most one point, ended by a blank,
// tab, line end or comma. Converted exactly as the general path would (one
// correctly rounded operation to double, then to float); anything else is
// left to the general path.
#pragma once

#include <cstdint>

namespace textio {

inline constexpr double kPlainPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool ends_plain_value(char c) { return c == ' ' || c == '\n' || c == '\t' || c == ','; }

// The digits of one run: w = w * 10 + digit for each, at most limit of them
// looked at. Without bounds checks: the caller guarantees limit characters.
inline const char* take_digits(const char* p, std::uint64_t& w, int& count) {
  for (unsigned d; (d = static_cast<unsigned>(*p - '0')) < 10; ++p) {
    w = w * 10 + d;
    ++count;
    if (count > 19) return p;
  }
  return p;
}

// Returns the position of the separator after the value, or nullptr when the
// text at p is not a plain decimal wholly inside [p, end).
inline const char* parse_plain_decimal(const char* p, const char* end, float& out) {
  // Room for the longest plain value and its separator, so that the digit
  // loops need no bounds checks; near the end of a block the general path
  // takes over.
  if (end - p < 24) return nullptr;
  const bool negative = *p == '-';
  p += negative;
  std::uint64_t w = 0;
  int digits = 0;
  p = take_digits(p, w, digits);
  int frac = 0;
  if (*p == '.') {
    const int before = digits;
    p = take_digits(p + 1, w, digits);
    frac = digits - before;
  }
  if (digits == 0 || digits > 19 || !ends_plain_value(*p)) return nullptr;
  float f;
  if (w < (std::uint64_t{1} << 24) && frac <= 10) {
    // Both operands are exact floats, so one float division rounds as the
    // double division followed by the rounding to float would.
    f = static_cast<float>(w) / static_cast<float>(kPlainPow10[frac]);
  } else if (w <= (std::uint64_t{1} << 53)) {
    f = static_cast<float>(static_cast<double>(w) / kPlainPow10[frac]);
  } else {
    return nullptr;
  }
  out = negative ? -f : f;
  return p;
}

}  // namespace textio
