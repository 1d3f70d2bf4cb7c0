// Integer value text: [sign]digits, or [sign][base]#digits with a base from
// 2 to 36 (no base means 16). A lone sign reads as 0. Magnitudes above
// 2147483647 are refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "numtext/text_failure.hpp"

namespace numtext {

inline int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

inline std::int32_t parse_integer(const char* s, std::size_t n) {
  constexpr std::int64_t kMax = 2147483647;
  std::size_t i = 0;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';

  std::size_t hash = n;
  for (std::size_t j = i; j < n; ++j) {
    if (s[j] != '#') continue;
    if (hash != n) throw IoFailure{fnum::kTwoNumberSigns};
    hash = j;
  }

  int base = 10;
  if (hash != n) {
    if (hash == i) {
      base = 16;
    } else {
      std::int64_t b = 0;
      for (std::size_t j = i; j < hash; ++j) {
        if (s[j] < '0' || s[j] > '9') throw IoFailure{fnum::kInvalidInteger};
        b = b * 10 + (s[j] - '0');
        if (b > 36) break;
      }
      if (b < 2 || b > 36) throw IoFailure{fnum::kInvalidBase};
      base = static_cast<int>(b);
    }
    i = hash + 1;
    if (i == n) throw IoFailure{fnum::kInvalidInteger};
  }

  std::int64_t value = 0;
  bool overflow = false;
  for (; i < n; ++i) {
    const int d = digit_value(s[i]);
    if (d >= base) throw IoFailure{fnum::kInvalidInteger};
    if (!overflow) {
      value = value * base + d;
      overflow = value > kMax;
    }
  }
  // Every character is checked before an overflow is reported, so "9...9x"
  // is an invalid integer, not a large one.
  if (overflow) throw IoFailure{fnum::kIntegerOverflow};
  return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace numtext
