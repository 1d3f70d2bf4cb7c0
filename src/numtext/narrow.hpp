// Rounding a double to the nearest float without undefined behaviour: a
// magnitude that rounds beyond the largest float is reported by the caller.
#pragma once

#include <cfloat>
#include <cmath>

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

}  // namespace numtext
