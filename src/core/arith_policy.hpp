// Two ways to evaluate one formula. QuietArith lets the processor's arithmetic
// run on and notes whether a stored value was not finite; CheckedArith ends
// the run with the report of the first fault, through checked_arith.hpp.
// Without a fault both store the same bits: right-hand sides in double from
// float operands, one rounding at the store.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <version>

#include "core/checked_arith.hpp"

namespace elab {

struct QuietArith {
  float store(double v) { return noted(static_cast<float>(v)); }
  // Steps of a running sum, left unnoted: a sum that once left the float
  // range stays infinite or NaN, and total() notes it at the end. A float
  // plus a float is taken in float, which rounds as the sum in double does.
  static float add(float a, float b) { return a + b; }
  static float add(double a, float b) { return static_cast<float>(a + wide(b)); }
  float total(float sum) { return noted(sum); }
  static double divide(double a, double b) { return a / b; }
  double sqrt(double v) {
    if (v < 0.0) seen_ |= kNotFinite;
    return std::sqrt(v < 0.0 ? 0.0 : v);
  }

  bool all_finite() const { return (seen_ & kNotFinite) == 0; }

 private:
  // A float's exponent field plus one carries into the top bit only when the
  // field is all ones: infinity or NaN. An integer, so that the notes of many
  // rows can be taken at once.
  static constexpr std::uint32_t kNotFinite = 0x80000000u;
  float noted(float f) {
    seen_ |= (bits_of(f) & 0x7f800000u) + 0x00800000u;
    return f;
  }
  // A library without std::bit_cast (the WebAssembly build's) copies the
  // bits: the same instructions once optimised.
  static std::uint32_t bits_of(float f) {
#if defined(__cpp_lib_bit_cast)
    return std::bit_cast<std::uint32_t>(f);
#else
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
#endif
  }
  std::uint32_t seen_ = 0;
};

struct CheckedArith {
  static float store(double v) { return elab::store(v); }
  static float add(float a, float b) { return elab::store(wide(a) + wide(b)); }
  static float add(double a, float b) { return elab::store(a + wide(b)); }
  static float total(float sum) { return sum; }  // every step was checked
  static double divide(double a, double b) { return elab::divide(a, b); }
  static double sqrt(double v) { return checked_sqrt(v); }
};

}  // namespace elab
