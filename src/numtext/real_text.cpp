#include "numtext/real_text.hpp"

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

#include "numtext/exact_pow10.hpp"
#include "numtext/float_chars.hpp"
#include "numtext/text_failure.hpp"
#include "numtext/narrow.hpp"

namespace numtext {
namespace {

struct RealSyntax {
  bool negative = false;
  const char* int_digits = nullptr;
  std::size_t int_len = 0;
  const char* frac_digits = nullptr;
  std::size_t frac_len = 0;
  std::int64_t exponent = 0;  // saturated
  const char* end = nullptr;  // after the text read; nullptr: no real text
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

const char* skip_digits(const char* p, const char* last) {
  while (p != last && is_digit(*p)) ++p;
  return p;
}

// The exponent at p ("e-3", "D5", "+3"), or p when none stands there: a
// letter or sign not followed by digits ends the number before it.
const char* scan_exponent(const char* p, const char* last, std::int64_t& exponent) {
  const char* s = p;
  if (s != last && (*s == 'e' || *s == 'E' || *s == 'd' || *s == 'D')) ++s;
  else if (s == last || (*s != '+' && *s != '-')) return p;
  bool negative = false;
  if (s != last && (*s == '+' || *s == '-')) negative = *s++ == '-';
  if (s == last || !is_digit(*s)) return p;
  std::int64_t e = 0;
  for (; s != last && is_digit(*s); ++s)
    if (e < 1000000000000LL) e = e * 10 + (*s - '0');
  exponent = negative ? -e : e;
  return s;
}

RealSyntax scan_syntax(const char* first, const char* last) {
  RealSyntax r;
  const char* p = first;
  if (p != last && (*p == '+' || *p == '-')) r.negative = *p++ == '-';
  r.int_digits = p;
  p = skip_digits(p, last);
  r.int_len = static_cast<std::size_t>(p - r.int_digits);
  if (p != last && *p == '.') {
    r.frac_digits = ++p;
    p = skip_digits(p, last);
    r.frac_len = static_cast<std::size_t>(p - r.frac_digits);
  }
  if (r.int_len == 0 && r.frac_len == 0) return r;
  r.end = scan_exponent(p, last, r.exponent);
  return r;
}

// Exact when the digits form an integer below 2^53 and the power of ten is
// itself exact: then one correctly rounded multiplication or division.
bool try_fast_double(const RealSyntax& r, double& out) {
  if (r.int_len + r.frac_len > 19) return false;
  std::uint64_t w = 0;
  for (std::size_t k = 0; k < r.int_len; ++k) w = w * 10 + static_cast<unsigned>(r.int_digits[k] - '0');
  for (std::size_t k = 0; k < r.frac_len; ++k) w = w * 10 + static_cast<unsigned>(r.frac_digits[k] - '0');
  if (w > (std::uint64_t{1} << 53)) return false;
  const std::int64_t e10 = r.exponent - static_cast<std::int64_t>(r.frac_len);
  if (e10 < -22 || e10 > 22) return w == 0 ? (out = 0.0, true) : false;
  const double m = static_cast<double>(w);
  out = e10 >= 0 ? m * kExactPow10[e10] : m / kExactPow10[-e10];
  return true;
}

// Decimal exponent of the leading digit: the value lies in [10^k, 10^(k+1)).
// Only used to tell an overflow from an underflow. Returns false for zero.
bool leading_exponent(const RealSyntax& r, std::int64_t& k) {
  for (std::size_t j = 0; j < r.int_len; ++j)
    if (r.int_digits[j] != '0') return k = r.exponent + static_cast<std::int64_t>(r.int_len - j) - 1, true;
  for (std::size_t j = 0; j < r.frac_len; ++j)
    if (r.frac_digits[j] != '0') return k = r.exponent - static_cast<std::int64_t>(j) - 1, true;
  return false;
}

// The nearest double, or a failure number.
int slow_double(const RealSyntax& r, double& v) {
  v = 0.0;
  std::int64_t lead = 0;
  if (!leading_exponent(r, lead)) return 0;
  if (lead > 400) return fnum::kRealBeyondDouble;
  if (lead < -400) return 0;
  // digits "int.frac" and an exponent from_chars understands.
  static thread_local std::string text;
  text.clear();
  if (r.int_len) text.append(r.int_digits, r.int_len);
  else text.push_back('0');
  text.push_back('.');
  if (r.frac_len) text.append(r.frac_digits, r.frac_len);
  else text.push_back('0');
  text.push_back('e');
  text += std::to_string(r.exponent);
  const auto [ptr, ec] = double_from_chars(text.data(), text.data() + text.size(), v);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    v = 0.0;
    return lead > 0 ? fnum::kRealBeyondDouble : 0;
  }
  if (ec != std::errc()) return fnum::kInvalidReal;
  if (v > 1.7976931348623157e308) return fnum::kRealBeyondDouble;
  return 0;
}

}  // namespace

RealChars real_from_chars_general(const char* first, const char* last, float& value) {
  const RealSyntax r = scan_syntax(first, last);
  if (r.end == nullptr) return {first, fnum::kInvalidReal};
  double v;
  if (!try_fast_double(r, v)) {
    if (const int failure = slow_double(r, v)) return {r.end, failure};
  }
  float f;
  if (!narrow_to_float(r.negative ? -v : v, f)) return {r.end, fnum::kRealBeyondSingle};
  value = f;
  return {r.end, 0};
}

float whole_real(const char* first, const char* last) {
  float v = 0.0f;
  const RealChars r = real_from_chars(first, last, v);
  if (r.ptr != last) throw IoFailure{fnum::kInvalidReal};
  if (r.failure != 0) throw IoFailure{r.failure};
  return v;
}

}  // namespace numtext
