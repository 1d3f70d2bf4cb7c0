#include "numtext/fixed_field.hpp"

#include "numtext/exact_pow10.hpp"
#include "numtext/f8_4_digits.hpp"
#include "numtext/float_chars.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace numtext {

namespace {

void fill_stars(char* out, int w) { std::memset(out, '*', static_cast<std::size_t>(w)); }

// Right-aligns text[0..len) in w columns, or fills the field with asterisks.
void place(char* out, int w, const char* text, int len) {
  if (len > w) {
    fill_stars(out, w);
    return;
  }
  std::memset(out, ' ', static_cast<std::size_t>(w - len));
  std::memcpy(out + (w - len), text, static_cast<std::size_t>(len));
}

// Stores the low w bytes of field (1 <= w <= 8) with constant-size stores.
inline void store_low_bytes(char* out, std::uint64_t field, int w) {
  switch (w) {
    case 1: std::memcpy(out, &field, 1); break;
    case 2: std::memcpy(out, &field, 2); break;
    case 3: std::memcpy(out, &field, 3); break;
    case 4: std::memcpy(out, &field, 4); break;
    case 5: std::memcpy(out, &field, 5); break;
    case 6: std::memcpy(out, &field, 6); break;
    case 7: std::memcpy(out, &field, 7); break;
    default: std::memcpy(out, &field, 8); break;
  }
}

// The fast path's text in a field of at most eight, built in a register from
// its right end (F8.4, F2.0, F3.0), with no round trip through memory.
template <int d>
bool write_in_register(char* out, int w, bool negative, double ax, std::uint64_t rounded) {
  constexpr std::uint32_t unit = static_cast<std::uint32_t>(pow10_integer(d));
  const auto digits = static_cast<std::uint32_t>(rounded);
  std::uint32_t int_part = digits / unit;
  std::uint32_t frac = digits - int_part * unit;
  std::uint64_t text = 0;  // the last character pushed is the leftmost
  int len = 0;
  auto push = [&](char c) {
    text = (text << 8) | static_cast<unsigned char>(c);
    ++len;
  };
  for (int i = 0; i < d; ++i) {
    push(static_cast<char>('0' + frac % 10));
    frac /= 10;
  }
  push('.');
  if (int_part != 0) {
    do {
      push(static_cast<char>('0' + int_part % 10));
      int_part /= 10;
    } while (int_part != 0 && len <= 8);
  } else if (d == 0 && (ax == 0.0 || ax >= 0.1)) {
    push('0');
  }
  if (negative && rounded != 0) push('-');
  if (len > w || int_part != 0) {
    fill_stars(out, w);
    return true;
  }
  // Little-endian: the leftmost character goes to the lowest address, after
  // the blanks that right-align the text.
  const int pad = w - len;
  const std::uint64_t field =
      pad == 0 ? text : (text << (8 * pad)) | (0x2020202020202020ULL >> (8 * (8 - pad)));
  store_low_bytes(out, field, w);
  return true;
}

// Fast path. For |x| < 10^(7-d) at most 7 digits are shown, and for d <= 9 no
// float lies close enough to a rounding boundary for the 17-digit view to
// differ from the exact binary value, except on the boundary itself, where
// both round up. So the field is |x| * 10^d rounded half up, computed
// exactly. Returns false when the value is outside that domain (d <= 7 here:
// beyond, a magnitude of 1 already needs 8 digits).
template <int d>
bool try_write_fixed_fast(char* out, int w, float x) {
  const double ax = std::fabs(static_cast<double>(x));
  if (!(ax < kExactPow10[7 - d])) return false;  // also inf, NaN
  const bool negative = std::signbit(x);
  // |x| * 10^d needs at most 24 + 24 bits: exact in double. Adding 1/2 is
  // exact too from 1/2 up, and below it cannot reach 1; so the truncation is
  // the exact half-up rounding.
  const auto rounded =
      static_cast<std::uint64_t>(ax * kExactPow10[d] + 0.5);

  if constexpr (d == 4 && std::endian::native == std::endian::little) {
    if (w == 8) {
      write_f8_4_digits(out, negative, static_cast<std::uint32_t>(rounded));
      return true;
    }
  }
  if (w <= 8 && std::endian::native == std::endian::little) {
    return write_in_register<d>(out, w, negative, ax, rounded);
  }

  // Lay the text out from its right end: d decimals, the point, the integer
  // digits (none for a magnitude below 1), the sign.
  // Below 10^7 + 1 here, so 32 bits hold it, and d is a constant: the
  // divisions become multiplications.
  constexpr std::uint32_t unit = static_cast<std::uint32_t>(pow10_integer(d));
  auto digits = static_cast<std::uint32_t>(rounded);
  std::uint32_t int_part = digits / unit;
  std::uint32_t frac = digits - int_part * unit;
  // Blanks in front of the text are laid down with it, so that the field is
  // one copy of its last w characters.
  char text[24];
  std::memset(text, ' ', sizeof text);
  char* p = text + sizeof text;
  for (int i = 0; i < d; ++i) {
    *--p = static_cast<char>('0' + frac % 10);
    frac /= 10;
  }
  *--p = '.';
  if (int_part != 0) {
    do {
      *--p = static_cast<char>('0' + int_part % 10);
      int_part /= 10;
    } while (int_part != 0);
  } else if (d == 0 && (ax == 0.0 || ax >= 0.1)) {
    // "0." stands only for a value with no digit before its first
    // significant one: zero itself or a magnitude from one tenth up.
    *--p = '0';
  }
  if (negative && rounded != 0) *--p = '-';
  const int len = static_cast<int>(text + sizeof text - p);
  if (len > w) {
    fill_stars(out, w);
  } else if (w == 8) {
    std::memcpy(out, text + sizeof text - 8, 8);  // the common F8.4
  } else if (w <= static_cast<int>(sizeof text)) {
    std::memcpy(out, text + sizeof text - w, static_cast<std::size_t>(w));
  } else {
    place(out, w, p, len);
  }
  return true;
}

}  // namespace

void write_fixed_by_digits(char* out, int w, int d, float x) {
  // An infinity or a NaN has no digits to show: like a value too wide.
  if (!std::isfinite(x)) {
    fill_stars(out, w);
    return;
  }
  const double v = static_cast<double>(x);
  bool negative = std::signbit(x) && x != 0.0f;
  // Digit string D1..D17 and exponent e with |x| = 0.D1D2... * 10^e.
  char digits[18] = "0";
  int ndigits = 1;
  int e = 0;
  if (x != 0.0f) {
    char sci[40];
    auto [end, ec] = scientific_chars(sci, sci + sizeof sci, negative ? -v : v, 16);
    (void)ec;
    // sci is "d.dddddddddddddddde[+-]XX"
    digits[0] = sci[0];
    std::memcpy(digits + 1, sci + 2, 16);
    ndigits = 17;
    const char* p = sci + 18;  // 'e'
    int exp10 = 0;
    std::from_chars(p + 1 + (p[1] == '+'), end, exp10);
    e = exp10 + 1;
  }
  int h = e;
  int n = h + d;
  char text[kMaxFieldWidth + 64];
  int len = 0;
  if (h < -d) {
    text[len++] = '.';
    for (int i = 0; i < d; ++i) text[len++] = '0';
    place(out, w, text, len);
    return;
  }
  // Round to min(7, n) digits, half up.
  int keep = n < 7 ? n : 7;
  char kept[8];
  int nkept = 0;
  const bool round_up = keep < ndigits && digits[keep] >= '5';
  for (int i = 0; i < keep; ++i) kept[nkept++] = i < ndigits ? digits[i] : '0';
  if (round_up) {
    int i = nkept - 1;
    while (i >= 0 && kept[i] == '9') kept[i--] = '0';
    if (i >= 0) {
      ++kept[i];
    } else {
      // The carry ran out of the first digit (or no digit was kept).
      kept[0] = '1';
      for (int j = 1; j <= nkept && j < 8; ++j) kept[j] = '0';
      nkept = nkept + 1 > 7 ? 7 : nkept + 1;
      ++h;
      ++n;
    }
  }
  bool all_zero = true;
  for (int i = 0; i < nkept; ++i) all_zero = all_zero && kept[i] == '0';
  if (all_zero) negative = false;

  auto digit_at = [&](int i) { return i < nkept ? kept[i] : '0'; };
  if (negative) text[len++] = '-';
  if (h == 0 && n == 0) text[len++] = '0';
  int pos = 0;
  for (int i = 0; i < h; ++i) {
    if (len > kMaxFieldWidth) break;  // too wide already: stars
    text[len++] = digit_at(pos++);
  }
  text[len++] = '.';
  for (int i = 0; i < -h && len <= kMaxFieldWidth; ++i) text[len++] = '0';
  const int rest = n - (h > 0 ? h : 0);
  for (int i = 0; i < rest && len <= kMaxFieldWidth; ++i) text[len++] = digit_at(pos++);
  place(out, w, text, len);
}

void write_fixed(char* out, int w, int d, float x) {
  bool done = false;
  switch (d) {
    case 0: done = try_write_fixed_fast<0>(out, w, x); break;
    case 1: done = try_write_fixed_fast<1>(out, w, x); break;
    case 2: done = try_write_fixed_fast<2>(out, w, x); break;
    case 3: done = try_write_fixed_fast<3>(out, w, x); break;
    case 4: done = try_write_fixed_fast<4>(out, w, x); break;
    case 5: done = try_write_fixed_fast<5>(out, w, x); break;
    case 6: done = try_write_fixed_fast<6>(out, w, x); break;
    case 7: done = try_write_fixed_fast<7>(out, w, x); break;
    default: break;
  }
  if (!done) write_fixed_by_digits(out, w, d, x);
}

void write_integer(char* out, int w, std::int32_t v, int m) {
  char digits[16];
  const std::int64_t magnitude = v < 0 ? -static_cast<std::int64_t>(v) : v;
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude);
  (void)ec;
  const int n = static_cast<int>(end - digits);
  const int zeros = m > n ? m - n : 0;
  const int len = (v < 0) + zeros + n;
  if (len > w) {
    fill_stars(out, w);
    return;
  }
  char* at = out;
  at = std::fill_n(at, w - len, ' ');
  if (v < 0) *at++ = '-';
  at = std::fill_n(at, zeros, '0');
  std::memcpy(at, digits, static_cast<std::size_t>(n));
}

}  // namespace numtext
