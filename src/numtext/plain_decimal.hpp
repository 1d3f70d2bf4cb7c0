// The common case of a real value in a price file, "544.75" or "-3": an
// optional minus, at most 7 digits before and 7 after a point (which may be
// missing), ended by a blank,
// tab, line end or comma. Converted exactly as the general path would (one
// correctly rounded operation to double, then to float); anything else is
// left to the general path.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "numtext/exact_pow10.hpp"

namespace numtext {

inline bool ends_plain_value(char c) { return c == ' ' || c == '\n' || c == '\t' || c == ','; }

// Eight characters at p as one little-endian word.
inline std::uint64_t load_eight(const char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// The number of digits at the start of eight characters (0..8). A byte
// below '0' borrows from the bytes after it, which are not looked at.
inline int leading_digit_count(std::uint64_t chars) {
  const std::uint64_t t = chars - 0x3030303030303030ULL;
  const std::uint64_t non_digit = (t | (t + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
  return non_digit == 0 ? 8 : std::countr_zero(non_digit) / 8;
}

// The value of the first n (1..8) digits of eight characters.
inline std::uint32_t digits_value(std::uint64_t chars, int n) {
  // The digits move to the top, behind leading zeros, and are then summed
  // pairwise, by fours and by eights.
  std::uint64_t v = (chars - 0x3030303030303030ULL) << (8 * (8 - n));
  v = v * 10 + (v >> 8);
  v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
       (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
      32;
  return static_cast<std::uint32_t>(v);
}

// Returns the position of the separator after the value, or nullptr when the
// text at p is not a plain decimal wholly inside [p, end).
inline const char* parse_plain_decimal(const char* p, const char* end, float& out) {
  // Room for the longest plain value taken here and its separator, so that
  // whole words can be loaded; near the end of a block the general path
  // takes over.
  if (end - p < 24 || std::endian::native != std::endian::little) return nullptr;
  const bool negative = *p == '-';
  p += negative;
  const std::uint64_t int_chars = load_eight(p);
  const int int_digits = leading_digit_count(int_chars);
  if (int_digits == 8) return nullptr;  // long numbers: the general path
  std::uint64_t w = int_digits == 0 ? 0 : digits_value(int_chars, int_digits);
  p += int_digits;
  int frac = 0;
  if (*p == '.') {
    ++p;
    const std::uint64_t frac_chars = load_eight(p);
    frac = leading_digit_count(frac_chars);
    if (frac == 8) return nullptr;
    if (frac != 0) w = w * static_cast<std::uint64_t>(kExactPow10[frac]) + digits_value(frac_chars, frac);
    p += frac;
  }
  if (int_digits + frac == 0 || !ends_plain_value(*p)) return nullptr;
  float f;
  if (frac == 0) {
    f = static_cast<float>(static_cast<double>(w));  // exact in double
  } else if (w < (std::uint64_t{1} << 24)) {
    // Both operands are exact floats, so one float division rounds as the
    // double division followed by the rounding to float would.
    f = static_cast<float>(w) / static_cast<float>(kExactPow10[frac]);
  } else {
    f = static_cast<float>(static_cast<double>(w) / kExactPow10[frac]);  // w < 10^14
  }
  out = negative ? -f : f;
  return p;
}

// One bit (the top bit of its byte) for every non-digit of eight characters.
// Unlike leading_digit_count, each byte is tested on its own, so the
// non-digits after the first show too.
inline std::uint64_t non_digit_bits(std::uint64_t chars) {
  const std::uint64_t x = chars ^ 0x3030303030303030ULL;  // digits become 0..9
  return (((x & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL) | x) & 0x8080808080808080ULL;
}

inline constexpr float kExactPow10f[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};

// The short values that make up nearly all of a price file ("1995", "544.75"):
// the length characters at p (up to the blank after them), an optional minus,
// then at most eight digits and at most one point, at least one digit. Needs
// the 9 characters from p readable. False for anything else (which
// parse_plain_decimal or the general path then reads).
inline bool short_plain_value(const char* p, int length, float& out) {
  if constexpr (std::endian::native != std::endian::little) return false;
  const int negative = *p == '-';
  const int n = length - negative;
  if (n <= 0 || n > 8) return false;
  const std::uint64_t chars = load_eight(p + negative);
  // The non-digits among the value's characters: none, or one point.
  const std::uint64_t stops = non_digit_bits(chars) & (~std::uint64_t{0} >> (64 - 8 * n));
  if (stops == 0) {
    // One rounding of the integer to float is the rounding of the exact double.
    const float f = static_cast<float>(digits_value(chars, n));
    out = negative != 0 ? -f : f;
    return true;
  }
  const int at = std::countr_zero(stops) / 8;
  if ((stops & (stops - 1)) != 0 || p[negative + at] != '.' || n == 1) return false;
  // The point taken out: the decimals move down next to the integer digits.
  const std::uint64_t below = (std::uint64_t{1} << (8 * at)) - 1;
  const std::uint64_t digits = (chars & below) | ((chars >> 8) & ~below);
  // At most seven digits: both operands are exact floats, and one float
  // division rounds as the double division rounded to float would.
  const float f = static_cast<float>(digits_value(digits, n - 1)) / kExactPow10f[n - 1 - at];
  out = negative != 0 ? -f : f;
  return true;
}

}  // namespace numtext
