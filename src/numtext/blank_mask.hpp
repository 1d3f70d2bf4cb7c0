// Where the blanks, tabs and line ends of a 64-character window stand, one
// bit per character (bit i for p[i]). With SSE2 (every x86-64 processor)
// sixteen characters are compared per step; the portable loop gives the same
// mask anywhere else.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace numtext {

inline constexpr int kMaskWindow = 64;

// Bit i set where p[i] is one of the characters Cs.
template <char... Cs>
inline std::uint64_t char_mask_portable(const char* p) {
  std::uint64_t m = 0;
  for (int i = 0; i < kMaskWindow; ++i) {
    const char c = p[i];
    if (((c == Cs) || ...)) m |= std::uint64_t{1} << i;
  }
  return m;
}

#if defined(__SSE2__)
template <char... Cs>
inline std::uint64_t char_mask_sse2(const char* p) {
  std::uint64_t m = 0;
  for (int i = 0; i < kMaskWindow; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i hit = _mm_setzero_si128();
    ((hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(Cs)))), ...);
    m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << i;
  }
  return m;
}
#endif

template <char... Cs>
inline std::uint64_t char_mask(const char* p) {
#if defined(__SSE2__)
  return char_mask_sse2<Cs...>(p);
#else
  return char_mask_portable<Cs...>(p);
#endif
}

inline std::uint64_t blank_mask_portable(const char* p) { return char_mask_portable<' ', '\t', '\n'>(p); }
#if defined(__SSE2__)
inline std::uint64_t blank_mask_sse2(const char* p) { return char_mask_sse2<' ', '\t', '\n'>(p); }
#endif
inline std::uint64_t blank_mask(const char* p) { return char_mask<' ', '\t', '\n'>(p); }

inline std::uint64_t line_end_mask(const char* p) { return char_mask<'\n'>(p); }

// From a window's blank mask: the first character of each value (a character
// before the window counts as a blank), and the blank right after each value.
// Taken in order, the n-th start pairs with the n-th end; a value running
// past the window has a start and no end.
inline std::uint64_t value_starts(std::uint64_t blanks) { return ~blanks & ~(~blanks << 1); }
inline std::uint64_t value_ends(std::uint64_t blanks) { return blanks & (~blanks << 1); }

}  // namespace numtext
