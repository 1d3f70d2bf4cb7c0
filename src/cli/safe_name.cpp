#include "cli/safe_name.hpp"

namespace elab {
namespace {

bool needs_escape(unsigned char c, bool first) {
  return c < 0x20 || c == 0x7f || c == '%' || c == '/' || c == '\\' || (first && (c == '.' || c == '-'));
}

}  // namespace

std::string safe_file_name(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t k = 0; k < value.size(); ++k) {
    const auto c = static_cast<unsigned char>(value[k]);
    if (needs_escape(c, k == 0)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xf];
    } else {
      out += value[k];
    }
  }
  return out;
}

}  // namespace elab
