// Fuzzes the free-form reader over an in-memory character source.
//
// Input bytes:
//   0     mode: bits 0-1 choose the source (0, 3 = a file delivered as one
//         block, 1 = a file delivered in small chunks, 2 = the console, one
//         line per refill); bit 2 asks for the single-value check against
//         the reference conversion below (file sources only)
//   1     number of targets, 1 + byte % 16
//   2, 3  kinds, bit i set: target i is real, otherwise integer
//   4     bits 0-4: chunk size - 1; bits 5-7: read statements - 1
//   5...  the text
//
// Every statement may end only with an IoFailure whose number is one the
// reading layer knows; real targets stay finite; no integer target ever
// holds -2147483648 (the accepted range stops at -2147483647). The chunked
// and console sources hand out a freshly allocated window on every refill,
// so the reader's use of anything outside what it asked to keep shows up
// under AddressSanitizer.
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textio/char_source.hpp"
#include "textio/free_form.hpp"
#include "textio/io_failure.hpp"

namespace {

namespace fnum = textio::fnum;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "fuzz_free_form: %s\n", what);
  std::abort();
}

bool known_read_failure(int n) {
  switch (n) {
    case fnum::kIntegerOverflow:
    case fnum::kInvalidInteger:
    case fnum::kRealBeyondDouble:
    case fnum::kInvalidReal:
    case fnum::kRealBeyondSingle:
    case fnum::kTwoNumberSigns:
    case fnum::kInvalidBase:
    case fnum::kLineTooLong:
    case fnum::kEndOfFile:
    case fnum::kZeroRepeat:
    case fnum::kTwoAsterisks:
    case fnum::kQuotedValue:
      return true;
    default:
      return false;
  }
}

// CR LF becomes LF, as the file source does; a CR elsewhere is data.
std::string file_text(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    out.push_back(raw[i]);
  }
  return out;
}

class MemorySource final : public textio::CharSource {
 public:
  enum class Mode { Block, Chunks, Console };

  MemorySource(std::string_view raw, Mode mode, std::size_t chunk)
      : mode_(mode), chunk_(chunk), text_(mode == Mode::Console ? std::string(raw) : file_text(raw)) {}

  bool refill(std::size_t keep_back) override {
    if (keep_back > 0 && (pos == nullptr || static_cast<std::size_t>(pos - window_.get()) < keep_back)) {
      fail("keep_back reaches before the window");
    }
    std::string fresh;
    if (!next_piece(fresh)) return false;
    auto window = std::make_unique<char[]>(keep_back + fresh.size());
    if (keep_back > 0) std::memcpy(window.get(), pos - keep_back, keep_back);
    std::memcpy(window.get() + keep_back, fresh.data(), fresh.size());
    window_ = std::move(window);  // the old window is gone from here on
    pos = window_.get() + keep_back;
    end = pos + fresh.size();
    return true;
  }

 private:
  bool next_piece(std::string& piece) {
    if (next_ >= text_.size()) return false;
    switch (mode_) {
      case Mode::Block:
        piece = text_;
        next_ = text_.size();
        return true;
      case Mode::Chunks:
        piece = text_.substr(next_, chunk_);
        next_ += piece.size();
        return true;
      case Mode::Console:
        break;
    }
    // One console line: without its line end, CR LF or LF; a last line
    // without a line end counts as a line.
    const std::size_t nl = text_.find('\n', next_);
    const std::size_t stop = nl == std::string::npos ? text_.size() : nl;
    piece = text_.substr(next_, stop - next_);
    next_ = nl == std::string::npos ? text_.size() : nl + 1;
    if (!piece.empty() && piece.back() == '\r') piece.pop_back();
    if (piece.size() > 130) throw textio::IoFailure{fnum::kLineTooLong};
    if (!piece.empty() && piece.back() == '\x1a') throw textio::IoFailure{fnum::kEndOfFile};
    piece.push_back('\n');
    return true;
  }

  Mode mode_;
  std::size_t chunk_;
  std::string text_;
  std::size_t next_ = 0;
  std::unique_ptr<char[]> window_;
};

// ---- Reference for one value read into one target (file sources) --------

struct Expect {
  bool unchanged = false;  // null value or slash
  int failure = 0;         // expected IoFailure number, 0 for a value
  std::int32_t i = 0;
  float f = 0.0f;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// [sign] digits, one optional point, digits on at least one side, then
// optionally E/e/D/d [sign] digits or sign digits. Returns the text in the
// form strtod takes, or nothing when the form is not accepted.
std::optional<std::string> real_form(std::string_view t) {
  std::string out;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) out.push_back(t[i++]);
  std::size_t digits = 0;
  bool point = false;
  for (; i < t.size(); ++i) {
    if (is_digit(t[i])) {
      ++digits;
    } else if (t[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
    out.push_back(t[i]);
  }
  if (digits == 0) return std::nullopt;
  if (i == t.size()) return out;
  if (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D') ++i;
  out.push_back('e');
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) out.push_back(t[i++]);
  const std::size_t exp_from = i;
  for (; i < t.size() && is_digit(t[i]); ++i) out.push_back(t[i]);
  if (i == exp_from || i != t.size()) return std::nullopt;
  return out;
}

std::optional<Expect> expected(std::string_view text, bool real) {
  Expect e;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
  if (i == text.size()) {
    e.failure = fnum::kEndOfFile;
    return e;
  }
  if (text[i] == ',' || text[i] == '/') {
    e.unchanged = true;
    return e;
  }
  std::size_t j = i;
  while (j < text.size() && std::string_view(" \t\n,/").find(text[j]) == std::string_view::npos) ++j;
  const std::string_view tok = text.substr(i, j - i);
  if (tok[0] == '\'' || tok[0] == '"' || tok[0] == '(') {
    e.failure = fnum::kQuotedValue;
    return e;
  }
  if (tok.find('*') != std::string_view::npos) return std::nullopt;  // repeats: not modelled
  if (!real) {
    if (tok.find('#') != std::string_view::npos) return std::nullopt;  // bases: not modelled
    std::size_t k = 0;
    bool negative = false;
    if (tok[0] == '+' || tok[0] == '-') negative = tok[k++] == '-';
    std::int64_t v = 0;
    bool over = false;
    for (; k < tok.size(); ++k) {
      if (!is_digit(tok[k])) {
        e.failure = fnum::kInvalidInteger;
        return e;
      }
      if (!over) v = v * 10 + (tok[k] - '0');
      over = over || v > 2147483647;
    }
    if (over) {
      e.failure = fnum::kIntegerOverflow;
      return e;
    }
    e.i = static_cast<std::int32_t>(negative ? -v : v);
    return e;
  }
  const auto form = real_form(tok);
  if (!form) {
    e.failure = fnum::kInvalidReal;
    return e;
  }
  errno = 0;
  const double d = std::strtod(form->c_str(), nullptr);
  const double ad = std::fabs(d);
  if (std::isinf(d)) {
    e.failure = fnum::kRealBeyondDouble;
  } else if (ad >= 340282356779733661637539395458142568448.0) {
    e.failure = fnum::kRealBeyondSingle;
  } else if (ad > static_cast<double>(FLT_MAX)) {
    e.f = d > 0 ? FLT_MAX : -FLT_MAX;
  } else {
    e.f = static_cast<float>(d);
  }
  return e;
}

void check_single(std::string_view text, bool real, const MemorySource::Mode mode, std::size_t chunk) {
  const auto want = expected(file_text(text), real);
  if (!want) return;
  MemorySource src(text, mode, chunk);
  textio::FreeFormReader reader(src);
  constexpr std::int32_t kIntBefore = 23130;
  constexpr float kRealBefore = 1.25f;
  std::int32_t iv = kIntBefore;
  float fv = kRealBefore;
  const textio::Target t = real ? textio::Target::of(fv) : textio::Target::of(iv);
  int got_failure = 0;
  try {
    reader.read({&t, 1});
  } catch (const textio::IoFailure& f) {
    got_failure = f.number;
  }
  if (got_failure != want->failure) {
    std::fprintf(stderr, "failure F%d, expected F%d (0 = none)\n", got_failure, want->failure);
    fail("single value: wrong outcome");
  }
  if (got_failure != 0) return;
  if (want->unchanged) {
    if (real ? fv != kRealBefore : iv != kIntBefore) fail("null value changed its target");
    return;
  }
  if (real && !(fv == want->f)) {
    std::fprintf(stderr, "real %.9g, expected %.9g\n", static_cast<double>(fv),
                 static_cast<double>(want->f));
    fail("single value: wrong real");
  }
  if (!real && iv != want->i) {
    std::fprintf(stderr, "integer %d, expected %d\n", iv, want->i);
    fail("single value: wrong integer");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::uint8_t mode_byte = data[0];
  MemorySource::Mode mode = MemorySource::Mode::Block;
  if ((mode_byte & 3) == 1) mode = MemorySource::Mode::Chunks;
  if ((mode_byte & 3) == 2) mode = MemorySource::Mode::Console;
  const std::size_t count = 1 + data[1] % 16;
  const unsigned kinds = data[2] | static_cast<unsigned>(data[3]) << 8;
  const std::size_t chunk = 1 + (data[4] & 31);
  const int statements = 1 + (data[4] >> 5);
  const std::string_view text(reinterpret_cast<const char*>(data + 5), size - 5);

  if ((mode_byte & 4) != 0 && mode != MemorySource::Mode::Console) {
    check_single(text, (kinds & 1) != 0, mode, chunk);
    return 0;
  }

  MemorySource src(text, mode, chunk);
  textio::FreeFormReader reader(src);
  std::vector<std::int32_t> ints(count, 23130);
  std::vector<float> reals(count, 1.25f);
  std::vector<textio::Target> targets;
  for (std::size_t i = 0; i < count; ++i) {
    targets.push_back((kinds >> i & 1) != 0 ? textio::Target::of(reals[i])
                                            : textio::Target::of(ints[i]));
  }
  for (int s = 0; s < statements; ++s) {
    try {
      reader.read(targets);
    } catch (const textio::IoFailure& f) {
      if (!known_read_failure(f.number)) {
        std::fprintf(stderr, "IoFailure F%d\n", f.number);
        fail("unknown failure number");
      }
      break;
    } catch (...) {
      fail("an exception other than IoFailure");
    }
    for (std::size_t i = 0; i < count; ++i) {
      if ((kinds >> i & 1) != 0 && !std::isfinite(reals[i])) fail("real target not finite");
      if ((kinds >> i & 1) == 0 && ints[i] == INT32_MIN) fail("integer target -2147483648");
    }
  }
  return 0;
}
