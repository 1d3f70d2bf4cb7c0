// Fuzzes the free-form reader: read statements over a file or the console,
// each statement compared, target by target and failure by failure, with a
// model of the reading rules written here from scratch.
//
// Input bytes:
//   0     bits 0-2: the source
//           0, 5  a file in memory, delivered as one block
//           1, 6  a file in memory, delivered in small chunks, each refill in
//                 a freshly allocated window
//           2, 7  the console emulated in memory: one line per refill, each
//                 in a fresh window
//           3     the console itself (units::ConsoleSource) reading a pipe
//           4     the input file source (units::FileSource) reading a pipe
//                 with small blocks
//         bit 3: rows of reals at a stride (read_reals, as the price matrix
//         is read) instead of a list of integer and real targets
//   1     number of targets, 1 + byte % 16
//   2, 3  kinds, bit i set: target i is real, otherwise integer
//   4     bits 0-4: chunk or block size - 1; bits 5-7: read statements - 1
//   5...  the text
//
// Checked after every statement: the failure, if any, is the one the model
// expects (so it is also one of the reading layer's F numbers), every target
// holds what the model says (an integer target changes only through valid
// integer text; a failing value leaves its target as it was), real targets
// are finite, and read_reals touches nothing between the strided targets.
// The in-memory sources spoil every window given up, so a reader that keeps
// pointers into one reads junk and differs from the model.
#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "numtext/char_source.hpp"
#include "cli/console.hpp"
#include "numtext/free_form.hpp"
#include "units/input_file.hpp"
#include "units/io_failure.hpp"
#include "support/held_file.hpp"
#include "support/memory_source.hpp"
#include "support/scripted_console.hpp"

namespace {

namespace fnum = numtext::fnum;

// Longest text sent through a pipe: written in one go before reading, so it
// has to fit the pipe's buffer.
constexpr std::size_t kMaxPipeText = 32768;
constexpr std::size_t kMaxConsoleLine = 130;

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
    case fnum::kCannotRead:
    case fnum::kEndOfFile:
    case fnum::kZeroRepeat:
    case fnum::kTwoAsterisks:
    case fnum::kQuotedValue:
      return true;
    default:
      return false;
  }
}

// CR LF becomes LF, as in the input file, and so does a CR alone.
std::string file_text(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    out.push_back(raw[i] == '\r' ? '\n' : raw[i]);
  }
  return out;
}

// The console's lines: split at LF, one CR before the LF dropped; a last
// line without a line end is a line, an input ending in LF has no empty
// line after it.
std::vector<std::string> console_lines(std::string_view raw) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < raw.size()) {
    const std::size_t nl = raw.find('\n', from);
    const std::size_t stop = nl == std::string_view::npos ? raw.size() : nl;
    std::string line(raw.substr(from, stop - from));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    from = nl == std::string_view::npos ? raw.size() : nl + 1;
  }
  return lines;
}

// Throws IoFailure for a console line the console refuses.
void check_console_line(const std::string& line) {
  if (line.size() > kMaxConsoleLine) throw numtext::IoFailure{fnum::kLineTooLong};
  if (!line.empty() && line.back() == '\x1a') throw numtext::IoFailure{fnum::kEndOfFile};
}

// ---- Sources in memory ----------------------------------------------------

// The source under test in memory: the text whole, in chunks, or as console
// lines, one per refill.
std::unique_ptr<elab_test::MemorySource> memory_source(std::string_view raw, int source,
                                                       std::size_t chunk) {
  if (source == 2 || source == 7) {
    std::vector<std::string> lines = console_lines(raw);
    for (auto& line : lines) line.push_back('\n');
    auto src = std::make_unique<elab_test::MemorySource>(std::move(lines));
    src->check_each_piece([](const std::string& line) {
      check_console_line(line.substr(0, line.size() - 1));  // without its line end
    });
    return src;
  }
  const std::size_t size = (source == 1 || source == 6) ? chunk : elab_test::MemorySource::kWhole;
  return std::make_unique<elab_test::MemorySource>(file_text(raw), size);
}

// ---- The model ------------------------------------------------------------

// A failure the model expects: the number the reader must throw.
struct Expected {
  int number;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool opens_quoted(char c) { return c == '\'' || c == '"' || c == '('; }
bool ends_value(char c) { return c == ' ' || c == '\t' || c == '\n' || c == ',' || c == '/'; }

int digit_of(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// Integer text: [sign]digits or [sign][base]#digits. Where one text has
// several faults, the first found in this order is reported: two # signs;
// a base that is not decimal digits or not 2..36 (read left to right, a base
// found too large stops the reading of the base); a character that is no
// digit of the base (or no digit at all after #); a magnitude above
// 2147483647.
std::int32_t model_integer(std::string_view t) {
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  const std::size_t hash = t.find('#', i);
  if (hash != std::string_view::npos && t.find('#', hash + 1) != std::string_view::npos) {
    throw Expected{fnum::kTwoNumberSigns};
  }
  int base = 10;
  if (hash != std::string_view::npos) {
    if (hash == i) {
      base = 16;
    } else {
      long b = 0;
      for (std::size_t k = i; k < hash && b <= 36; ++k) {
        if (!is_digit(t[k])) throw Expected{fnum::kInvalidInteger};
        b = b * 10 + (t[k] - '0');
      }
      if (b < 2 || b > 36) throw Expected{fnum::kInvalidBase};
      base = static_cast<int>(b);
    }
    i = hash + 1;
    if (i == t.size()) throw Expected{fnum::kInvalidInteger};
  }
  for (std::size_t k = i; k < t.size(); ++k) {
    if (digit_of(t[k]) >= base) throw Expected{fnum::kInvalidInteger};
  }
  std::uint64_t v = 0;
  for (std::size_t k = i; k < t.size(); ++k) {
    v = v * static_cast<unsigned>(base) + static_cast<unsigned>(digit_of(t[k]));
    if (v > 2147483647u) throw Expected{fnum::kIntegerOverflow};
  }
  return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(v)
                                            : static_cast<std::int64_t>(v));
}

// Real text: [sign] digits with at most one point, digits on at least one
// side, then optionally E/e/D/d [sign] digits or a sign and digits. The
// nearest double (strtod), then the nearest float.
float model_real(std::string_view t) {
  std::string form;  // the same number as strtod reads it
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) form.push_back(t[i++]);
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
    form.push_back(t[i]);
  }
  if (digits == 0) throw Expected{fnum::kInvalidReal};
  if (i < t.size()) {
    if (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D') {
      ++i;
    } else if (t[i] != '+' && t[i] != '-') {
      throw Expected{fnum::kInvalidReal};
    }
    form.push_back('e');
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) form.push_back(t[i++]);
    const std::size_t exp_from = i;
    for (; i < t.size() && is_digit(t[i]); ++i) form.push_back(t[i]);
    if (i == exp_from || i != t.size()) throw Expected{fnum::kInvalidReal};
  }
  const double d = std::strtod(form.c_str(), nullptr);
  const double ad = std::fabs(d);
  if (std::isinf(d)) throw Expected{fnum::kRealBeyondDouble};
  // From halfway between the largest float and 2^128 up, the nearest float
  // is an infinity.
  if (ad >= 340282356779733661637539395458142568448.0) throw Expected{fnum::kRealBeyondSingle};
  if (ad > static_cast<double>(FLT_MAX)) return d > 0 ? FLT_MAX : -FLT_MAX;
  return static_cast<float>(d);
}

struct Slot {
  bool real;
  std::int32_t i;
  float f;
};

// The reading rules over the whole input, one statement at a time.
class Model {
 public:
  Model(std::string_view raw, bool console) : console_(console) {
    if (console) {
      lines_ = console_lines(raw);
    } else {
      s_ = file_text(raw);
    }
  }

  // Fills the slots as one read statement; throws Expected.
  void statement(std::vector<Slot>& slots) {
    bool after_comma = true;  // the statement starts as after a comma
    bool ended_by_line_end = false;
    bool slash_seen = false;
    std::int64_t owed = 0;
    bool repeat_null = false;
    std::string repeat_text;
    for (Slot& slot : slots) {
      if (owed > 0) {
        --owed;
        if (!repeat_null) assign(slot, repeat_text);
        continue;
      }
      if (slash_seen) break;
      ended_by_line_end = false;
      bool slash_after = false;
      bool null = false;
      bool slash = false;
      std::string tok;
      for (;;) {
        if (!have(p_)) throw Expected{fnum::kEndOfFile};
        const char c = s_[p_];
        if (c == ' ' || c == '\t' || c == '\n') {
          ++p_;
          continue;
        }
        if (c == ',') {
          ++p_;
          if (after_comma) {
            null = true;
            break;
          }
          after_comma = true;  // the comma joins the blanks before it
          continue;
        }
        if (c == '/') {
          ++p_;
          slash = true;
          break;
        }
        if (opens_quoted(c)) throw Expected{fnum::kQuotedValue};
        const std::size_t from = p_;
        while (have(p_) && !ends_value(s_[p_])) ++p_;
        tok = s_.substr(from, p_ - from);
        if (!have(p_)) {
          ended_by_line_end = true;  // the end of the input ends the line
          after_comma = false;
        } else {
          const char sep = s_[p_++];
          after_comma = sep == ',';
          ended_by_line_end = sep == '\n';
          slash_after = sep == '/';
        }
        break;
      }
      if (null) continue;
      if (slash) break;
      const std::size_t star = tok.find('*');
      if (star != std::string::npos) {
        if (tok.find('*', star + 1) != std::string::npos) throw Expected{fnum::kTwoAsterisks};
        const std::int32_t r = model_integer(std::string_view(tok).substr(0, star));
        if (r <= 0) throw Expected{fnum::kZeroRepeat};
        repeat_text = tok.substr(star + 1);
        repeat_null = repeat_text.empty();
        owed = r - 1;
        if (!repeat_null) assign(slot, repeat_text);
      } else {
        assign(slot, tok);
      }
      slash_seen = slash_after;
    }
    if (!ended_by_line_end) {
      while (have(p_) && s_[p_] != '\n') ++p_;
      if (have(p_)) ++p_;
    }
  }

 private:
  static void assign(Slot& slot, std::string_view text) {
    if (opens_quoted(text[0])) throw Expected{fnum::kQuotedValue};
    if (slot.real) {
      slot.f = model_real(text);
    } else {
      slot.i = model_integer(text);
    }
  }

  // Whether character p exists; the console takes its next line only when
  // the reading needs it, and refuses it then.
  bool have(std::size_t p) {
    while (p >= s_.size()) {
      if (!console_ || next_line_ == lines_.size()) return false;
      const std::string& line = lines_[next_line_++];
      try {
        check_console_line(line);
      } catch (const numtext::IoFailure& f) {
        throw Expected{f.number};
      }
      s_ += line;
      s_.push_back('\n');
    }
    return true;
  }

  bool console_;
  std::string s_;
  std::size_t p_ = 0;
  std::vector<std::string> lines_;
  std::size_t next_line_ = 0;
};

// ---- Comparison -----------------------------------------------------------

constexpr std::int32_t kIntBefore = 23130;
constexpr float kRealBefore = 1.25f;
constexpr float kGuard = -8.5f;  // between the strided targets
constexpr std::size_t kStride = 3;

void report_slots(const std::vector<Slot>& got, const std::vector<Slot>& want) {
  for (std::size_t k = 0; k < got.size(); ++k) {
    if (got[k].real) {
      std::fprintf(stderr, "  target %zu real: got %.9g, expected %.9g\n", k,
                   static_cast<double>(got[k].f), static_cast<double>(want[k].f));
    } else {
      std::fprintf(stderr, "  target %zu integer: got %d, expected %d\n", k, got[k].i, want[k].i);
    }
  }
}

bool same(const Slot& a, const Slot& b) {
  return a.real ? std::bit_cast<std::uint32_t>(a.f) == std::bit_cast<std::uint32_t>(b.f)
                : a.i == b.i;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const int source = data[0] & 7;
  const bool strided = (data[0] & 8) != 0;
  const std::size_t count = 1 + data[1] % 16;
  const unsigned kinds = strided ? 0xffffu : (data[2] | static_cast<unsigned>(data[3]) << 8);
  const std::size_t chunk = 1 + (data[4] & 31);
  const int statements = 1 + (data[4] >> 5);
  std::string_view text(reinterpret_cast<const char*>(data + 5), size - 5);
  if ((source == 3 || source == 4) && text.size() > kMaxPipeText) text = text.substr(0, kMaxPipeText);
  const bool console = source == 2 || source == 7 || source == 3;

  // The source under test.
  std::unique_ptr<elab_test::MemorySource> memory;
  std::unique_ptr<elab_test::ScriptedConsole> real_console;
  std::unique_ptr<elab_test::HeldFd> pipe;
  std::unique_ptr<units::FileSource> file;
  numtext::CharSource* src = nullptr;
  switch (source) {
    case 3:
      real_console = std::make_unique<elab_test::ScriptedConsole>(
          std::string(text), false, elab_test::ScriptedConsole::Feed::pipe);
      src = &real_console->console().source();
      break;
    case 4:
      pipe = std::make_unique<elab_test::HeldFd>(elab_test::pipe_holding(std::string(text)));
      file = std::make_unique<units::FileSource>(pipe->fd(), chunk);
      src = file.get();
      break;
    default:
      memory = memory_source(text, source, chunk);
      src = memory.get();
      break;
  }
  numtext::FreeFormReader reader(*src);
  Model model(text, console);

  std::vector<std::int32_t> ints(count, kIntBefore);
  std::vector<float> reals(count * kStride, kGuard);
  std::vector<numtext::Target> targets;
  std::vector<Slot> want(count);
  for (std::size_t k = 0; k < count; ++k) {
    const bool real = (kinds >> k & 1) != 0;
    reals[k * kStride] = kRealBefore;
    want[k] = {real, kIntBefore, kRealBefore};
    targets.push_back(real ? numtext::Target::of(reals[k * kStride]) : numtext::Target::of(ints[k]));
  }

  for (int s = 0; s < statements; ++s) {
    int got_failure = 0;
    try {
      if (real_console) real_console->console().begin_read();
      if (strided) {
        reader.read_reals(reals.data(), count, kStride);
      } else {
        reader.read(targets);
      }
      if (real_console) real_console->console().end_read();
    } catch (const numtext::IoFailure& f) {
      got_failure = f.number;
      if (!known_read_failure(f.number)) {
        std::fprintf(stderr, "IoFailure F%d\n", f.number);
        fail("a failure number the reading layer does not have");
      }
    } catch (...) {
      fail("an exception other than IoFailure");
    }

    if (memory && !memory->misuse().empty()) fail(memory->misuse().c_str());

    int want_failure = 0;
    try {
      model.statement(want);
    } catch (const Expected& e) {
      want_failure = e.number;
    }

    std::vector<Slot> got(count);
    for (std::size_t k = 0; k < count; ++k) {
      got[k] = {want[k].real, ints[k], reals[k * kStride]};
      if (got[k].real && !std::isfinite(got[k].f)) fail("a real target that is not finite");
      for (std::size_t g = 1; g < kStride; ++g) {
        if (std::bit_cast<std::uint32_t>(reals[k * kStride + g]) != std::bit_cast<std::uint32_t>(kGuard)) {
          fail("a value stored between the strided targets");
        }
      }
    }
    if (got_failure != want_failure) {
      std::fprintf(stderr, "statement %d: failure F%d, expected F%d (0 = none)\n", s + 1,
                   got_failure, want_failure);
      report_slots(got, want);
      fail("wrong outcome of a read statement");
    }
    for (std::size_t k = 0; k < count; ++k) {
      if (!same(got[k], want[k])) {
        std::fprintf(stderr, "statement %d%s:\n", s + 1, got_failure ? " (failed)" : "");
        report_slots(got, want);
        fail("a target differs from the model");
      }
    }
    if (got_failure != 0) break;  // the run would end here
  }
  return 0;
}
