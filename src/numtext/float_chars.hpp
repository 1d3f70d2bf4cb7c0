// Doubles to and from text through <charconv> where the standard library
// has its floating-point overloads; where it lacks them (the WebAssembly
// build's), through the C library's strtod and snprintf, which are
// correctly rounded there too, so that both give the same bytes.
#pragma once

#include <charconv>
#include <string>
#include <system_error>
#include <version>

#if !defined(__cpp_lib_to_chars)
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#endif

namespace numtext {

// The nearest double to the decimal text [first, last) ("int.frac" and an
// exponent, as the readers build it), as std::from_chars reads it: value
// untouched and result_out_of_range when it lies beyond the doubles or
// rounds to zero. strtod would also take what from_chars refuses (blanks,
// hexadecimal, "inf"), and the decimal point of the locale, which in the
// WebAssembly build is always the C locale's.
inline std::from_chars_result double_from_chars(const char* first, const char* last, double& value) {
#if defined(__cpp_lib_to_chars)
  return std::from_chars(first, last, value);
#else
  // strtod wants a terminated text, and must not read on past last.
  const std::string text(first, last);
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  const auto read = static_cast<std::size_t>(end - text.c_str());
  if (read == 0) return {first, std::errc::invalid_argument};
  if (errno == ERANGE && (std::isinf(v) || v == 0.0)) return {first + read, std::errc::result_out_of_range};
  value = v;
  return {first + read, std::errc()};
#endif
}

// v in scientific notation with precision digits after the point
// ("d.ddde+XX"), as std::to_chars(first, last, v, scientific, precision).
inline std::to_chars_result scientific_chars(char* first, char* last, double v, int precision) {
#if defined(__cpp_lib_to_chars)
  return std::to_chars(first, last, v, std::chars_format::scientific, precision);
#else
  const int n = std::snprintf(first, static_cast<std::size_t>(last - first), "%.*e", precision, v);
  if (n < 0 || n >= last - first) return {last, std::errc::value_too_large};
  return {first + n, std::errc()};
#endif
}

// The shortest text that reads back as v, as std::to_chars(first, last, v)
// writes it; without <charconv>'s overloads, the fewest significant digits
// that read back, in printf's %g form (which may choose the exponent where
// to_chars would not: a message's text, never a record's).
inline std::string shortest_text(float v) {
  char text[48];
#if defined(__cpp_lib_to_chars)
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
#else
  int n = 0;
  for (int digits = 1; digits <= 9; ++digits) {
    n = std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(v));
    if (std::strtof(text, nullptr) == v || std::isnan(v)) break;
  }
  return std::string(text, static_cast<std::size_t>(n));
#endif
}

}  // namespace numtext
