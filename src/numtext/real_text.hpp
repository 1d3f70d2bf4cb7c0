// Real value text: [sign] digits with at most one point (digits may be
// missing on one side), then optionally an exponent: E, e, D or d with an
// optionally signed integer, or a sign directly followed by digits ("1.5+3").
// The text goes to the nearest double and that to the nearest float.
//
// The one conversion of real text, shaped like std::from_chars: it reads the
// longest real text at first and says where it ended; the caller decides
// whether what follows may end a value.
#pragma once

#include "numtext/plain_decimal.hpp"

namespace numtext {

struct RealChars {
  const char* ptr;  // after the text read; first when there is no real text
  // 0 when the value was stored; else its failure number: kInvalidReal (no
  // real text at first), kRealBeyondDouble or kRealBeyondSingle (value not
  // stored). Tiny magnitudes become 0 or a tiny value silently.
  int failure;
};

// Everything but the fast path.
RealChars real_from_chars_general(const char* first, const char* last, float& value);

// Reads [first, last). readable (last when not given) bounds what may be
// loaded: a caller with characters after last to spare lets the fast path
// load whole words there.
inline RealChars real_from_chars(const char* first, const char* last, float& value,
                                 const char* readable = nullptr) {
  if (const char* end = plain_decimal(first, last, readable != nullptr ? readable : last, value))
    return {end, 0};
  return real_from_chars_general(first, last, value);
}

// The whole of [first, last) as one real value, as a value between
// separators is read; throws IoFailure with the failure number.
float whole_real(const char* first, const char* last);

}  // namespace numtext
