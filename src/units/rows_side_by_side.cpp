#include "units/rows_side_by_side.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "numtext/plain_lines.hpp"

namespace units {
namespace {

// The end of the last whole line of [pos, end) that leaves the room the
// row reading needs after it, or pos when there is none.
const char* end_of_whole_lines(const char* pos, const char* end) {
  if (end - pos <= numtext::kPlainRowRoom) return pos;
  const std::string_view room(pos, static_cast<std::size_t>(end - numtext::kPlainRowRoom - pos));
  const std::size_t last = room.rfind('\n');
  return last == std::string_view::npos ? pos : pos + last + 1;
}

// The start of the first line at or after the first part's share of [pos, stop).
const char* first_part_end(const char* pos, const char* stop) {
  const auto n = static_cast<std::size_t>(stop - pos);
  const char* at = pos + n / 100 * kFirstPartPercent;
  const auto* nl = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(stop - at)));
  return nl + 1;  // stop ends with a line end
}

void clear_rows(float* first, std::int64_t rows, std::size_t count, std::size_t stride) {
  for (std::size_t k = 0; k < count; ++k)
    std::fill_n(first + k * stride, static_cast<std::size_t>(rows), 0.0f);
}

}  // namespace

RowsTaken read_rows_side_by_side(platform::SecondThread* second, const char* pos, const char* end,
                                 float* first, std::size_t count, std::size_t stride, std::int64_t max_rows) {
  const char* const stop = end_of_whole_lines(pos, end);
  if (count == 0 || max_rows <= 0 || static_cast<std::size_t>(stop - pos) < kSplitStretch) {
    return {0, pos, false};
  }
  const char* const mid = first_part_end(pos, stop);
  std::int64_t lines = 0;  // of the first part: the second part's first row follows them
  numtext::PlainLines head;
  numtext::PlainLines tail;
  platform::side_by_side(
      second,
      [&]() noexcept {
        lines = static_cast<std::int64_t>(numtext::count_line_ends(pos, static_cast<std::size_t>(mid - pos)));
        if (lines < max_rows)
          tail = numtext::read_plain_lines(mid, stop, first + lines, count, stride, max_rows - lines);
      },
      [&]() noexcept { head = numtext::read_plain_lines(pos, mid, first, count, stride, max_rows); });
  const std::int64_t second_max = max_rows - lines;
  const std::int64_t head_max = std::min(lines, max_rows);
  // Taken: the first part's rows up to its first odd line, and the second
  // part's only after a first part read whole. The line where a part
  // stopped may have given some of its values; they go back to zero, as do
  // the second part's rows when they are not taken.
  const bool tail_declined = second_max > 0 && tail.rows < second_max && tail.pos != stop;
  if (head.rows < head_max) {
    clear_rows(first + head.rows, 1, count, stride);
    if (second_max > 0) clear_rows(first + lines, tail.rows + (tail_declined ? 1 : 0), count, stride);
    return {head.rows, head.pos, true};
  }
  if (tail_declined) clear_rows(first + lines + tail.rows, 1, count, stride);
  if (second_max <= 0) return {head.rows, head.pos, false};
  return {lines + tail.rows, tail.pos, tail_declined};
}

}  // namespace units
