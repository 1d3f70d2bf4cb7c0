// Fixed-point fields Fw.d and integer fields Iw: the table of values seen
// through F8.4, F2.0 and F3.0, further values worked out by the digit rules
// (17 significant digits, then half up to at most 7 digits, no digit before
// the point below 1, no sign on a zero result, asterisks when too wide), and
// the quick field code held byte for byte to the literal digit path on
// millions of floats of every magnitude.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "numtext/edit_list.hpp"
#include "numtext/f8_4_field.hpp"
#include "numtext/fixed_field.hpp"
#include "numtext/record_writer.hpp"
#include "support/numbers.hpp"

namespace {

std::string fixed(int w, int d, float x) {
  std::string s(static_cast<std::size_t>(w), '?');
  numtext::write_fixed(s.data(), w, d, x);
  return s;
}

std::string by_digits(int w, int d, float x) {
  std::string s(static_cast<std::size_t>(w), '?');
  numtext::write_fixed_by_digits(s.data(), w, d, x);
  return s;
}

std::string f8_4(float x) {
  std::string s(8, '?');
  numtext::write_f8_4(s.data(), x);
  return s;
}

// The field as a one-field formatted write lays it out.
std::string through_edit_list(int w, int d, float x) {
  const numtext::EditList list =
      numtext::EditList::parse("(F" + std::to_string(w) + "." + std::to_string(d) + ")");
  const numtext::FieldValue v = numtext::FieldValue::of(x);
  std::string record;
  numtext::RecordWriter writer;
  writer.write(list, std::span<const numtext::FieldValue>(&v, 1),
               [&](std::string_view r) { record = std::string(r); });
  return record;
}

struct FixedCase {
  float value;
  int w, d;
  const char* field;
};

void PrintTo(const FixedCase& c, std::ostream* os) {
  *os << "F" << c.w << "." << c.d << " of " << elab_test::shown(c.value);
}

const float kMinDenormal = std::numeric_limits<float>::denorm_min();
const float kMaxDenormal = std::nextafter(FLT_MIN, 0.0f);

const FixedCase kFixedCases[] = {
    // The table of values.
    {0.5f, 8, 4, "   .5000"},
    {-0.5f, 8, 4, "  -.5000"},
    {0.0f, 8, 4, "   .0000"},
    {-0.00004f, 8, 4, "   .0000"},
    {0.00006f, 8, 4, "   .0001"},
    {-0.00006f, 8, 4, "  -.0001"},
    {0.00005f, 8, 4, "   .0000"},  // stored as 0.0000499999987
    {0.45f, 8, 4, "   .4500"},    // stored as 0.449999988
    {1.23456f, 8, 4, "  1.2346"},
    {12.3456f, 8, 4, " 12.3456"},
    {-1.25f, 8, 4, " -1.2500"},
    {999.99995f, 8, 4, "999.9999"},  // stored as 999.999939
    {1000.0f, 8, 4, "********"},
    {-99.9999f, 8, 4, "-99.9999"},
    {-99.99996f, 8, 4, "********"},
    {99999.0f, 8, 4, "********"},
    {0.0f, 2, 0, "0."},
    {0.4f, 2, 0, "0."},
    {0.6f, 2, 0, "1."},
    {1.0f, 2, 0, "1."},
    {6.0f, 2, 0, "6."},
    {0.0f, 3, 0, " 0."},
    {1.0f, 3, 0, " 1."},
    // F8.4, further.
    {-0.0f, 8, 4, "   .0000"},
    {9.99996f, 8, 4, " 10.0000"},   // the carry runs out of the first digit
    {0.99995f, 8, 4, "   .9999"},   // stored as 0.999949992
    {0.99996f, 8, 4, "  1.0000"},
    {0.00015f, 8, 4, "   .0002"},   // stored as 0.000150000007
    {0.00035f, 8, 4, "   .0003"},   // stored as 0.000349999988
    {0.0025f, 8, 4, "   .0025"},
    {0.000051f, 8, 4, "   .0001"},
    {123.45678f, 8, 4, "123.4568"},
    {-12.34565f, 8, 4, "-12.3456"},  // stored as -12.3456497
    {999.9999f, 8, 4, "999.9999"},
    {-99.99994f, 8, 4, "-99.9999"},
    {-99.99999f, 8, 4, "********"},  // rounds to -100.0000
    {1e-7f, 8, 4, "   .0000"},
    {-1e-7f, 8, 4, "   .0000"},
    {kMinDenormal, 8, 4, "   .0000"},
    {-kMaxDenormal, 8, 4, "   .0000"},
    {FLT_MIN, 8, 4, "   .0000"},
    {FLT_MAX, 8, 4, "********"},
    {-FLT_MAX, 8, 4, "********"},
    {std::numeric_limits<float>::infinity(), 8, 4, "********"},
    {-std::numeric_limits<float>::infinity(), 8, 4, "********"},
    {std::numeric_limits<float>::quiet_NaN(), 8, 4, "********"},
    // F2.0 and F3.0: only the digit and the point; "0." for zero and from a
    // tenth up, a bare point below a tenth (the value lies below one tenth
    // of the last place shown).
    {-0.0f, 2, 0, "0."},
    {-0.4f, 2, 0, "0."},
    {0.5f, 2, 0, "1."},
    {1.5f, 2, 0, "2."},
    {2.5f, 2, 0, "3."},
    {9.4f, 2, 0, "9."},
    {9.5f, 2, 0, "**"},
    {-0.6f, 2, 0, "**"},
    {0.1f, 2, 0, "0."},
    {0.099999994f, 2, 0, " ."},
    {0.06f, 2, 0, " ."},
    {kMinDenormal, 2, 0, " ."},
    {std::numeric_limits<float>::infinity(), 2, 0, "**"},
    {-1.0f, 3, 0, "-1."},
    {-9.4f, 3, 0, "-9."},
    {-9.5f, 3, 0, "***"},
    {10.0f, 3, 0, "10."},
    {99.4f, 3, 0, "99."},
    {99.5f, 3, 0, "***"},
    {0.06f, 3, 0, "  ."},
    {-0.06f, 3, 0, "  ."},
    {-0.3f, 3, 0, " 0."},
    {0.0f, 1, 0, "*"},
    // F6.1, F10.6 and wide fields.
    {0.05f, 6, 1, "    .1"},  // stored as 0.0500000007: nothing kept but a carry
    {0.04f, 6, 1, "    .0"},
    {-0.05f, 6, 1, "   -.1"},
    {0.25f, 6, 1, "    .3"},  // an exact half goes up
    {0.35f, 6, 1, "    .3"},  // stored as 0.349999994
    {1234.56f, 6, 1, "1234.6"},
    {12345.6f, 6, 1, "******"},
    {-999.95f, 6, 1, "******"},  // stored as -999.950012: -1000.0
    {-999.94f, 6, 1, "-999.9"},
    {1.2345678f, 10, 6, "  1.234568"},
    {12.345678f, 10, 6, " 12.345680"},  // seven significant digits, then zeros
    {123.456789f, 10, 6, "123.456800"},
    {-0.0000005f, 10, 6, "   .000000"},  // stored as -4.99999987e-7
    {0.00000051f, 10, 6, "   .000001"},
    {9.999999f, 10, 6, "  9.999999"},  // stored as 9.99999905
    {9.99999999f, 10, 6, " 10.000000"},  // stored as 10
    {123456789.0f, 12, 2, "123456800.00"},
    {1e30f, 40, 5, "   1000000000000000000000000000000.00000"},
    {FLT_MAX, 50, 1, "         340282300000000000000000000000000000000.0"},
    {-FLT_MAX, 42, 0, " -340282300000000000000000000000000000000."},
    {kMinDenormal, 60, 50, "         .00000000000000000000000000000000000000000000140130"},
    {-kMinDenormal, 52, 50, "-.00000000000000000000000000000000000000000000140130"},
};

class FixedFieldCases : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedFieldCases, EveryWayOfWritingTheField) {
  const FixedCase& c = GetParam();
  EXPECT_EQ(fixed(c.w, c.d, c.value), c.field);
  EXPECT_EQ(by_digits(c.w, c.d, c.value), c.field);
  EXPECT_EQ(through_edit_list(c.w, c.d, c.value), c.field);
  if (c.w == 8 && c.d == 4) {
    EXPECT_EQ(f8_4(c.value), c.field);
  }
}

INSTANTIATE_TEST_SUITE_P(Values, FixedFieldCases, ::testing::ValuesIn(kFixedCases));

struct IntegerCase {
  std::int32_t value;
  int w;
  const char* field;
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << "I" << c.w << " of " << c.value; }

const IntegerCase kIntegerCases[] = {
    {0, 5, "    0"},
    {37, 5, "   37"},
    {171, 5, "  171"},
    {99999, 5, "99999"},
    {100000, 5, "*****"},
    {-1, 5, "   -1"},
    {-9999, 5, "-9999"},
    {-10000, 5, "*****"},
    {std::numeric_limits<std::int32_t>::max(), 5, "*****"},
    {std::numeric_limits<std::int32_t>::min(), 5, "*****"},
    {std::numeric_limits<std::int32_t>::min(), 11, "-2147483648"},
    {std::numeric_limits<std::int32_t>::max(), 12, "  2147483647"},
    {0, 1, "0"},
    {-1, 1, "*"},
    {10, 1, "*"},
};

class IntegerFieldCases : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerFieldCases, Field) {
  const IntegerCase& c = GetParam();
  std::string s(static_cast<std::size_t>(c.w), '?');
  numtext::write_integer(s.data(), c.w, c.value);
  EXPECT_EQ(s, c.field);
}

INSTANTIATE_TEST_SUITE_P(Values, IntegerFieldCases, ::testing::ValuesIn(kIntegerCases));

// ---------------------------------------------------------------------------
// The quick field code against the literal digit path.

struct Shape {
  int w, d;
};

void PrintTo(const Shape& s, std::ostream* os) { *os << "F" << s.w << "." << s.d; }

class QuickPathAgrees : public ::testing::TestWithParam<Shape> {
 protected:
  void check(float x) {
    const int w = GetParam().w, d = GetParam().d;
    char a[16], b[16];
    numtext::write_fixed(a, w, d, x);
    numtext::write_fixed_by_digits(b, w, d, x);
    if (std::memcmp(a, b, static_cast<std::size_t>(w)) != 0 && ++mismatches_ <= 10) {
      ADD_FAILURE() << elab_test::shown(x) << ": quick \"" << std::string(a, static_cast<std::size_t>(w))
                    << "\", digits \"" << std::string(b, static_cast<std::size_t>(w)) << "\"";
    }
    if (w == 8 && d == 4) {
      numtext::write_f8_4(a, x);
      if (std::memcmp(a, b, 8) != 0 && ++mismatches_ <= 10) {
        ADD_FAILURE() << elab_test::shown(x) << ": F8.4 inline \"" << std::string(a, 8) << "\", digits \""
                      << std::string(b, 8) << "\"";
      }
    }
  }
  int mismatches_ = 0;
};

TEST_P(QuickPathAgrees, SpecialValues) {
  const float specials[] = {0.0f,
                            -0.0f,
                            kMinDenormal,
                            -kMinDenormal,
                            kMaxDenormal,
                            -kMaxDenormal,
                            std::bit_cast<float>(0x00400000u),
                            FLT_MIN,
                            -FLT_MIN,
                            FLT_MAX,
                            -FLT_MAX,
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            0.5f,
                            -0.5f,
                            1.0f,
                            0.1f,
                            0.099999994f};
  for (float x : specials) check(x);
  // Every power of ten and the floats around it, and the decimal edge of the
  // quick path's range.
  for (int e = -45; e <= 38; ++e) {
    float x = std::pow(10.0f, static_cast<float>(e));
    if (e < -38) x = static_cast<float>(std::pow(10.0, e));
    for (int k = -4; k <= 4; ++k) {
      float y = x;
      for (int s = 0; s < std::abs(k); ++s) y = std::nextafter(y, k < 0 ? 0.0f : FLT_MAX);
      check(y);
      check(-y);
    }
  }
  EXPECT_EQ(mismatches_, 0);
}

// Floats of random bits: every magnitude, uniformly over the exponents.
TEST_P(QuickPathAgrees, RandomBits) {
  std::mt19937 rng(20240601u + static_cast<unsigned>(GetParam().w * 16 + GetParam().d));
  for (int i = 0; i < 1000000; ++i) {
    const float x = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
    if (!std::isfinite(x)) continue;
    check(x);
  }
  EXPECT_EQ(mismatches_, 0);
}

// Floats within the magnitudes a field can show (where the quick path works),
// with exponents spread evenly.
TEST_P(QuickPathAgrees, RandomWithinTheField) {
  const int d = GetParam().d;
  const float top = std::pow(10.0f, static_cast<float>(7 - d));
  std::mt19937 rng(777u + static_cast<unsigned>(d));
  const int top_exp = std::ilogb(top);
  for (int i = 0; i < 1000000; ++i) {
    const int e = top_exp - static_cast<int>(rng() % 40);
    const std::uint32_t mant = rng() & 0x7fffffu;
    float x = std::ldexp(1.0f + static_cast<float>(mant) / 8388608.0f, e);
    if (rng() & 1) x = -x;
    check(x);
  }
  EXPECT_EQ(mismatches_, 0);
}

// Floats right at and around the points where the last shown decimal
// changes: k + 1/2 units of the last place, and a few floats either side.
TEST_P(QuickPathAgrees, AroundRoundingBoundaries) {
  const int d = GetParam().d;
  const double unit = std::pow(10.0, -d);
  const double top = std::pow(10.0, 7 - d);
  std::mt19937_64 rng(99u + static_cast<unsigned>(d));
  for (int i = 0; i < 100000; ++i) {
    // k spread evenly over the decades below the field's top.
    const double decade = std::pow(10.0, static_cast<double>(rng() % 8));
    const double k = std::floor(static_cast<double>(rng() % 10000000) / 1e7 * decade);
    const double boundary = (k + 0.5) * unit;
    if (boundary >= top) continue;
    const float centre = static_cast<float>(boundary);
    float lo = centre, hi = centre;
    for (int s = 0; s < 3; ++s) {
      lo = std::nextafter(lo, 0.0f);
      hi = std::nextafter(hi, FLT_MAX);
    }
    for (float x = lo; x <= hi; x = std::nextafter(x, FLT_MAX)) {
      check(x);
      check(-x);
    }
  }
  EXPECT_EQ(mismatches_, 0);
}

INSTANTIATE_TEST_SUITE_P(Shapes, QuickPathAgrees,
                         ::testing::Values(Shape{2, 0}, Shape{3, 0}, Shape{8, 4}, Shape{10, 6},
                                           Shape{6, 1}),
                         [](const ::testing::TestParamInfo<Shape>& info) {
                           return "F" + std::to_string(info.param.w) + "_" + std::to_string(info.param.d);
                         });

}  // namespace
