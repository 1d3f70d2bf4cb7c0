// Every float whose F8.4 field can hold digits (-100 < x < 1000), against a
// reference written here from the field rules alone: the exact decimal
// value of the float by integer arithmetic, rounded to 17 significant digits
// (half to even), then rounded half up to four decimals with at most seven
// significant digits kept. Magnitudes below 1e-6 are sampled.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "numtext/f8_4_field.hpp"
#include "numtext/fixed_field.hpp"
#include "support/numbers.hpp"

namespace {

using elab_test::bits_of;
using u128 = unsigned __int128;

// The 17-digit view of a float: |x| rounds to 0.q * 10^e, 10^16 <= q < 10^17
// (q = 0 and e = 0 for zero).
struct Digits17 {
  bool negative;
  std::uint64_t q;
  int e;
};

struct PowTables {
  u128 ten[39];
  u128 five[45];
  PowTables() {
    ten[0] = 1;
    for (int i = 1; i < 39; ++i) ten[i] = ten[i - 1] * 10;
    five[0] = 1;
    for (int i = 1; i < 45; ++i) five[i] = five[i - 1] * 5;
  }
};
const PowTables kPow;

std::uint64_t p10(int k) { return static_cast<std::uint64_t>(kPow.ten[k]); }

int bit_length(u128 n) {
  const auto hi = static_cast<std::uint64_t>(n >> 64);
  const auto lo = static_cast<std::uint64_t>(n);
  return hi != 0 ? 128 - __builtin_clzll(hi) : (lo != 0 ? 64 - __builtin_clzll(lo) : 0);
}

// m * 2^-s from the bit pattern of a magnitude, with m odd (or zero).
void split(std::uint32_t bits, std::uint64_t& m, int& s) {
  const std::uint32_t ex = (bits >> 23) & 0xFF;
  const std::uint32_t fr = bits & 0x7FFFFF;
  m = ex == 0 ? fr : (fr | 0x800000u);
  int k = ex == 0 ? -149 : static_cast<int>(ex) - 150;
  while (m != 0 && (m & 1) == 0 && k < 0) {
    m >>= 1;
    ++k;
  }
  s = -k;  // every float of the range checked here is below 2^24, so k < 0
}

// The whole number n, standing for n * 10^-s, rounded to 17 significant
// digits, half to even.
Digits17 round17_u128(bool negative, u128 n, int s) {
  if (n == 0) return {negative, 0, 0};
  // The digit count, from an estimate by the bit length.
  int d = std::max(1, (bit_length(n) - 1) * 30103 / 100000);
  while (d < 39 && n >= kPow.ten[d]) ++d;
  while (d > 1 && n < kPow.ten[d - 1]) --d;
  Digits17 r{negative, 0, d - s};
  if (d <= 17) {
    r.q = static_cast<std::uint64_t>(n) * p10(17 - d);
    return r;
  }
  const u128 p = kPow.ten[d - 17];
  u128 q = n / p;
  const u128 rem = n - q * p;
  const u128 half = p / 2;
  if (rem > half || (rem == half && (q & 1) != 0)) ++q;
  if (q == kPow.ten[17]) {
    q = kPow.ten[16];
    ++r.e;
  }
  r.q = static_cast<std::uint64_t>(q);
  return r;
}

// The same from the decimal digits of the whole number (any length).
Digits17 round17_string(bool negative, const std::string& digits, int s) {
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return {negative, 0, 0};
  const std::string n = digits.substr(first);
  const int d = static_cast<int>(n.size());
  Digits17 r{negative, 0, d - s};
  std::string head = n.substr(0, std::min<std::size_t>(17, n.size()));
  head.resize(17, '0');
  std::uint64_t q = std::stoull(head);
  if (d > 17) {
    // The rest against one half of the 17th place.
    const std::string rest = n.substr(17);
    int cmp;
    if (rest[0] > '5') cmp = 1;
    else if (rest[0] < '5') cmp = -1;
    else cmp = rest.find_first_not_of('0', 1) == std::string::npos ? 0 : 1;
    if (cmp > 0 || (cmp == 0 && (q & 1) != 0)) ++q;
    if (q == p10(17)) {
      q = p10(16);
      ++r.e;
    }
  }
  r.q = q;
  return r;
}

// The exact decimal digits of m * 5^s, by long multiplication in base 10^9.
std::string digits_of(std::uint64_t m, int s) {
  std::vector<std::uint64_t> limbs{m % 1000000000ULL, m / 1000000000ULL};
  for (int i = 0; i < s; ++i) {
    std::uint64_t carry = 0;
    for (auto& l : limbs) {
      const std::uint64_t v = l * 5 + carry;
      l = v % 1000000000ULL;
      carry = v / 1000000000ULL;
    }
    if (carry != 0) limbs.push_back(carry);
  }
  while (limbs.size() > 1 && limbs.back() == 0) limbs.pop_back();
  std::string out;
  char buf[16];
  for (std::size_t i = limbs.size(); i-- > 0;) {
    std::snprintf(buf, sizeof buf, i + 1 == limbs.size() ? "%llu" : "%09llu",
                  static_cast<unsigned long long>(limbs[i]));
    out += buf;
  }
  return out;
}

Digits17 digits17(float x, bool force_long = false) {
  std::uint32_t bits;
  std::memcpy(&bits, &x, 4);
  const bool negative = (bits >> 31) != 0;
  std::uint64_t m;
  int s;
  split(bits & 0x7FFFFFFFu, m, s);
  if (!force_long && s >= 0 && s <= 44) {
    return round17_u128(negative, static_cast<u128>(m) * kPow.five[s], s);
  }
  return round17_string(negative, digits_of(m, s), s);
}

// F8.4 from the 17-digit view, step by step as the field rules read.
void reference_f84(const Digits17& v, char out[8]) {
  constexpr int d = 4;
  int h = v.q == 0 ? 0 : v.e;
  int n = h + d;
  if (h < -d) {
    std::memcpy(out, "   .0000", 8);
    return;
  }
  const int keep = std::min(7, n);
  std::uint64_t kept = 0;  // the kept digits as a number
  int nkept = 0;
  if (v.q == 0) {
    nkept = 0;  // zero: every digit shown is 0
  } else if (keep == 0) {
    if (v.q / p10(16) >= 5) {
      kept = 1;
      nkept = 1;
      ++h;
      ++n;
    }
  } else {
    kept = v.q / p10(17 - keep);
    nkept = keep;
    const std::uint64_t dropped = (v.q / p10(16 - keep)) % 10;
    if (dropped >= 5) {
      ++kept;
      if (kept == p10(keep)) {  // the carry ran out of the first digit
        nkept = std::min(keep + 1, 7);
        kept = p10(nkept - 1);
        ++h;
        ++n;
      }
    }
  }
  const bool negative = v.negative && kept != 0;
  // The n digits shown: the kept digits, then zeros.
  char shown[24];
  for (int i = nkept - 1; i >= 0; --i, kept /= 10) shown[i] = static_cast<char>('0' + kept % 10);
  for (int i = nkept; i < n; ++i) shown[i] = '0';
  char text[32];
  int len = 0;
  if (negative) text[len++] = '-';
  if (h == 0 && n == 0) text[len++] = '0';
  int at = 0;
  for (int i = 0; i < h; ++i) text[len++] = shown[at++];
  text[len++] = '.';
  for (int i = 0; i < -h; ++i) text[len++] = '0';
  const int rest = n - std::max(h, 0);
  for (int i = 0; i < rest; ++i) text[len++] = shown[at++];
  if (len > 8) {
    std::memset(out, '*', 8);
    return;
  }
  std::memset(out, ' ', 8);
  std::memcpy(out + (8 - len), text, static_cast<std::size_t>(len));
}

std::string reference_text(float x) {
  char out[8];
  reference_f84(digits17(x), out);
  return std::string(out, 8);
}

// The reference itself, on the values of the field table and on the
// long-arithmetic path.
TEST(F84EveryFloatReference, KnownValues) {
  EXPECT_EQ(reference_text(0.5f), "   .5000");
  EXPECT_EQ(reference_text(-0.5f), "  -.5000");
  EXPECT_EQ(reference_text(0.0f), "   .0000");
  EXPECT_EQ(reference_text(-0.0f), "   .0000");
  EXPECT_EQ(reference_text(-0.00004f), "   .0000");
  EXPECT_EQ(reference_text(0.00006f), "   .0001");
  EXPECT_EQ(reference_text(-0.00006f), "  -.0001");
  EXPECT_EQ(reference_text(0.00005f), "   .0000");
  EXPECT_EQ(reference_text(0.45f), "   .4500");
  EXPECT_EQ(reference_text(1.23456f), "  1.2346");
  EXPECT_EQ(reference_text(12.3456f), " 12.3456");
  EXPECT_EQ(reference_text(-1.25f), " -1.2500");
  EXPECT_EQ(reference_text(999.99995f), "999.9999");
  EXPECT_EQ(reference_text(1000.0f), "********");
  EXPECT_EQ(reference_text(-99.9999f), "-99.9999");
  EXPECT_EQ(reference_text(-99.99996f), "********");
  EXPECT_EQ(reference_text(99999.0f), "********");
  EXPECT_EQ(reference_text(9.99996f), " 10.0000");
  EXPECT_EQ(reference_text(7.5e-5f), "   .0001");
  // The two ways to the 17 digits agree.
  for (float x : {0.1f, 1.0f, 3.14159f, 999.99994f, 1e-6f, 7.5e-5f, 123.456f, 2.5e-7f}) {
    const Digits17 a = digits17(x), b = digits17(x, true);
    EXPECT_EQ(a.q, b.q) << x;
    EXPECT_EQ(a.e, b.e) << x;
  }
  EXPECT_EQ(digits_of(1, 3), "125");
  const Digits17 tenth = digits17(0.1f, true);  // 0.100000001490116119384765625
  EXPECT_EQ(tenth.q, 10000000149011612ULL);
  EXPECT_EQ(tenth.e, 0);
  const Digits17 tiny = digits17(std::bit_cast<float>(1), true);  // 1.4012984643248170709e-45
  EXPECT_EQ(tiny.q, 14012984643248171ULL);
  EXPECT_EQ(tiny.e, -44);
}

struct Mismatch {
  float x;
  std::string got, want, which;
};

TEST(F84EveryFloat, AgainstTheReference) {
  const auto start = std::chrono::steady_clock::now();
  const std::uint32_t tiny = bits_of(1e-6f);
  const std::uint32_t pos_end = bits_of(1000.0f);  // exclusive
  const std::uint32_t neg_end = bits_of(100.0f);   // exclusive: x > -100

  // Ranges of bit patterns of one sign, with a stride: 1 for every float,
  // more for the sampled tiny ones.
  struct Range {
    std::uint32_t from, to, step;
    bool negative;
  };
  std::vector<Range> work;
  constexpr std::uint32_t kChunk = 1u << 20;
  // Under the sanitizers every float would take hours: there a sample of
  // every 1021st stands for the whole range.
  const std::uint32_t every = ELAB_SANITIZED ? 1021 : 1;
  for (int sign = 0; sign < 2; ++sign) {
    const std::uint32_t end = sign == 0 ? pos_end : neg_end;
    for (std::uint32_t a = tiny; a < end; a += std::min(kChunk, end - a))
      work.push_back({a, std::min(end, a + kChunk), every, sign == 1});
    work.push_back({0, tiny, 4093, sign == 1});
    work.push_back({0, 0x800000u, 997, sign == 1});  // denormals
    work.push_back({tiny - 100000, tiny, 1, sign == 1});
  }

  std::atomic<std::size_t> next{0};
  std::atomic<std::uint64_t> checked{0};
  std::atomic<std::uint64_t> failures{0};
  std::mutex mu;
  std::vector<Mismatch> shown;

  auto worker = [&] {
    std::uint64_t mine = 0;
    char want[8], a[8], b[8], c[8];
    for (std::size_t i; (i = next.fetch_add(1)) < work.size();) {
      const Range r = work[i];
      for (std::uint64_t u = r.from; u < r.to; u += r.step) {
        const std::uint32_t bits = static_cast<std::uint32_t>(u) | (r.negative ? 0x80000000u : 0u);
        const float x = std::bit_cast<float>(bits);
        reference_f84(digits17(x), want);
        numtext::write_f8_4(a, x);
        numtext::write_fixed(b, 8, 4, x);
        // The literal digit path is slower: every 64th float, and the sampled.
        if ((u & 63) == 0 || r.step != every) {
          numtext::write_fixed_by_digits(c, 8, 4, x);
        } else {
          std::memcpy(c, want, 8);
        }
        ++mine;
        const bool bad_a = std::memcmp(a, want, 8) != 0;
        const bool bad_b = std::memcmp(b, want, 8) != 0;
        const bool bad_c = std::memcmp(c, want, 8) != 0;
        if (bad_a || bad_b || bad_c) {
          failures.fetch_add(1);
          std::lock_guard<std::mutex> lock(mu);
          if (shown.size() < 20) {
            const char* which = bad_a ? "write_f8_4" : bad_b ? "write_fixed" : "write_fixed_by_digits";
            const char* got = bad_a ? a : bad_b ? b : c;
            shown.push_back({x, std::string(got, 8), std::string(want, 8), which});
          }
        }
      }
    }
    checked.fetch_add(mine);
  };
  std::thread t1(worker), t2(worker);
  t1.join();
  t2.join();

  for (const Mismatch& m : shown)
    ADD_FAILURE() << m.which << "(" << static_cast<double>(m.x) << ") = \"" << m.got
                  << "\", expected \"" << m.want << "\"";
  EXPECT_EQ(failures.load(), 0u);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("F8.4 every float: %llu floats checked in %.1f s\n",
              static_cast<unsigned long long>(checked.load()), seconds);
  EXPECT_GT(checked.load(), 470000000u / every);
}

}  // namespace
