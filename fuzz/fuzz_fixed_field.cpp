// Fuzzes the fixed-point and integer fields against a reference written
// here from the digit rules, independent of the fields' own code.
//
// Input bytes:
//   0     w - 1 (w = 1 + byte % 40)
//   1     d (byte % 13)
//   2...  groups of 4 bytes: each one float (little-endian bits) for the
//         Fw.d field, F8.4 and the digit path, and the same bits as a 32-bit
//         integer for the Iw field
//
// The reference: the float widened to double, its 17 significant digits
// from "%.16e", rounded half up to min(7, n) digits; no digit before the
// point except "0." when nothing is left on either side; the sign dropped
// when the rounded value is zero; asterisks when the text is wider than w.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "numtext/f8_4_field.hpp"
#include "numtext/fixed_field.hpp"

namespace {

std::string reference_fixed(int w, int d, float x) {
  const double v = static_cast<double>(x);
  bool negative = std::signbit(v);
  std::string digits;  // significand digits D1 D2 ..., x = 0.D1D2... * 10^e
  int e = 0;
  if (v == 0.0) {
    digits = "0";
    negative = false;
  } else {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.16e", std::fabs(v));
    // "D.DDDDDDDDDDDDDDDDe+XX"
    digits.push_back(buf[0]);
    digits.append(buf + 2, 16);
    e = std::atoi(buf + 19) + 1;
  }
  int h = e;
  int n = h + d;
  std::string text;
  if (h < -d) {
    text = "." + std::string(static_cast<std::size_t>(d), '0');
  } else {
    std::string kept;
    const int keep = n < 7 ? n : 7;
    const auto digit_at = [&](int i) {
      return i < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(i)] : '0';
    };
    if (keep == 0) {
      if (digit_at(0) >= '5') {
        kept = "1";
        ++h;
        ++n;
      }
    } else {
      for (int i = 0; i < keep; ++i) kept.push_back(digit_at(i));
      if (digit_at(keep) >= '5') {
        int i = keep - 1;
        for (; i >= 0; --i) {
          if (kept[static_cast<std::size_t>(i)] == '9') {
            kept[static_cast<std::size_t>(i)] = '0';
          } else {
            ++kept[static_cast<std::size_t>(i)];
            break;
          }
        }
        if (i < 0) {
          kept = "1" + std::string(static_cast<std::size_t>(keep), '0');
          ++h;
          ++n;
        }
      }
    }
    if (kept.find_first_not_of('0') == std::string::npos) negative = false;
    const auto kept_at = [&](int i) {
      return i < static_cast<int>(kept.size()) ? kept[static_cast<std::size_t>(i)] : '0';
    };
    if (negative) text.push_back('-');
    if (h == 0 && n == 0) text.push_back('0');
    for (int i = 0; i < h; ++i) text.push_back(kept_at(i));
    text.push_back('.');
    for (int i = 0; i < -h; ++i) text.push_back('0');
    const int from = h > 0 ? h : 0;
    for (int i = from; i < n; ++i) text.push_back(kept_at(i));
  }
  if (static_cast<int>(text.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + text;
}

std::string reference_integer(int w, std::int32_t v) {
  char buf[32];
  const int len = std::snprintf(buf, sizeof buf, "%d", v);
  if (len > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w - len), ' ') + buf;
}

[[noreturn]] void mismatch(const char* what, int w, int d, float x, const std::string& got,
                           const std::string& want) {
  std::fprintf(stderr, "%s: w=%d d=%d x=%.9g (bits %08x): got \"%s\", expected \"%s\"\n", what, w,
               d, static_cast<double>(x), static_cast<unsigned>(std::bit_cast<std::uint32_t>(x)),
               got.c_str(), want.c_str());
  std::abort();
}

// Calls write(out) into a guarded buffer and returns the w characters.
template <class Write>
std::string field(int w, Write write) {
  char buf[64];
  std::memset(buf, '\x7f', sizeof buf);
  write(buf + 8);
  for (int i = 0; i < 8; ++i) {
    if (buf[i] != '\x7f') std::abort();  // wrote before the field
  }
  for (int i = 8 + w; i < 64; ++i) {
    if (buf[i] != '\x7f') std::abort();  // wrote past the field
  }
  return std::string(buf + 8, static_cast<std::size_t>(w));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const int w = 1 + data[0] % 40;
  const int d = data[1] % 13;
  for (std::size_t at = 2; at + 4 <= size; at += 4) {
    std::uint32_t bits;
    std::memcpy(&bits, data + at, 4);
    const float x = std::bit_cast<float>(bits);
    const auto iv = static_cast<std::int32_t>(bits);

    const std::string got_i = field(w, [&](char* out) { numtext::write_integer(out, w, iv); });
    const std::string want_i = reference_integer(w, iv);
    if (got_i != want_i) mismatch("write_integer", w, 0, static_cast<float>(iv), got_i, want_i);

    const std::string got = field(w, [&](char* out) { numtext::write_fixed(out, w, d, x); });
    const std::string by_digits =
        field(w, [&](char* out) { numtext::write_fixed_by_digits(out, w, d, x); });
    const std::string f84 = field(8, [&](char* out) { numtext::write_f8_4(out, x); });
    if (!std::isfinite(x)) {
      // No rule for these; the fields only have to stay within bounds.
      continue;
    }
    const std::string want = reference_fixed(w, d, x);
    if (got != want) mismatch("write_fixed", w, d, x, got, want);
    if (by_digits != want) mismatch("write_fixed_by_digits", w, d, x, by_digits, want);
    const std::string want84 = reference_fixed(8, 4, x);
    if (f84 != want84) mismatch("write_f8_4", 8, 4, x, f84, want84);
  }
  return 0;
}
