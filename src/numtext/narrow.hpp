// Rounding a double to the nearest float without undefined behaviour: a
// magnitude that rounds beyond the largest float is reported by the caller.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string_view>

namespace numtext {

// Halfway between the largest float and 2^128: from here up, rounding to
// nearest gives infinity (the tie goes to the even 2^128).
inline constexpr double kFloatOverflowBound = 340282356779733661637539395458142568448.0;

// Returns false when |x| rounds beyond the float range (or x is not finite).
inline bool narrow_to_float(double x, float& out) {
  const double ax = std::fabs(x);
  if (!(ax < kFloatOverflowBound)) return false;
  out = ax > static_cast<double>(FLT_MAX) ? (x > 0 ? FLT_MAX : -FLT_MAX)
                                          : static_cast<float>(x);
  return true;
}

// A price below the smallest normal float cannot be divided by, and a table
// refuses it as it refuses one beyond the largest (the own format reads it
// as the old program did).
inline constexpr std::string_view kBelowNormalSingle = "real value below the smallest normal single precision value";

inline bool is_below_normal_float(double x) { return x != 0.0 && std::fabs(x) < static_cast<double>(FLT_MIN); }

// The same for the float read from text: a subnormal, or a zero from a text
// with a digit other than 0 before its exponent.
inline bool is_below_normal_float(float v, std::string_view text) {
  if (v != 0.0f) return std::fabs(v) < FLT_MIN;
  const std::string_view digits = text.substr(0, text.find_first_of("eE"));
  return std::any_of(digits.begin(), digits.end(), [](char c) { return c >= '1' && c <= '9'; });
}

}  // namespace numtext
