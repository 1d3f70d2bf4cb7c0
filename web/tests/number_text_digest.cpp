// One digest of the number text of a million floats spread over every bit
// pattern: written by the digit path of the fixed fields and read back from
// more digits than the fast path takes, both through float_chars.hpp. The
// page's build reaches the C library there, the program's <charconv>: the
// two digests must be equal.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "numtext/fixed_field.hpp"
#include "numtext/real_text.hpp"

namespace {

std::uint64_t digest = 14695981039346656037ull;

void mix(const void* p, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) digest = (digest ^ static_cast<const unsigned char*>(p)[k]) * 1099511628211ull;
}

void read_back(const std::string& text) {
  float v = 0.0f;
  const numtext::RealChars r = numtext::real_from_chars_general(text.data(), text.data() + text.size(), v);
  mix(&v, sizeof v);
  mix(&r.failure, sizeof r.failure);
}

}  // namespace

int main() {
  char field[31];
  char digits[64];
  for (std::uint64_t bits = 0; bits < (std::uint64_t{1} << 32); bits += 4093) {
    const auto b = static_cast<std::uint32_t>(bits);
    float x;
    std::memcpy(&x, &b, sizeof x);
    for (const int d : {0, 4, 7}) {
      numtext::write_fixed_by_digits(field, 30, d, x);
      mix(field, 30);
    }
    // 25 digits: beyond the fast path, so the double is read whole.
    std::snprintf(digits, sizeof digits, "%.24e", static_cast<double>(x));
    read_back(digits);
  }
  for (const char* text : {"1e400", "-1e400", "1e-400", "4.9e-324", "2.4703282292062327e-324", "1.7976931348623159e308",
                           "3.4028235677973366e38", "1.4012984643248170e-45", "123456789012345678901234567890"})
    read_back(text);
  std::printf("%016llx\n", static_cast<unsigned long long>(digest));
}
