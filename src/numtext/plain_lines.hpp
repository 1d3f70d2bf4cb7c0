// Rows of a matrix written one row per line, each line the row's values
// separated by blanks or tabs, as nearly every price file is. Such a line
// reads exactly as the general free-form statement reads it; the reading
// stops at the first line of any other kind (a comma, a null value, a
// repeat, a slash, a row over two lines, a blank line, a value out of
// range), which is left to the general path. Whole lines are looked at only,
// so a stretch of lines can be read apart from the lines around it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "numtext/blank_mask.hpp"
#include "numtext/plain_row.hpp"

namespace numtext {

// The line ends among the n characters at p.
inline std::size_t count_line_ends(const char* p, std::size_t n) {
  std::size_t lines = 0;
  std::size_t at = 0;
  for (; at + kMaskWindow <= n; at += kMaskWindow) lines += std::popcount(line_end_mask(p + at));
  return lines + static_cast<std::size_t>(std::count(p + at, p + n, '\n'));
}

// The first line end from p on, on a line with kPlainRowRoom characters
// readable from any place.
inline const char* next_line_end(const char* p) {
  for (;; p += kMaskWindow) {
    if (const std::uint64_t ends = line_end_mask(p)) return p + std::countr_zero(ends);
  }
}

// Reads the line at p as a row of count values into row[0], row[stride], ...
// Returns the start of the next line, or nullptr when the line is not such a
// row (some of the row's cells may then have been written). The line ends
// before stop; kPlainRowRoom characters are readable from any place on it.
inline const char* read_plain_line(const char* p, const char* stop, float* row, std::size_t count,
                                   std::size_t stride) {
  // Windows may start anywhere before stop.
  const PlainRow read =
      read_plain_row(p, stop + (kPlainRowRoom - 1), row, count, stride, [](const char* w) { return blank_mask(w); });
  if (read.taken != count) return nullptr;
  // The row ends on its own line (the separator after its last value at the
  // latest); the rest of the line is skipped.
  const char* const nl = next_line_end(p);
  return nl < read.pos - 1 ? nullptr : nl + 1;
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
