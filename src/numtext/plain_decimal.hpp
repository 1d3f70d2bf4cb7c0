// The fast path of the real conversion (real_text.hpp): the plain decimals
// that make up nearly all of a price file ("1995", "544.75", "-3"), read from
// one eight-character word. Such a value converts with one correctly rounded
// float operation on exact operands, which gives the float the general path
// gives (the nearest double, then the nearest float).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "numtext/exact_pow10.hpp"

namespace numtext {

// Eight characters at p as one little-endian word.
inline std::uint64_t load_eight(const char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
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

// One bit (the top bit of its byte) for every non-digit of eight characters;
// each byte is tested on its own.
inline std::uint64_t non_digit_bits(std::uint64_t chars) {
  const std::uint64_t x = chars ^ 0x3030303030303030ULL;  // digits become 0..9
  return (((x & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL) | x) & 0x8080808080808080ULL;
}

// A character that would carry the number on: a digit, a point, the start
// of an exponent.
inline bool continues_number(char c) {
  return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == 'd' || c == 'D' ||
         c == '+' || c == '-';
}

// An optional minus, then at most eight characters of digits with at most one
// point, at least one digit, taken whole: what follows in [p, last) does not
// carry the number on. Nine characters from p must be readable (before
// readable). Returns the end of the value, or nullptr for any other text,
// which the general path then reads.
inline const char* plain_decimal(const char* p, const char* last, const char* readable, float& out) {
  if constexpr (std::endian::native != std::endian::little) return nullptr;
  if (readable - p < 9) return nullptr;
  const bool negative = *p == '-';
  const char* const q = p + negative;
  const std::ptrdiff_t room = last - q;
  if (room <= 0) return nullptr;
  const std::uint64_t chars = load_eight(q);
  int n;           // the value's length after the minus
  int point = -1;  // where its point stands
  if (room <= 8) {
    // The whole text in one word (a value between blanks): all of it or none.
    const std::uint64_t stops = non_digit_bits(chars) & (~std::uint64_t{0} >> (64 - 8 * room));
    n = static_cast<int>(room);
    if (stops != 0) {
      point = std::countr_zero(stops) / 8;
      if ((stops & (stops - 1)) != 0 || q[point] != '.' || room == 1) return nullptr;
    }
  } else {
    // The value ends at the first non-digit, or at the second when the first
    // is its point.
    const std::uint64_t stops = non_digit_bits(chars);
    n = stops == 0 ? 8 : std::countr_zero(stops) / 8;
    if (n < 8 && q[n] == '.') {
      point = n;
      const std::uint64_t after = stops & (stops - 1);
      n = after == 0 ? 8 : std::countr_zero(after) / 8;
    }
    if (n == (point >= 0) || continues_number(q[n])) return nullptr;  // no digit, or more
  }
  const int digits = n - (point >= 0);
  float f;
  if (point < 0) {
    // One rounding of the integer to float is the rounding of the exact double.
    f = static_cast<float>(digits_value(chars, n));
  } else {
    // The point taken out: the decimals move down next to the integer digits.
    // At most seven digits: both operands are exact floats, and one float
    // division rounds as the double division rounded to float would.
    const std::uint64_t below = (std::uint64_t{1} << (8 * point)) - 1;
    const std::uint64_t joined = (chars & below) | ((chars >> 8) & ~below);
    f = static_cast<float>(digits_value(joined, digits)) / pow10_float(n - 1 - point);
  }
  out = negative ? -f : f;
  return q + n;
}

}  // namespace numtext
