#include "textio/rows_side_by_side.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/side_by_side.hpp"
#include "textio/plain_lines.hpp"

namespace textio {
namespace {

// The end of the last whole line of [pos, end) that leaves the room the
// row reading needs after it, or pos when there is none.
const char* end_of_whole_lines(const char* pos, const char* end) {
  if (end - pos <= kPlainRowRoom) return pos;
  const std::string_view room(pos, static_cast<std::size_t>(end - kPlainRowRoom - pos));
  const std::size_t last = room.rfind('\n');
  return last == std::string_view::npos ? pos : pos + last + 1;
}

// The start of the first line at or after the middle of [pos, stop).
const char* line_near_middle(const char* pos, const char* stop) {
  const char* mid = pos + (stop - pos) / 2;
  const auto* nl = static_cast<const char*>(std::memchr(mid, '\n', static_cast<std::size_t>(stop - mid)));
  return nl + 1;  // stop ends with a line end
}

void clear_rows(float* first, std::int64_t rows, std::size_t count, std::size_t stride) {
  for (std::size_t k = 0; k < count; ++k)
    std::fill_n(first + k * stride, static_cast<std::size_t>(rows), 0.0f);
}

}  // namespace

RowsTaken read_rows_side_by_side(const char* pos, const char* end, float* first, std::size_t count,
                                 std::size_t stride, std::int64_t max_rows) {
  const char* const stop = end_of_whole_lines(pos, end);
  if (count == 0 || max_rows <= 0 || static_cast<std::size_t>(stop - pos) < kSplitStretch) {
    return {0, pos, false};
  }
  const char* const mid = line_near_middle(pos, stop);
  // The second half's first row follows the first half's lines.
  const auto lines = static_cast<std::int64_t>(count_line_ends(pos, static_cast<std::size_t>(mid - pos)));
  const std::int64_t second_max = max_rows - lines;
  const std::int64_t head_max = std::min(lines, max_rows);
  PlainLines head;
  PlainLines tail;
  auto read_head = [&] { head = read_plain_lines(pos, mid, first, count, stride, head_max); };
  if (second_max <= 0) {
    read_head();
  } else {
    platform::side_by_side(
        [&] { tail = read_plain_lines(mid, stop, first + lines, count, stride, second_max); }, read_head);
  }
  // Taken: the first half's rows up to its first odd line, and the second
  // half's only after a first half read whole. The line where a half
  // stopped may have given some of its values; they go back to zero, as do
  // the second half's rows when they are not taken.
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

}  // namespace textio
