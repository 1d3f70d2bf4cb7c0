// Fixed-point (Fw.d) and integer (Iw, Iw.m) fields of a record.
//
// A field is laid out from the single-precision value as stored: its exact
// binary value, seen as 17 correctly rounded significant digits, rounded half
// up to d decimals (at most 7 significant digits kept). No digit stands before
// the point for a magnitude below 1, no plus sign is written, and a text wider
// than the field fills it with asterisks.
#pragma once

#include <cstdint>

namespace numtext {

// Widest field and most decimals an edit list may ask for.
inline constexpr int kMaxFieldWidth = 255;
inline constexpr int kMaxDecimals = 99;

// Writes exactly w characters (1 <= w <= kMaxFieldWidth, 0 <= d <= kMaxDecimals).
void write_fixed(char* out, int w, int d, float x);

// The digit-string rules followed literally; write_fixed takes this path for
// the values its integer fast path does not cover. Exposed for tests.
void write_fixed_by_digits(char* out, int w, int d, float x);

// Writes exactly w characters (1 <= w <= kMaxFieldWidth), with at least m
// digits (m <= w): leading zeros fill the rest.
void write_integer(char* out, int w, std::int32_t v, int m = 1);

}  // namespace numtext
