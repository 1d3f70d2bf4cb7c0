// Real value text: [sign] digits with at most one point (digits may be
// missing on one side), then optionally an exponent: E, e, D or d with an
// optionally signed integer, or a sign directly followed by digits ("1.5+3").
// The text goes to the nearest double and that to the nearest float.
#pragma once

#include <cstddef>

namespace numtext {

// Throws IoFailure: 6103 for a text of no accepted form, 6102 beyond double
// precision, 6104 beyond single precision. Tiny magnitudes become 0 or a
// tiny value silently.
float parse_real(const char* s, std::size_t n);

// The nearest double, exposed for tests of the double-then-single rounding.
double parse_real_as_double(const char* s, std::size_t n);

}  // namespace numtext
