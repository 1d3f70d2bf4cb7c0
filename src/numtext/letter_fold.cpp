#include "numtext/letter_fold.hpp"

#include <cstdint>

namespace numtext {
namespace {

// The plain lower-case letter of each of U+00C0..U+017F (× and ÷ kept).
constexpr std::string_view kLatinPlain =
    "aaaaaaaceeeeiiiidnooooo\xD7ouuuuyts"    // U+00C0..U+00DF (ß apart)
    "aaaaaaaceeeeiiiidnooooo\xF7ouuuuyty"    // U+00E0..U+00FF
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkklllllll"
    "lllnnnnnnnnnoooooooorrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";

static_assert(kLatinPlain.size() == 0x180 - 0xC0);

// Greek letters with tonos or dialytika, U+0386..U+03CE, as their plain
// lower-case letter; 0 where the letter is folded by case alone.
char32_t greek_plain(char32_t c) {
  switch (c) {
    case 0x386: case 0x3AC: return 0x3B1;  // alpha
    case 0x388: case 0x3AD: return 0x3B5;  // epsilon
    case 0x389: case 0x3AE: return 0x3B7;  // eta
    case 0x38A: case 0x390: case 0x3AA: case 0x3AF: case 0x3CA: return 0x3B9;  // iota
    case 0x38C: case 0x3CC: return 0x3BF;  // omicron
    case 0x38E: case 0x3AB: case 0x3B0: case 0x3CB: case 0x3CD: return 0x3C5;  // upsilon
    case 0x38F: case 0x3CE: return 0x3C9;  // omega
    case 0x3C2: return 0x3C3;  // final sigma
    default: return 0;
  }
}

char32_t folded(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
  if (c >= 0xC0 && c <= 0x17F) return static_cast<unsigned char>(kLatinPlain[c - 0xC0]);
  if (const char32_t g = greek_plain(c)) return g;
  if (c >= 0x391 && c <= 0x3A9) return c + 0x20;
  if (c == 0x401 || c == 0x451) return 0x435;  // ё read as е, as it is often written
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  return c;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string folded_letters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    const auto lead = static_cast<unsigned char>(text[k]);
    const auto next = k + 1 < text.size() ? static_cast<unsigned char>(text[k + 1]) : 0u;
    if (lead >= 0xC3 && lead <= 0xD1 && next >= 0x80 && next < 0xC0) {
      // Every letter folded here is of two bytes, and so is its plain form.
      const char32_t c = (static_cast<char32_t>(lead & 0x1F) << 6) | (next & 0x3F);
      if (c == 0xDF) {
        out += "ss";
      } else {
        append_utf8(out, folded(c));
      }
      ++k;
    } else {
      out += static_cast<char>(lead < 0x80 ? folded(lead) : lead);
    }
  }
  return out;
}

}  // namespace numtext
