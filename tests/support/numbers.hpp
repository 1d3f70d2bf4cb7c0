// Floats as the tests compare and show them, and the real conversion on a
// whole text.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "numtext/real_text.hpp"
#include "numtext/text_failure.hpp"

namespace elab_test {

inline std::uint32_t bits_of(float f) { return std::bit_cast<std::uint32_t>(f); }

// "544.75 (0x44083000)", for failure messages.
inline std::string shown(float x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.9g (0x%08x)", static_cast<double>(x), bits_of(x));
  return buf;
}

// 7 significant digits, the way the hand-worked figures are given.
inline std::string seven(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.7g", v);
  return buf;
}

// The whole text as one real value; throws IoFailure as a read would.
inline float real_of(std::string_view text) {
  return numtext::whole_real(text.data(), text.data() + text.size());
}

}  // namespace elab_test
