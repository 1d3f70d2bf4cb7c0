// The forms of integer and real value text, their limits and errors, and the
// rounding of a real text: first to the nearest double, then to the nearest
// float. Every text is also read through the free-form reader, from one large
// window and from one character per refill, so the reader's own quick path
// for plain decimals is held to the same results.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "numtext/char_source.hpp"
#include "numtext/free_form.hpp"
#include "numtext/integer_text.hpp"
#include "units/io_failure.hpp"
#include "numtext/real_text.hpp"
#include "support/memory_source.hpp"
#include "support/numbers.hpp"

namespace {

using numtext::IoFailure;
using numtext::Target;
namespace fnum = numtext::fnum;

using elab_test::MemorySource;
using elab_test::real_of;

// Reads text as one value of the target's type; returns the failure number
// or 0.
template <class T>
int read_one(const std::string& text, std::size_t chunk, T& out) {
  // Padding after the value, so that a large window really is large.
  MemorySource src(text + " " + std::string(40, ' ') + "\n", chunk);
  numtext::FreeFormReader reader(src);
  const Target t = Target::of(out);
  try {
    reader.read({&t, 1});
  } catch (const IoFailure& f) {
    return f.number;
  }
  return src.misuse().empty() ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Integers.

struct IntCase {
  const char* text;
  std::int64_t value;  // when failure is 0
  int failure;
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

const IntCase kIntCases[] = {
    {"0", 0, 0},
    {"7", 7, 0},
    {"+3", 3, 0},
    {"-3", -3, 0},
    {"-0", 0, 0},
    {"000000000000000000000000000042", 42, 0},
    {"2147483647", 2147483647, 0},
    {"-2147483647", -2147483647, 0},
    {"+", 0, 0},
    {"-", 0, 0},
    {"2147483648", 0, fnum::kIntegerOverflow},
    {"-2147483648", 0, fnum::kIntegerOverflow},
    {"99999999999999999999999", 0, fnum::kIntegerOverflow},
    {"3.0", 0, fnum::kInvalidInteger},
    {"1E2", 0, fnum::kInvalidInteger},
    {"12a", 0, fnum::kInvalidInteger},
    {"x", 0, fnum::kInvalidInteger},
    {"--1", 0, fnum::kInvalidInteger},
    {"+-1", 0, fnum::kInvalidInteger},
    {"1-", 0, fnum::kInvalidInteger},
    {"1+1", 0, fnum::kInvalidInteger},
    {"99999999999x", 0, fnum::kInvalidInteger},
    // base#digits
    {"2#1010", 10, 0},
    {"8#17", 15, 0},
    {"16#FF", 255, 0},
    {"16#ff", 255, 0},
    {"#ff", 255, 0},
    {"#7FFFFFFF", 2147483647, 0},
    {"36#Zz", 35 * 36 + 35, 0},
    {"10#99", 99, 0},
    {"-2#11", -3, 0},
    {"+#10", 16, 0},
    {"-#7fffffff", -2147483647, 0},
    {"#80000000", 0, fnum::kIntegerOverflow},
    {"2#11111111111111111111111111111111", 0, fnum::kIntegerOverflow},
    {"2#2", 0, fnum::kInvalidInteger},
    {"8#9", 0, fnum::kInvalidInteger},
    {"16#G", 0, fnum::kInvalidInteger},
    {"2#", 0, fnum::kInvalidInteger},
    {"#", 0, fnum::kInvalidInteger},
    {"16#-1", 0, fnum::kInvalidInteger},
    {"2#1#1", 0, fnum::kTwoNumberSigns},
    {"##1", 0, fnum::kTwoNumberSigns},
    {"1#0", 0, fnum::kInvalidBase},
    {"0#0", 0, fnum::kInvalidBase},
    {"37#1", 0, fnum::kInvalidBase},
    {"99999999999999999999#1", 0, fnum::kInvalidBase},
};

class IntegerText : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntegerText, ParsedDirectly) {
  const IntCase& c = GetParam();
  const std::size_t n = std::strlen(c.text);
  if (c.failure == 0) {
    EXPECT_EQ(numtext::parse_integer(c.text, n), c.value);
  } else {
    try {
      const std::int32_t v = numtext::parse_integer(c.text, n);
      ADD_FAILURE() << "read as " << v << ", expected failure " << c.failure;
    } catch (const IoFailure& f) {
      EXPECT_EQ(f.number, c.failure);
    }
  }
}

TEST_P(IntegerText, ReadAsAnIntegerTarget) {
  const IntCase& c = GetParam();
  for (std::size_t chunk : {std::size_t{1} << 16, std::size_t{1}}) {
    std::int32_t v = -5;
    EXPECT_EQ(read_one(c.text, chunk, v), c.failure) << "window " << chunk;
    EXPECT_EQ(v, c.failure == 0 ? c.value : -5) << "window " << chunk;
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, IntegerText, ::testing::ValuesIn(kIntCases));

// ---------------------------------------------------------------------------
// Reals.

struct RealCase {
  const char* text;
  float value;
  int failure;
};

void PrintTo(const RealCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

const RealCase kRealCases[] = {
    {"7", 7.0f, 0},
    {"-.5", -0.5f, 0},
    {"5.", 5.0f, 0},
    {".5", 0.5f, 0},
    {"+.5e1", 5.0f, 0},
    {"1e2", 100.0f, 0},
    {"1E2", 100.0f, 0},
    {"1e+2", 100.0f, 0},
    {"1E-2", 0.01f, 0},
    {"2.5D-1", 0.25f, 0},
    {"2.5d1", 25.0f, 0},
    {"1.5+3", 1500.0f, 0},
    {"1.5-3", 0.0015f, 0},
    {"-2+2", -200.0f, 0},
    {"544.75", 544.75f, 0},
    {"-3", -3.0f, 0},
    {"0.1", 0.1f, 0},
    {"00012.500", 12.5f, 0},
    {"1234567.1234567", 1234567.1234567f, 0},
    {"12345678", 12345678.0f, 0},
    {"16777217", 16777216.0f, 0},  // a tie: to the even neighbour
    {"0.000000000000000000000000000000000000000000000000001", 0.0f, 0},
    {"3.4028235e38", FLT_MAX, 0},
    {"-3.4028235e38", -FLT_MAX, 0},
    // Beyond the largest float but below the half-way point to 2^128: still
    // the largest float.
    {"3.40282356e38", FLT_MAX, 0},
    {"3.4028236e38", 0.0f, fnum::kRealBeyondSingle},
    {"1e39", 0.0f, fnum::kRealBeyondSingle},
    {"-1e39", 0.0f, fnum::kRealBeyondSingle},
    {"1e308", 0.0f, fnum::kRealBeyondSingle},
    {"1e309", 0.0f, fnum::kRealBeyondDouble},
    {"-1e400", 0.0f, fnum::kRealBeyondDouble},
    {"1e999999999999999", 0.0f, fnum::kRealBeyondDouble},
    {"123456789012345678901234567890e300", 0.0f, fnum::kRealBeyondDouble},
    // Below the smallest float: zero (or the nearest tiny value), no error.
    {"1e-46", 0.0f, 0},
    {"1e-50", 0.0f, 0},
    {"1e-400", 0.0f, 0},
    {"1e-999999999999999", 0.0f, 0},
    {"1.4e-45", 1.40129846e-45f, 0},
    {"1e-40", 1e-40f, 0},
    {"0e999999", 0.0f, 0},
    {".", 0.0f, fnum::kInvalidReal},
    {"+", 0.0f, fnum::kInvalidReal},
    {"-", 0.0f, fnum::kInvalidReal},
    {"e5", 0.0f, fnum::kInvalidReal},
    {".e5", 0.0f, fnum::kInvalidReal},
    {"1e", 0.0f, fnum::kInvalidReal},
    {"1e+", 0.0f, fnum::kInvalidReal},
    {"1+", 0.0f, fnum::kInvalidReal},
    {"1e--3", 0.0f, fnum::kInvalidReal},
    {"1+-3", 0.0f, fnum::kInvalidReal},
    {"1.2.3", 0.0f, fnum::kInvalidReal},
    {"1e5.0", 0.0f, fnum::kInvalidReal},
    {"1e5e5", 0.0f, fnum::kInvalidReal},
    {"1x", 0.0f, fnum::kInvalidReal},
    {"x", 0.0f, fnum::kInvalidReal},
    {"#10", 0.0f, fnum::kInvalidReal},
    {"0x10", 0.0f, fnum::kInvalidReal},
    {"inf", 0.0f, fnum::kInvalidReal},
    {"nan", 0.0f, fnum::kInvalidReal},
    {"1q2", 0.0f, fnum::kInvalidReal},
    {"--1", 0.0f, fnum::kInvalidReal},
};

class RealText : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealText, ParsedDirectly) {
  const RealCase& c = GetParam();
  const std::size_t n = std::strlen(c.text);
  if (c.failure == 0) {
    const float v = real_of(std::string_view(c.text, n));
    EXPECT_EQ(v, c.value);
  } else {
    try {
      const float v = real_of(std::string_view(c.text, n));
      ADD_FAILURE() << "read as " << v << ", expected failure " << c.failure;
    } catch (const IoFailure& f) {
      EXPECT_EQ(f.number, c.failure);
    }
  }
}

TEST_P(RealText, ReadAsARealTarget) {
  const RealCase& c = GetParam();
  for (std::size_t chunk : {std::size_t{1} << 16, std::size_t{1}}) {
    float v = -5.0f;
    EXPECT_EQ(read_one(c.text, chunk, v), c.failure) << "window " << chunk;
    EXPECT_EQ(v, c.failure == 0 ? c.value : -5.0f) << "window " << chunk;
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, RealText, ::testing::ValuesIn(kRealCases));

TEST(RealTextSign, NegativeZeroAndNegativeUnderflowKeepTheirSign) {
  for (const char* text : {"-0", "-0.0", "-1e-50"}) {
    for (std::size_t chunk : {std::size_t{1} << 16, std::size_t{1}}) {
      float v = 1.0f;
      ASSERT_EQ(read_one(text, chunk, v), 0) << text;
      EXPECT_EQ(v, 0.0f) << text;
      EXPECT_TRUE(std::signbit(v)) << text;
    }
  }
}

// The real text goes to the nearest double first, then to the nearest
// float. Just above the midpoint between 1 and the next float, by less than
// half a step of a double, the nearest double is that midpoint itself, and
// the midpoint goes to the even neighbour, 1. Straight to the nearest float
// the text would give the float above 1.
TEST(RealTextRounding, ThroughDoubleThenFloat) {
  const std::string midpoint = "1.000000059604644775390625";  // 1 + 2^-24, exactly
  const std::string text = midpoint + "000000001";
  const float above_one = std::nextafter(1.0f, 2.0f);

  // The text really is one where the two roundings differ.
  ASSERT_EQ(std::strtof(text.c_str(), nullptr), above_one);
  ASSERT_EQ(std::strtod(text.c_str(), nullptr), 1.0 + std::ldexp(1.0, -24));

  EXPECT_EQ(real_of(text), static_cast<float>(std::strtod(text.c_str(), nullptr)));
  EXPECT_EQ(real_of(text), 1.0f);
  for (std::size_t chunk : {std::size_t{1} << 16, std::size_t{1}, std::size_t{7}}) {
    float v = 0.0f;
    ASSERT_EQ(read_one(text, chunk, v), 0);
    EXPECT_EQ(v, 1.0f) << "window " << chunk;
  }
  // The same with the exponent forms, and negative.
  for (const std::string& t : {std::string("0.1000000059604644775390625000000001e1"),
                               std::string("100000005960464477539062500000001D-32"),
                               std::string("1.000000059604644775390625000000001+0")}) {
    EXPECT_EQ(real_of(t), 1.0f) << t;
    const std::string neg = "-" + t;
    EXPECT_EQ(real_of(neg), -1.0f) << neg;
  }
  // The midpoint above an odd float goes up in both roundings.
  const std::string odd_mid = "1.000000178813934326171875000000001";  // 1 + 3 * 2^-24
  EXPECT_EQ(real_of(odd_mid),
            std::nextafter(above_one, 2.0f));
}

// The conversion against the C library's correctly rounded one (to double,
// then to float), on random texts of every length and exponent.
TEST(RealTextRounding, RandomTextsMatchNearestDoubleThenFloat) {
  std::uint64_t state = 0x9e3779b97f4a7c15ULL;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (int i = 0; i < 200000; ++i) {
    std::string t;
    if (next() % 2) t += '-';
    const int ni = static_cast<int>(next() % 25);
    const int nf = static_cast<int>(next() % 25);
    for (int k = 0; k < ni; ++k) t += static_cast<char>('0' + next() % 10);
    t += '.';
    for (int k = 0; k < nf; ++k) t += static_cast<char>('0' + next() % 10);
    if (ni == 0 && nf == 0) t += '5';
    const int e = static_cast<int>(next() % 90) - 45;
    t += "e" + std::to_string(e);
    const double d = std::strtod(t.c_str(), nullptr);
    if (std::fabs(d) >= 3.4e38) continue;
    const float want = static_cast<float>(d);
    const float got = real_of(t);
    ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << t << ": " << got << " vs " << want;
  }
}

}  // namespace
