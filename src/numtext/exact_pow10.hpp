// The powers of ten that a double holds exactly: 10^0 to 10^22. The one
// table of powers of ten; the integer and float views below are exact where
// their ranges allow (integers up to 10^19, floats up to 10^10).
#pragma once

#include <cstdint>

namespace numtext {

inline constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// 10^k as an integer, 0 <= k <= 19.
constexpr std::uint64_t pow10_integer(int k) { return static_cast<std::uint64_t>(kExactPow10[k]); }

// 10^k as a float, 0 <= k <= 10.
constexpr float pow10_float(int k) { return static_cast<float>(kExactPow10[k]); }

}  // namespace numtext
