#include "numtext/text_encoding.hpp"

#include <cstdint>
#include <cstring>

#include "numtext/csv_text.hpp"

namespace numtext {
namespace {

void put_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string from_utf16(std::string_view raw, bool big_endian) {
  std::string out;
  out.reserve(raw.size() / 2);
  const auto unit = [&](std::size_t k) -> std::uint32_t {
    const auto a = static_cast<unsigned char>(raw[k]), b = static_cast<unsigned char>(raw[k + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  for (std::size_t k = 0; k + 1 < raw.size(); k += 2) {
    std::uint32_t cp = unit(k);
    if (cp >= 0xD800 && cp < 0xDC00 && k + 3 < raw.size() && unit(k + 2) >= 0xDC00 && unit(k + 2) < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(k + 2) - 0xDC00);
      k += 2;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    put_utf8(out, cp);
  }
  return out;
}

bool is_utf8(std::string_view s) {
  for (std::size_t k = 0; k < s.size();) {
    const auto c = static_cast<unsigned char>(s[k]);
    if (c < 0x80) {
      ++k;
      // A price file is ASCII nearly all through: eight bytes at a time.
      for (std::uint64_t word = 0; k + 8 <= s.size(); k += 8) {
        std::memcpy(&word, s.data() + k, 8);
        if ((word & 0x8080808080808080ULL) != 0) break;
      }
      continue;
    }
    const std::size_t n = c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c < 0xF5 ? 3 : 0;
    if (n == 0 || n >= s.size() - k) return false;
    for (std::size_t j = 1; j <= n; ++j)
      if ((static_cast<unsigned char>(s[k + j]) & 0xC0) != 0x80) return false;
    k += n + 1;
  }
  return true;
}

// Windows-1252's characters 0x80 to 0x9F; the five it leaves out stand for
// themselves.
constexpr std::uint16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string from_windows_1252(std::string_view raw) {
  std::string out;
  out.reserve(raw.size() + raw.size() / 8);
  for (const char ch : raw) {
    const auto c = static_cast<unsigned char>(ch);
    put_utf8(out, c < 0x80 ? c : c < 0xA0 ? kWindows1252[c - 0x80] : c);
  }
  return out;
}

// A lone CR ends a line as a LF does; CR LF is one line end.
void lf_line_ends(std::string& s) {
  if (s.find('\r') == std::string::npos) return;
  std::size_t out = 0;
  for (std::size_t k = 0; k < s.size(); ++k) {
    if (s[k] == '\r') {
      if (k + 1 < s.size() && s[k + 1] == '\n') continue;
      s[out++] = '\n';
    } else {
      s[out++] = s[k];
    }
  }
  s.resize(out);
}

// The lines of a text, at most `most`, each with its number from 1, the
// number of its last line and where the next starts. A line whose quote is
// left open goes on over the next ones (a quoted name may hold a line end),

}  // namespace

std::string utf8_text(std::string_view raw) {
  std::string text;
  if (raw.starts_with("\xFF\xFE")) {
    text = from_utf16(raw.substr(2), false);
  } else if (raw.starts_with("\xFE\xFF")) {
    text = from_utf16(raw.substr(2), true);
  } else {
    raw.remove_prefix(byte_order_mark(raw));
    text = is_utf8(raw) ? std::string(raw) : from_windows_1252(raw);
  }
  lf_line_ends(text);
  return text;
}

std::string utf8_text(std::string&& raw) {
  if (raw.starts_with("\xFF\xFE") || raw.starts_with("\xFE\xFF") || !is_utf8(raw)) {
    return utf8_text(std::string_view(raw));
  }
  // The common case keeps its bytes where they are: a long file is not
  // held twice.
  std::string text = std::move(raw);
  text.erase(0, byte_order_mark(text));
  lf_line_ends(text);
  return text;
}


}  // namespace numtext
