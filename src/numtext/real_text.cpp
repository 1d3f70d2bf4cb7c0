#include "numtext/real_text.hpp"

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

#include "numtext/exact_pow10.hpp"
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
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

RealSyntax scan_syntax(const char* s, std::size_t n) {
  RealSyntax r;
  std::size_t i = 0;
  if (i < n && (s[i] == '+' || s[i] == '-')) r.negative = s[i++] == '-';
  r.int_digits = s + i;
  while (i < n && is_digit(s[i])) ++i;
  r.int_len = static_cast<std::size_t>(s + i - r.int_digits);
  if (i < n && s[i] == '.') {
    ++i;
    r.frac_digits = s + i;
    while (i < n && is_digit(s[i])) ++i;
    r.frac_len = static_cast<std::size_t>(s + i - r.frac_digits);
  }
  if (r.int_len == 0 && r.frac_len == 0) throw IoFailure{fnum::kInvalidReal};
  if (i == n) return r;

  const char c = s[i];
  if (c == 'e' || c == 'E' || c == 'd' || c == 'D') ++i;
  else if (c != '+' && c != '-') throw IoFailure{fnum::kInvalidReal};
  bool exp_negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) exp_negative = s[i++] == '-';
  if (i == n) throw IoFailure{fnum::kInvalidReal};
  std::int64_t e = 0;
  for (; i < n; ++i) {
    if (!is_digit(s[i])) throw IoFailure{fnum::kInvalidReal};
    if (e < 1000000000000LL) e = e * 10 + (s[i] - '0');
  }
  r.exponent = exp_negative ? -e : e;
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

double slow_double(const RealSyntax& r) {
  std::int64_t lead = 0;
  if (!leading_exponent(r, lead)) return 0.0;
  if (lead > 400) throw IoFailure{fnum::kRealBeyondDouble};
  if (lead < -400) return 0.0;
  // digits "int.frac" and an exponent std::from_chars understands.
  static thread_local std::string text;
  text.clear();
  if (r.int_len) text.append(r.int_digits, r.int_len);
  else text.push_back('0');
  text.push_back('.');
  if (r.frac_len) text.append(r.frac_digits, r.frac_len);
  else text.push_back('0');
  text.push_back('e');
  text += std::to_string(r.exponent);
  double v = 0.0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    if (lead > 0) throw IoFailure{fnum::kRealBeyondDouble};
    return 0.0;
  }
  if (ec != std::errc()) throw IoFailure{fnum::kInvalidReal};
  if (v > 1.7976931348623157e308) throw IoFailure{fnum::kRealBeyondDouble};
  return v;
}

}  // namespace

double parse_real_as_double(const char* s, std::size_t n) {
  const RealSyntax r = scan_syntax(s, n);
  double v;
  if (!try_fast_double(r, v)) v = slow_double(r);
  return r.negative ? -v : v;
}

float parse_real(const char* s, std::size_t n) {
  float f;
  if (!narrow_to_float(parse_real_as_double(s, n), f)) throw IoFailure{fnum::kRealBeyondSingle};
  return f;
}

}  // namespace numtext
