#include "units/input_file.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "units/io_failure.hpp"
#include "units/rows_side_by_side.hpp"

namespace units {

FileSource::FileSource(platform::Handle in, std::size_t block) : in_(in), buf_(block), block_(block) {
  pos = end = buf_.data();
}

// Makes every line end a LF in [from, from+n): a CR before a LF is removed,
// a lone CR (an old system's line end) becomes a LF. A CR at the very end is
// held back until the next block shows what follows it.
std::size_t FileSource::lf_line_ends(char* from, std::size_t n, bool at_eof) {
  char* const stop = from + n;
  char* cr = static_cast<char*>(std::memchr(from, '\r', n));
  if (cr == nullptr) return n;
  char* out = cr;
  for (char* p = cr; p < stop; ++p) {
    if (*p != '\r') {
      *out++ = *p;
    } else if (p + 1 == stop && !at_eof) {
      *out = '\r';  // stays right after the window's end
      held_ = 1;
      break;
    } else if (p + 1 == stop || p[1] != '\n') {
      *out++ = '\n';
    }
  }
  return static_cast<std::size_t>(out - from);
}

bool FileSource::refill(std::size_t keep_back) {
  if (eof_ && held_ == 0) return false;
  ++windows_;
  // The kept characters and a held CR, which sits right after them, go to
  // the front, and the next input after them.
  std::size_t filled = keep_back + held_;
  char* base = buf_.data();
  std::memmove(base, pos - keep_back, filled);
  std::size_t fresh = 0;
  // A read that brings nothing but a CR (held back until the next byte shows
  // whether a LF follows) has not reached the end of the input: read on.
  while (fresh == 0 && !eof_) {
    if (buf_.size() - filled < std::max<std::size_t>(block_ / 2, 1)) {
      // Only a value longer than half a block gets here.
      buf_.resize(std::max(buf_.size() * 2, filled + block_));
      base = buf_.data();
    }
    std::size_t n = 0;
    const platform::Error error = platform::read(in_, base + filled, buf_.size() - filled, n);
    if (error != platform::Error::none) throw failure_of(error, Statement::Read);
    if (n == 0) eof_ = true;
    filled += n;
    held_ = 0;  // the held CR is examined again
    fresh = lf_line_ends(base + keep_back, filled - keep_back, eof_);
    if (fresh == 0) filled = keep_back + held_;
  }
  if (copy_ != nullptr) copy_->append(base + keep_back, fresh);
  pos = base + keep_back;
  end = pos + fresh;
  return end != pos;
}

namespace {

// ", value 6"; at the end of the file only when the statement was begun.
std::string value_position(const IoFailure& f) {
  const std::size_t first_shown = f.number == fnum::kEndOfFile ? 2 : 1;
  return f.value < first_shown ? std::string() : ", value " + std::to_string(f.value);
}

// "row 17, value 6"; a file that ends early also says how many rows were
// due: "row 412 of 500".
std::string row_position(const IoFailure& f, std::int64_t row, std::int64_t rows) {
  std::string s = "row " + std::to_string(row);
  if (f.number == fnum::kEndOfFile) s += " of " + std::to_string(rows);
  return s + value_position(f);
}

}  // namespace

InputFile::InputFile(std::string name, platform::Handle file)
    : name_(std::move(name)), file_(file), source_(file), reader_(source_) {}

InputFile::~InputFile() {
  if (file_ != platform::kNoHandle) (void)platform::close(file_);
}

void InputFile::read_head(std::span<const numtext::Target> targets) {
  try {
    reader_.read(targets);
  } catch (const IoFailure& f) {
    report_file_error(f, Statement::Read, name_,
                      "head of the file" + value_position(f));
  }
}

// Each row starts a read statement at the start of a line, so between two
// rows a stretch of the window can be read on both cores. Where that stops
// early the general path reads the row, and no stretch of the same window
// is tried again: a file of unusual rows pays at most once per block.
// Without a second thread every row takes the general path.
void InputFile::read_rows(float* first, std::int64_t rows, std::size_t count, std::size_t stride,
                          platform::SecondThread* second) {
  std::int64_t i = 1;
  std::uint64_t declined_window = 0;
  // The row is taken only when a failure is reported: the loop pays nothing.
  try {
    while (i <= rows) {
      if (second != nullptr && source_.windows() != declined_window &&
          static_cast<std::size_t>(source_.end - source_.pos) >= kSplitStretch) {
        const RowsTaken taken = read_rows_side_by_side(second, source_.pos, source_.end, first + (i - 1), count,
                                                       stride, rows - i + 1);
        source_.pos = taken.pos;
        i += taken.rows;
        if (taken.declined) declined_window = source_.windows();
        if (i > rows) break;
      }
      reader_.read_reals(first + (i - 1), count, stride);
      ++i;
    }
  } catch (const IoFailure& f) {
    report_file_error(f, Statement::Read, name_, row_position(f, i, rows));
  }
}

namespace {

// The end of the lines-th line end in window, or npos.
std::size_t after_lines(std::string_view window, std::size_t lines) {
  std::size_t at = 0;
  for (std::size_t k = 0; k < lines; ++k) {
    const std::size_t nl = window.find('\n', at);
    if (nl == std::string_view::npos) return nl;
    at = nl + 1;
  }
  return at;
}

}  // namespace

std::string_view InputFile::peek(std::size_t lines, std::size_t most) {
  try {
    for (;;) {
      const std::size_t held = static_cast<std::size_t>(source_.end - source_.pos);
      const std::string_view window(source_.pos, held);
      const std::size_t end = after_lines(window, lines);
      if (end != std::string_view::npos) return window.substr(0, std::min(end, most));
      if (held >= most) return window.substr(0, most);
      source_.pos = source_.end;
      const bool more = source_.refill(held);
      source_.pos -= held;
      if (!more) return {source_.pos, static_cast<std::size_t>(source_.end - source_.pos)};
    }
  } catch (IoFailure f) {
    f.value = 1;  // as the head's read would have met it, at its first value
    report_file_error(f, Statement::Read, name_, "head of the file" + value_position(f));
  }
}

std::string InputFile::read_rest() {
  std::string text;
  // Room for the whole file at once: a long table is not copied as it grows.
  if (const std::uint64_t size = platform::regular_file_size(file_); size < (std::uint64_t{1} << 40)) {
    text.reserve(static_cast<std::size_t>(size) + static_cast<std::size_t>(source_.end - source_.pos));
  }
  try {
    do {
      text.append(source_.pos, source_.end);
      source_.pos = source_.end;
    } while (source_.refill(0));
  } catch (const IoFailure& f) {
    report_file_error(f, Statement::Read, name_);
  }
  return text;
}

}  // namespace units
