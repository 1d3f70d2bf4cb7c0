// Where the blanks, tabs and line ends of a 64-character window stand, one
// bit per character (bit i for p[i]). With SSE2 (every x86-64 processor)
// sixteen characters are compared per step; the portable loop gives the same
// mask anywhere else.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textio {

inline constexpr int kMaskWindow = 64;

inline std::uint64_t blank_mask_portable(const char* p) {
  std::uint64_t m = 0;
  for (int i = 0; i < kMaskWindow; ++i) {
    const char c = p[i];
    if (c == ' ' || c == '\t' || c == '\n') m |= std::uint64_t{1} << i;
  }
  return m;
}

#if defined(__SSE2__)
inline std::uint64_t blank_mask_sse2(const char* p) {
  std::uint64_t m = 0;
  for (int i = 0; i < kMaskWindow; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i blank = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))),
        _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')));
    m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(blank))) << i;
  }
  return m;
}
#endif

inline std::uint64_t blank_mask(const char* p) {
#if defined(__SSE2__)
  return blank_mask_sse2(p);
#else
  return blank_mask_portable(p);
#endif
}

// The same for the line ends alone.
inline std::uint64_t line_end_mask_portable(const char* p) {
  std::uint64_t m = 0;
  for (int i = 0; i < kMaskWindow; ++i)
    if (p[i] == '\n') m |= std::uint64_t{1} << i;
  return m;
}

#if defined(__SSE2__)
inline std::uint64_t line_end_mask_sse2(const char* p) {
  std::uint64_t m = 0;
  for (int i = 0; i < kMaskWindow; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i line_end = _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'));
    m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(line_end))) << i;
  }
  return m;
}
#endif

inline std::uint64_t line_end_mask(const char* p) {
#if defined(__SSE2__)
  return line_end_mask_sse2(p);
#else
  return line_end_mask_portable(p);
#endif
}

}  // namespace textio
