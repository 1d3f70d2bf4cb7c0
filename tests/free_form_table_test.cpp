// Free-form read statements, table by table: each case is a text and the
// statements read from it, run over a source holding the whole text, over a
// source that hands out one character per refill (every value then runs
// across refills), and over the file source reading a temporary file with
// LF and with CR LF line ends in small blocks.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "textio/char_source.hpp"
#include "textio/free_form.hpp"
#include "textio/input_file.hpp"
#include "textio/io_failure.hpp"
#include "textio/plain_decimal.hpp"
#include "textio/real_text.hpp"

namespace {

using textio::CharSource;
using textio::FreeFormReader;
using textio::IoFailure;
using textio::Target;

// The whole text in one window, or chunk characters per refill. Each refill
// builds a fresh window of the kept characters and the new ones, and spoils
// the old window, so a reader that looks back further than it asked to keep
// sees junk.
class MemorySource final : public CharSource {
 public:
  MemorySource(std::string text, std::size_t chunk) : text_(std::move(text)), chunk_(chunk) {}

  bool refill(std::size_t keep_back) override {
    if (next_ >= text_.size()) return false;
    const std::size_t n = std::min(chunk_, text_.size() - next_);
    auto w = std::make_unique<std::string>();
    if (keep_back > 0) w->assign(pos - keep_back, keep_back);
    w->append(text_, next_, n);
    next_ += n;
    if (window_) std::fill(window_->begin(), window_->end(), '@');
    old_.push_back(std::move(window_));
    window_ = std::move(w);
    pos = window_->data() + keep_back;
    end = window_->data() + window_->size();
    return true;
  }

 private:
  std::string text_;
  std::size_t chunk_;
  std::size_t next_ = 0;
  std::unique_ptr<std::string> window_;
  std::vector<std::unique_ptr<std::string>> old_;
};

// A temporary file holding the text, read back by the file source.
class TempFile {
 public:
  explicit TempFile(const std::string& text) {
    char name[] = "/tmp/ff_table_XXXXXX";
    fd_ = ::mkstemp(name);
    EXPECT_GE(fd_, 0);
    ::unlink(name);
    EXPECT_EQ(::write(fd_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::lseek(fd_, 0, SEEK_SET);
  }
  ~TempFile() { ::close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

constexpr double K = -777;  // "the target keeps its value"

struct Stmt {
  std::string kinds;            // 'i' integer, 'r' real
  std::vector<double> expect;   // K: unchanged
  int failure = 0;              // the IoFailure number, 0 for none
};

struct Row {
  const char* name;
  std::string text;  // line ends written as '\n'
  std::vector<Stmt> stmts;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

const std::vector<Row>& rows() {
  static const std::vector<Row> r = {
      {"blank_separated", "5 6\n", {{"ii", {5, 6}}}},
      {"comma_separated", "5,6\n", {{"ii", {5, 6}}}},
      {"comma_between_blanks", "5 , 6\n", {{"ii", {5, 6}}}},
      {"tabs", "5\t\t6\n", {{"ii", {5, 6}}}},
      {"tab_comma_tab", "5\t,\t6\n", {{"ii", {5, 6}}}},
      {"line_end_separates", "5\n6\n", {{"ii", {5, 6}}}},
      {"line_end_then_comma", "5\n,6\n", {{"ii", {5, 6}}}},
      {"blank_lines_only_separate", "\n\n  \n5\n\n6\n", {{"ii", {5, 6}}}},
      {"leading_comma_is_null", ",6\n", {{"ii", {K, 6}}}},
      {"double_comma_is_null", "5,,6\n", {{"iii", {5, K, 6}}}},
      {"comma_blank_comma_is_null", "5, ,6\n", {{"iii", {5, K, 6}}}},
      {"blank_comma_comma", "5 ,,6\n", {{"iii", {5, K, 6}}}},
      {"two_leading_nulls", ", ,7\n", {{"iii", {K, K, 7}}}},
      {"trailing_comma_continues", "5,\n6\n", {{"ii", {5, 6}}}},
      {"null_real", "1.5,,2.5\n", {{"rrr", {1.5, K, 2.5}}}},
      {"slash_ends_statement", "5/6\n7\n", {{"ii", {5, K}}, {"i", {7}}}},
      {"slash_after_blank", "5 / 6\n7\n", {{"iii", {5, K, K}}, {"i", {7}}}},
      {"slash_first", "/ 6\n7\n", {{"ii", {K, K}}, {"i", {7}}}},
      {"slash_real", "2.5/\n7\n", {{"rr", {2.5, K}}, {"i", {7}}}},
      {"repeat_value", "3*4\n", {{"iii", {4, 4, 4}}}},
      {"repeat_real", "3*1.5\n", {{"rrr", {1.5, 1.5, 1.5}}}},
      {"repeat_then_more", "2*4,9\n", {{"iii", {4, 4, 9}}}},
      {"repeat_null", "2* 9\n", {{"iii", {K, K, 9}}}},
      {"repeat_null_comma", "2*,9\n", {{"iii", {K, K, 9}}}},
      {"repeat_over_statement_end_dropped", "4*3\n8\n", {{"ii", {3, 3}}, {"i", {8}}}},
      {"repeat_then_slash", "2*3/\n8\n", {{"iii", {3, 3, K}}, {"i", {8}}}},
      {"row_over_lines", "1 2\n3\n4 5\n6\n", {{"iiiii", {1, 2, 3, 4, 5}}, {"i", {6}}}},
      {"rest_of_line_skipped", "1 2 junk 'x' (y) **\n3\n", {{"ii", {1, 2}}, {"i", {3}}}},
      {"extra_values_ignored", "1 2 3\n4 5\n", {{"i", {1}}, {"ii", {4, 5}}}},
      {"ended_by_line_end_no_skip", "1\n2\n", {{"i", {1}}, {"i", {2}}}},
      {"last_line_without_line_end", "1 2\n3 4", {{"ii", {1, 2}}, {"ii", {3, 4}}}},
      {"last_value_at_end", "1.25", {{"r", {1.25}}}},
      {"end_of_input", "1\n", {{"ii", {1, K}, textio::fnum::kEndOfFile}}},
      {"empty_input", "", {{"i", {K}, textio::fnum::kEndOfFile}}},
      {"blanks_only", "  \n \n", {{"r", {K}, textio::fnum::kEndOfFile}}},
      {"quoted_single", "'5'\n", {{"i", {K}, textio::fnum::kQuotedValue}}},
      {"quoted_double", "\"5\"\n", {{"r", {K}, textio::fnum::kQuotedValue}}},
      {"parenthesised", "(1,2)\n", {{"r", {K}, textio::fnum::kQuotedValue}}},
      {"quoted_after_repeat", "2*'a'\n", {{"ii", {K, K}, textio::fnum::kQuotedValue}}},
      {"quoted_second", "1 'a'\n", {{"ii", {1, K}, textio::fnum::kQuotedValue}}},
      {"repeat_zero", "0*5\n", {{"i", {K}, textio::fnum::kZeroRepeat}}},
      {"two_asterisks", "2*3*4\n", {{"i", {K}, textio::fnum::kTwoAsterisks}}},
      {"two_asterisks_adjacent", "2**\n", {{"i", {K}, textio::fnum::kTwoAsterisks}}},
      {"bad_integer", "3.0\n", {{"i", {K}, textio::fnum::kInvalidInteger}}},
      {"bad_real", "1.5e\n", {{"r", {K}, textio::fnum::kInvalidReal}}},
      {"plain_decimals", "544.75 -3 .5 7. -0.125\n", {{"rrrrr", {544.75, -3, 0.5, 7, -0.125}}}},
      {"signed_plus", "+2.5 +3\n", {{"ri", {2.5, 3}}}},
      {"exponent_forms", "1e2 2.5D-1 1.5+3\n", {{"rrr", {100, 0.25, 1500}}}},
      {"integers_mixed_with_reals", "1990 1 2 0 0 544.75 2\n",
       {{"rrrrrrr", {1990, 1, 2, 0, 0, 544.75, 2}}}},
  };
  return r;
}

enum class Via { Whole, OneChar, FileLf, FileCrLf };

std::string crlf(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void run_row(const Row& row, CharSource& src) {
  FreeFormReader reader(src);
  for (std::size_t s = 0; s < row.stmts.size(); ++s) {
    const Stmt& st = row.stmts[s];
    std::vector<std::int32_t> ints(st.kinds.size(), static_cast<std::int32_t>(K));
    std::vector<float> reals(st.kinds.size(), static_cast<float>(K));
    std::vector<Target> targets;
    for (std::size_t k = 0; k < st.kinds.size(); ++k)
      targets.push_back(st.kinds[k] == 'i' ? Target::of(ints[k]) : Target::of(reals[k]));
    int failure = 0;
    try {
      reader.read(targets);
    } catch (const IoFailure& f) {
      failure = f.number;
    }
    ASSERT_EQ(failure, st.failure) << "statement " << s;
    for (std::size_t k = 0; k < st.kinds.size(); ++k) {
      const double got = st.kinds[k] == 'i' ? ints[k] : static_cast<double>(reals[k]);
      EXPECT_EQ(got, static_cast<double>(static_cast<float>(st.expect[k])))
          << "statement " << s << " target " << k;
    }
    if (failure != 0) return;
  }
}

class FreeFormTable : public ::testing::TestWithParam<Row> {};

TEST_P(FreeFormTable, WholeText) {
  MemorySource src(GetParam().text, 1 << 20);
  run_row(GetParam(), src);
}

TEST_P(FreeFormTable, OneCharacterPerRefill) {
  MemorySource src(GetParam().text, 1);
  run_row(GetParam(), src);
}

TEST_P(FreeFormTable, FileWithLf) {
  for (std::size_t block : {1u, 2u, 3u, 7u, 4096u}) {
    SCOPED_TRACE(block);
    TempFile f(GetParam().text);
    textio::FileSource src(f.fd(), block);
    run_row(GetParam(), src);
  }
}

TEST_P(FreeFormTable, FileWithCrLf) {
  for (std::size_t block : {1u, 2u, 3u, 5u, 4096u}) {
    SCOPED_TRACE(block);
    TempFile f(crlf(GetParam().text));
    textio::FileSource src(f.fd(), block);
    run_row(GetParam(), src);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FreeFormTable, ::testing::ValuesIn(rows()),
                         [](const auto& info) { return std::string(info.param.name); });

// A CR LF whose CR is the last byte of a block, at every position of a short
// file; the CR never reaches the values.
TEST(FreeFormCrLf, CrAtEveryBlockBoundary) {
  const std::string text = "12 345\r\n6.5\r\n-7\r\n88\r\n";
  for (std::size_t block = 1; block <= text.size() + 1; ++block) {
    SCOPED_TRACE(block);
    TempFile f(text);
    textio::FileSource src(f.fd(), block);
    FreeFormReader reader(src);
    std::int32_t a = 0, b = 0;
    float c = 0, d = 0;
    std::int32_t e = 0;
    const Target t1[] = {Target::of(a), Target::of(b)};
    reader.read(t1);
    const Target t2[] = {Target::of(c), Target::of(d)};
    reader.read(t2);
    const Target t3[] = {Target::of(e)};
    reader.read(t3);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, 345);
    EXPECT_EQ(c, 6.5f);
    EXPECT_EQ(d, -7.0f);
    EXPECT_EQ(e, 88);
  }
}

// The CR is exactly the last byte of the first block, and the LF the first
// byte of the next, with a value directly before the CR.
TEST(FreeFormCrLf, CrEndsFirstBlock) {
  const std::string text = "1234\r\n5\r\n";
  TempFile f(text);
  textio::FileSource src(f.fd(), 5);
  FreeFormReader reader(src);
  float x = 0, y = 0;
  const Target t[] = {Target::of(x), Target::of(y)};
  reader.read(t);
  EXPECT_EQ(x, 1234.0f);
  EXPECT_EQ(y, 5.0f);
}

TEST(FreeFormCrLf, OverAPipe) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  const std::string text = "3 4\r\n5.25\r\n6";
  ASSERT_EQ(::write(p[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(p[1]);
  textio::FileSource src(p[0], 4);
  FreeFormReader reader(src);
  std::int32_t a = 0, b = 0;
  float c = 0, d = 0;
  const Target t1[] = {Target::of(a), Target::of(b)};
  reader.read(t1);
  const Target t2[] = {Target::of(c)};
  reader.read(t2);
  const Target t3[] = {Target::of(d)};
  reader.read(t3);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);
  EXPECT_EQ(c, 5.25f);
  EXPECT_EQ(d, 6.0f);
  std::int32_t z = 9;
  const Target t4[] = {Target::of(z)};
  try {
    reader.read(t4);
    ADD_FAILURE() << "read past the end";
  } catch (const IoFailure& f) {
    EXPECT_EQ(f.number, textio::fnum::kEndOfFile);
  }
  EXPECT_EQ(z, 9);
  ::close(p[0]);
}

// read_reals fills a strided row the same way as a list of targets.
TEST(FreeFormRows, StridedReals) {
  MemorySource src("1 2\n3,4 5\n9\n", 1);
  FreeFormReader reader(src);
  float m[10];
  std::fill(std::begin(m), std::end(m), -1.0f);
  reader.read_reals(m, 5, 2);
  EXPECT_EQ(m[0], 1.0f);
  EXPECT_EQ(m[2], 2.0f);
  EXPECT_EQ(m[4], 3.0f);
  EXPECT_EQ(m[6], 4.0f);
  EXPECT_EQ(m[8], 5.0f);
  EXPECT_EQ(m[1], -1.0f);
  float n = 0;
  reader.read_reals(&n, 1, 1);
  EXPECT_EQ(n, 9.0f);
}

// ---- the plain-decimal path against the general conversion ----

std::uint32_t bits(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

// Text of a random plain decimal: optional sign, 0..7 integer digits, an
// optional point with 0..7 decimals (at least one digit in all).
std::string random_plain(std::mt19937_64& rng) {
  std::string s;
  const int sign = static_cast<int>(rng() % 3);
  if (sign == 1) s += '-';
  const int id = static_cast<int>(rng() % 8);
  const bool point = rng() % 4 != 0;
  int fd = point ? static_cast<int>(rng() % 8) : 0;
  if (id == 0 && fd == 0) fd = 1 + static_cast<int>(rng() % 7);
  for (int i = 0; i < id; ++i) s += static_cast<char>('0' + rng() % 10);
  if (point || fd > 0) s += '.';
  for (int i = 0; i < fd; ++i) s += static_cast<char>('0' + rng() % 10);
  return s;
}

TEST(PlainDecimal, SameBitsAsGeneralPathOnRandomTexts) {
  std::mt19937_64 rng(20240611);
  const char seps[] = {' ', '\n', '\t', ','};
  int taken = 0;
  for (int i = 0; i < 2000000; ++i) {
    const std::string v = random_plain(rng);
    std::string buf = v;
    buf += seps[i % 4];
    buf.append(32, 'z');
    float fast = 0;
    const char* sep = textio::parse_plain_decimal(buf.data(), buf.data() + buf.size(), fast);
    const float general = textio::parse_real(v.data(), v.size());
    if (sep == nullptr) continue;  // left to the general path
    ++taken;
    ASSERT_EQ(sep, buf.data() + v.size()) << v;
    ASSERT_EQ(bits(fast), bits(general)) << v;
  }
  // Nearly every text of this shape is the fast path's.
  EXPECT_GT(taken, 1900000);
}

// Values at a float rounding boundary of every digit count, which is where a
// second rounding would show.
TEST(PlainDecimal, SameBitsNearFloatMidpoints) {
  std::mt19937_64 rng(7);
  int taken = 0;
  for (int i = 0; i < 300000; ++i) {
    const float lo = std::uniform_real_distribution<float>(1e-7f, 9999999.0f)(rng);
    const double mid = (static_cast<double>(lo) + static_cast<double>(std::nextafter(lo, 2e7f))) / 2;
    for (int decimals = 0; decimals <= 7; ++decimals) {
      char text[64];
      const int n = std::snprintf(text, sizeof text, "%.*f", decimals, mid);
      std::string buf(text, static_cast<std::size_t>(n));
      std::string padded = buf + " " + std::string(30, ' ');
      float fast = 0;
      const char* sep = textio::parse_plain_decimal(padded.data(), padded.data() + padded.size(), fast);
      if (sep == nullptr) continue;
      ++taken;
      ASSERT_EQ(bits(fast), bits(textio::parse_real(buf.data(), buf.size()))) << buf;
    }
  }
  EXPECT_GT(taken, 100000);
}

// Near the end of the window the fast path declines and the general path
// must give the same values: the reader sees the same numbers whatever the
// place of the window's end.
TEST(PlainDecimal, WindowEnd) {
  const std::string v = "-1234567.7654321";
  for (std::size_t room = 0; room <= 30; ++room) {
    std::string buf = v + ' ';
    buf.append(room, ' ');
    float fast = 0;
    const char* sep = textio::parse_plain_decimal(buf.data(), buf.data() + buf.size(), fast);
    if (buf.size() < 24) {
      EXPECT_EQ(sep, nullptr) << room;
    } else {
      ASSERT_NE(sep, nullptr) << room;
      EXPECT_EQ(bits(fast), bits(textio::parse_real(v.data(), v.size())));
    }
  }
  // Through the reader, with the value ending at every distance from the
  // end of the text.
  std::mt19937_64 rng(99);
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    std::vector<std::string> values;
    for (int k = 0; k < 6; ++k) {
      values.push_back(random_plain(rng));
      text += values.back();
      text += (k % 2 == 0) ? " " : ",";
    }
    text.pop_back();  // the last value ends the input
    for (std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{23}, std::size_t{25}, text.size()}) {
      MemorySource src(text, chunk);
      FreeFormReader reader(src);
      float got[6];
      reader.read_reals(got, 6, 1);
      for (int k = 0; k < 6; ++k)
        ASSERT_EQ(bits(got[k]), bits(textio::parse_real(values[k].data(), values[k].size())))
            << values[k] << " chunk " << chunk;
    }
  }
}

// Texts that are not plain are declined, never misread.
TEST(PlainDecimal, Declines) {
  for (const char* v : {"12345678", "1.12345678", "+5", "1e5", "5.e3", ".", "-", "-.", "1..2", "1/2",
                        "1.5*", "abc", "1x"}) {
    std::string buf = std::string(v) + std::string(30, ' ');
    float f = 12345;
    EXPECT_EQ(textio::parse_plain_decimal(buf.data(), buf.data() + buf.size(), f), nullptr) << v;
  }
}

}  // namespace
