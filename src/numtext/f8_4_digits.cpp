#include "numtext/f8_4_digits.hpp"

#include <cstdint>

namespace numtext {

namespace {
constexpr F84Tables make_f84_tables() {
  F84Tables t{};
  for (int sign = 0; sign < 2; ++sign) {
    for (int ip = 0; ip < 1000; ++ip) {
      char c[3] = {' ', ' ', ' '};
      int at = 2;
      for (int v = ip; v != 0; v /= 10) c[at--] = static_cast<char>('0' + v % 10);
      if (sign == 1) {
        if (at < 0) continue;  // stays 0: too wide
        c[at] = '-';
      }
      t.head[sign][ip] = static_cast<std::uint32_t>(static_cast<unsigned char>(c[0])) |
                         static_cast<std::uint32_t>(static_cast<unsigned char>(c[1])) << 8 |
                         static_cast<std::uint32_t>(static_cast<unsigned char>(c[2])) << 16 |
                         static_cast<std::uint32_t>('.') << 24;
    }
  }
  for (int f = 0; f < 10000; ++f) {
    t.frac[f] = static_cast<std::uint32_t>('0' + f / 1000) |
                static_cast<std::uint32_t>('0' + f / 100 % 10) << 8 |
                static_cast<std::uint32_t>('0' + f / 10 % 10) << 16 |
                static_cast<std::uint32_t>('0' + f % 10) << 24;
  }
  return t;
}
}  // namespace

constinit const F84Tables kF84Tables = make_f84_tables();

}  // namespace numtext
