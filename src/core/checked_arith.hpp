// The arithmetic of the run: right-hand sides in double from float operands,
// one rounding to float at the store. Division by zero, invalid operations,
// overflow at the store and the square root of a negative number end the run
// with their report; underflow and inexact results pass.
#pragma once

#include <cmath>

#include "numtext/narrow.hpp"
#include "units/run_failure.hpp"

namespace elab {

inline float store(double v) {
  float f;
  if (!numtext::narrow_to_float(v, f)) units::report_math_error(units::MathFault::Overflow);
  return f;
}

inline double divide(double a, double b) {
  if (b == 0.0) {
    units::report_math_error(a == 0.0 ? units::MathFault::Invalid
                                       : units::MathFault::DivideByZero);
  }
  return a / b;
}

inline double checked_sqrt(double v) {
  if (v < 0.0) units::report_math_error(units::MathFault::SqrtDomain);
  return std::sqrt(v);
}

inline double wide(float f) { return static_cast<double>(f); }

}  // namespace elab
