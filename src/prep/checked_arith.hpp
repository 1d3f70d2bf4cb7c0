// The arithmetic of the run: right-hand sides in double from float operands,
// one rounding to float at the store. Division by zero, invalid operations,
// overflow at the store and the square root of a negative number end the run
// with their report; underflow and inexact results pass.
#pragma once

#include <cmath>

#include "textio/narrow.hpp"
#include "textio/termination.hpp"

namespace prep {

inline float store(double v) {
  float f;
  if (!textio::narrow_to_float(v, f)) textio::report_math_error(textio::MathFault::Overflow);
  return f;
}

inline double divide(double a, double b) {
  if (b == 0.0) {
    textio::report_math_error(a == 0.0 ? textio::MathFault::Invalid
                                       : textio::MathFault::DivideByZero);
  }
  return a / b;
}

inline double checked_sqrt(double v) {
  if (v < 0.0) textio::report_math_error(textio::MathFault::SqrtDomain);
  return std::sqrt(v);
}

inline double wide(float f) { return static_cast<double>(f); }

}  // namespace prep
