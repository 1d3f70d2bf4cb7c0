// The rows of a large stretch of whole lines read in two parts at once,
// one on each core, when every line is a row of plain values (plain_lines.hpp).
// Only the rows read without a doubt are taken: where a line is not such a
// row, the general path goes on from the first row not taken and makes any
// report exactly as it would have made it alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/side_by_side.hpp"

namespace units {

// Less than this is read by the general path alone: a second thread would
// cost more than it saves.
inline constexpr std::size_t kSplitStretch = std::size_t{64} << 10;

// The first part's share of a stretch, in percent: the second thread also
// counts the first part's lines, so the first part is the larger and both
// end at about the same time.
inline constexpr std::size_t kFirstPartPercent = 55;

struct RowsTaken {
  std::int64_t rows = 0;      // rows stored, from first on
  const char* pos = nullptr;  // the start of the first line not taken
  bool declined = false;      // a line that is not a plain row stopped the reading
};

// Reads up to max_rows rows (count values each, row r's values at first[r],
// first[r + stride], ...) from the whole lines at the start of the window
// [pos, end), where a read statement would start, the second part on
// second (or here, after the first, when there is none). Takes nothing
// unless the window holds at least kSplitStretch of lines. The rows not
// taken hold what they held before (zeros, as a fresh matrix does).
RowsTaken read_rows_side_by_side(platform::SecondThread* second, const char* pos, const char* end,
                                 float* first, std::size_t count, std::size_t stride, std::int64_t max_rows);

}  // namespace units
