// Rows of a matrix written one row per line, each line the row's plain
// values (see short_plain_value) separated by blanks or tabs, as nearly every
// price file is. Such a line reads exactly as the general free-form
// statement reads it; the reading stops at the first line of any other kind
// (a comma, a null value, a repeat, a slash, a row over two lines, a blank
// line, a longer or other form of value), which is left to the general path.
// Whole lines are looked at only, so a stretch of lines can be read apart
// from the lines around it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "numtext/blank_mask.hpp"
#include "numtext/plain_decimal.hpp"
#include "numtext/plain_row.hpp"

namespace numtext {

// The line ends among the n characters at p.
inline std::size_t count_line_ends(const char* p, std::size_t n) {
  std::size_t lines = 0;
  std::size_t at = 0;
  for (; at + kMaskWindow <= n; at += kMaskWindow) lines += std::popcount(line_end_mask(p + at));
  return lines + static_cast<std::size_t>(std::count(p + at, p + n, '\n'));
}

// Reads the line at p as a row of count values into row[0], row[stride], ...
// Returns the start of the next line, or nullptr when the line is not such a
// row (some of the row's cells may then have been written). The line ends
// before stop; kPlainRowRoom characters are readable from any place on it.
inline const char* read_plain_line(const char* p, const char* stop, float* row, std::size_t count,
                                   std::size_t stride) {
  std::size_t taken = 0;
  for (;;) {
    const std::uint64_t blanks = blank_mask(p);
    const std::uint64_t line_ends = line_end_mask(p);
    // The window starts on a value or on the line's start, so no value is
    // cut at its front.
    std::uint64_t starts = value_starts(blanks);
    std::uint64_t ends = value_ends(blanks);
    for (; ends != 0; starts &= starts - 1, ends &= ends - 1) {
      const int s = std::countr_zero(starts);
      const int e = std::countr_zero(ends);
      if (!short_plain_value(p + s, e - s, row[taken * stride])) return nullptr;
      if (++taken == count) {
        // The row ends on its own line; the rest of the line is skipped.
        if ((line_ends & ((std::uint64_t{1} << e) - 1)) != 0) return nullptr;
        if (line_ends != 0) return p + std::countr_zero(line_ends) + 1;
        const auto* nl = static_cast<const char*>(
            std::memchr(p + e, '\n', static_cast<std::size_t>(stop - (p + e))));
        return nl + 1;
      }
    }
    // The row would go on over the next line.
    if (line_ends != 0) return nullptr;
    // Blanks to the window's end, or a value running past it that starts
    // the next window; one filling the whole window is no plain value.
    if (starts == 0) {
      p += kMaskWindow;
    } else {
      const int s = std::countr_zero(starts);
      if (s == 0) return nullptr;
      p += s;
    }
  }
}

struct PlainLines {
  std::int64_t rows = 0;      // rows read
  const char* pos = nullptr;  // the start of the first line not read
};

// Reads up to max_rows lines of [p, stop), which ends right after a line end,
// as rows: row r's values at first[r], first[r + stride], ...; stops at the
// first line that is not such a row. kPlainRowRoom characters are readable
// from any place before stop.
inline PlainLines read_plain_lines(const char* p, const char* stop, float* first, std::size_t count,
                                   std::size_t stride, std::int64_t max_rows) {
  PlainLines read;
  while (read.rows < max_rows && p != stop) {
    const char* next = read_plain_line(p, stop, first + read.rows, count, stride);
    if (next == nullptr) break;
    p = next;
    ++read.rows;
  }
  read.pos = p;
  return read;
}

}  // namespace numtext
