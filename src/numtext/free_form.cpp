#include "numtext/free_form.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "numtext/integer_text.hpp"
#include "numtext/plain_row.hpp"
#include "numtext/real_text.hpp"
#include "numtext/text_failure.hpp"

namespace numtext {
namespace {

enum CharClass : std::uint8_t { kOther, kBlank, kLineEnd, kComma, kSlash, kStar };

constexpr std::array<std::uint8_t, 256> kClass = [] {
  std::array<std::uint8_t, 256> t{};
  t[' '] = kBlank;
  t['\t'] = kBlank;
  t['\n'] = kLineEnd;
  t[','] = kComma;
  t['/'] = kSlash;
  t['*'] = kStar;
  return t;
}();

inline std::uint8_t class_of(char c) { return kClass[static_cast<unsigned char>(c)]; }

bool opens_quoted_or_parenthesised(char c) { return c == '\'' || c == '"' || c == '('; }

// A blank, tab, line end or comma: a character after which a value needs
// nothing more of the general scan.
bool ends_plain_value(char c) {
  const std::uint8_t cls = class_of(c);
  return cls == kBlank || cls == kLineEnd || cls == kComma;
}

// Longest value text held; longer text cannot be a usable number of either kind.
constexpr std::size_t kMaxValueText = std::size_t{64} << 20;

int invalid_for(Target::Kind kind) {
  return kind == Target::Kind::Integer ? fnum::kInvalidInteger : fnum::kInvalidReal;
}

}  // namespace

void FreeFormReader::store(const Target& t, const char* text, std::size_t len) {
  if (opens_quoted_or_parenthesised(text[0])) throw IoFailure{fnum::kQuotedValue};
  if (t.kind == Target::Kind::Integer) {
    *static_cast<std::int32_t*>(t.where) = parse_integer(text, len);
  } else {
    *static_cast<float*>(t.where) = whole_real(text, text + len);
  }
}

void FreeFormReader::collect_token(Target::Kind kind) {
  const char* start = src_.pos;
  if (opens_quoted_or_parenthesised(*start)) throw IoFailure{fnum::kQuotedValue};
  star_ = 0;
  bool at_eof = false;
  for (;;) {
    const char* p = src_.pos;
    const char* const end = src_.end;
    while (p != end) {
      const std::uint8_t cls = class_of(*p);
      if (cls == kOther) {
        ++p;
      } else if (cls == kStar) {
        if (star_ != 0) throw IoFailure{fnum::kTwoAsterisks};
        star_ = static_cast<std::size_t>(p - start) + 1;
        ++p;
      } else {
        break;
      }
    }
    src_.pos = p;
    if (p != end) break;
    const std::size_t keep_back = static_cast<std::size_t>(p - start);
    if (keep_back > kMaxValueText) throw IoFailure{invalid_for(kind)};
    const bool more = src_.refill(keep_back);
    start = src_.pos - keep_back;
    if (!more) {
      at_eof = true;
      break;
    }
  }
  token_ = start;
  token_len_ = static_cast<std::size_t>(src_.pos - start);

  // The separator that ended the value.
  if (at_eof) {
    last_sep_ = Sep::Blank;
    ended_by_line_end_ = true;
    return;
  }
  note_separator(*src_.pos++);
}

void FreeFormReader::note_separator(char c) {
  switch (class_of(c)) {
    case kLineEnd:
      ended_by_line_end_ = true;
      last_sep_ = Sep::Blank;
      break;
    case kComma:
      last_sep_ = Sep::Comma;
      break;
    case kSlash:
      slash_after_value_ = true;
      break;
    default:
      last_sep_ = Sep::Blank;
      break;
  }
}

FreeFormReader::Scan FreeFormReader::next_value(Target::Kind kind) {
  for (;;) {
    if (src_.pos == src_.end && !src_.refill(0)) throw IoFailure{fnum::kEndOfFile};
    switch (class_of(*src_.pos)) {
      case kBlank:
      case kLineEnd:
        ++src_.pos;
        break;
      case kComma:
        ++src_.pos;
        // A comma after blanks belongs to the separator that ended the
        // value before it; right after another comma (or at the start of
        // the statement) it stands for a null value.
        if (last_sep_ == Sep::Comma) return Scan::Null;
        last_sep_ = Sep::Comma;
        break;
      case kSlash:
        ++src_.pos;
        return Scan::Slash;
      default:
        collect_token(kind);
        return Scan::Value;
    }
  }
}

void FreeFormReader::skip_rest_of_line() {
  for (;;) {
    const auto* nl = static_cast<const char*>(
        std::memchr(src_.pos, '\n', static_cast<std::size_t>(src_.end - src_.pos)));
    if (nl != nullptr) {
      src_.pos = nl + 1;
      return;
    }
    src_.pos = src_.end;
    if (!src_.refill(0)) return;
  }
}

[[gnu::always_inline]] inline bool FreeFormReader::take_plain_real(const Target& t) {
  const char* p = src_.pos;
  const char* const end = src_.end;
  while (p < end && (*p == ' ' || class_of(*p) == kBlank || class_of(*p) == kLineEnd)) ++p;
  src_.pos = p;  // blanks before a value are skipped either way
  if (p == end || class_of(*p) != kOther || opens_quoted_or_parenthesised(*p)) return false;
  // Taken here when a separator follows within the window; anything else,
  // a failure too, goes the general way, which names it.
  float v;
  const RealChars r = real_from_chars(p, end, v, end);
  if (r.failure != 0 || r.ptr == end || !ends_plain_value(*r.ptr)) return false;
  *static_cast<float*>(t.where) = v;
  note_separator(*r.ptr);
  src_.pos = r.ptr + 1;
  return true;
}

namespace {

// The targets of a statement as a list, or as reals at a fixed stride (a row
// of a matrix stored column after column).
struct TargetList {
  std::span<const Target> targets;
  std::size_t size() const { return targets.size(); }
  Target operator[](std::size_t k) const { return targets[k]; }
};

struct StridedReals {
  float* first;
  std::size_t count;
  std::size_t stride;
  std::size_t size() const { return count; }
  Target operator[](std::size_t k) const { return Target::of(first[k * stride]); }
};

}  // namespace

template <class Targets>
void FreeFormReader::read_statement(const Targets& targets, Sep sep_before, std::size_t taken) {
  last_sep_ = sep_before;
  ended_by_line_end_ = false;
  std::int64_t owed = 0;
  bool repeat_null = false;
  const char* repeat_text = nullptr;
  std::size_t repeat_len = 0;
  bool slash_seen = false;

  std::size_t k = 0;
  // A failure names the target it met; the index is taken only when one is
  // thrown, so the values read pay nothing for it.
  try {
    for (; k < targets.size(); ++k) {
      const Target t = targets[k];
      if (owed > 0) {
        --owed;
        if (!repeat_null) store(t, repeat_text, repeat_len);
        continue;
      }
      // A slash right after r*v ends the statement once the r values are given.
      if (slash_seen) break;
      ended_by_line_end_ = false;
      slash_after_value_ = false;
      if (t.kind == Target::Kind::Real && take_plain_real(t)) continue;
      const Scan scan = next_value(t.kind);
      if (scan == Scan::Null) continue;
      if (scan == Scan::Slash) break;
      if (star_ != 0) {
        const std::int32_t r = parse_integer(token_, star_ - 1);
        if (r <= 0) throw IoFailure{fnum::kZeroRepeat};
        repeat_text = token_ + star_;
        repeat_len = token_len_ - star_;
        repeat_null = repeat_len == 0;
        owed = r - 1;
        if (!repeat_null) store(t, repeat_text, repeat_len);
      } else {
        store(t, token_, token_len_);
      }
      slash_seen = slash_after_value_;
    }
  } catch (IoFailure& f) {
    f.value = taken + k + 1;
    throw;
  }
  if (!ended_by_line_end_) skip_rest_of_line();
}

void FreeFormReader::read(std::span<const Target> targets) {
  read_statement(TargetList{targets}, Sep::Comma, 0);
}

// The whole of a usual price-file row in one tight loop.
std::size_t FreeFormReader::take_plain_row(float* first, std::size_t count, std::size_t stride) {
  const PlainRow row = read_plain_row(src_.pos, src_.end, first, count, stride,
                                      [](const char* p) { return blank_mask(p); });
  src_.pos = row.pos;
  ended_by_line_end_ = row.line_ended;
  return row.taken;
}

void FreeFormReader::read_reals(float* first, std::size_t count, std::size_t stride) {
  const std::size_t taken = take_plain_row(first, count, stride);
  if (taken == count) {
    if (!ended_by_line_end_) skip_rest_of_line();
    return;
  }
  // The rest of the statement as usual; the values taken were ended by blanks.
  read_statement(StridedReals{first + taken * stride, count - taken, stride},
                 taken == 0 ? Sep::Comma : Sep::Blank, taken);
}

ValuesTaken FreeFormReader::count_values(bool starts_statement) {
  last_sep_ = starts_statement ? Sep::Comma : Sep::Blank;
  ValuesTaken taken;
  try {
    while (!only_blanks_left()) {
      slash_after_value_ = false;
      const Scan scan = next_value(Target::Kind::Real);
      if (scan == Scan::Slash) {
        taken.slash = true;
        return taken;
      }
      taken.count += scan == Scan::Value && star_ != 0 ? repeat_of_token() : 1;
      if (slash_after_value_) {
        taken.slash = true;
        return taken;
      }
    }
  } catch (const IoFailure&) {
    ++taken.count;
  }
  return taken;
}

bool FreeFormReader::only_blanks_left() {
  for (; src_.pos != src_.end || src_.refill(0); ++src_.pos) {
    const std::uint8_t cls = class_of(*src_.pos);
    if (cls != kBlank && cls != kLineEnd) return false;
  }
  return true;
}

std::int64_t FreeFormReader::repeat_of_token() const {
  try {
    return std::max<std::int64_t>(parse_integer(token_, star_ - 1), 1);
  } catch (const IoFailure&) {
    return 1;  // a read refuses it; one value all the same
  }
}

}  // namespace numtext
