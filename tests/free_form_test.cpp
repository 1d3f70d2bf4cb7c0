// The free-form reader: separators, null values, slash, repeat counts, rows
// over several lines, the rest of a line skipped, the end of the input and
// the errors of bad value text. Every case runs over several sources: the
// whole text in one window, small chunks, one character per refill (values
// then always run across refills), the file source over a real file with
// LF and with CR LF line ends and small blocks, and a socket that hands out
// one character per read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "textio/char_source.hpp"
#include "textio/free_form.hpp"
#include "textio/input_file.hpp"
#include "textio/io_failure.hpp"

namespace {

using textio::CharSource;
using textio::FreeFormReader;
using textio::IoFailure;
using textio::Target;
namespace fnum = textio::fnum;

// Hands out the text chunk characters per refill, each time in a fresh
// window holding exactly the kept characters and the new ones. The windows
// given up are overwritten with '#', so a reader that still looks at text
// it did not ask to keep sees junk and fails.
class ChunkSource final : public CharSource {
 public:
  ChunkSource(std::string text, std::size_t chunk) : text_(std::move(text)), chunk_(chunk) {}

  bool refill(std::size_t keep_back) override {
    ++refills_;
    if (next_ == text_.size()) return false;
    const std::size_t held = windows_.empty() ? 0 : static_cast<std::size_t>(pos - windows_.back()->data());
    EXPECT_LE(keep_back, held) << "asked to keep more than the window held";
    EXPECT_EQ(pos, end) << "refill before the window was used up";
    const std::size_t n = std::min(chunk_, text_.size() - next_);
    auto w = std::make_unique<std::string>();
    if (keep_back > 0) w->assign(pos - keep_back, keep_back);
    w->append(text_, next_, n);
    next_ += n;
    if (!windows_.empty()) std::fill(windows_.back()->begin(), windows_.back()->end(), '#');
    windows_.push_back(std::move(w));
    pos = windows_.back()->data() + keep_back;
    end = windows_.back()->data() + windows_.back()->size();
    return true;
  }

  int refills() const { return refills_; }

 private:
  std::string text_;
  std::size_t chunk_;
  std::size_t next_ = 0;
  int refills_ = 0;
  std::vector<std::unique_ptr<std::string>> windows_;
};

constexpr std::int32_t kIntBefore = -777;
constexpr float kRealBefore = -777.0f;

// One read statement: the kinds of its targets ('i' integer, 'r' real) and
// what they hold afterwards (kIntBefore / kRealBefore: unchanged), or the
// failure it ends with.
struct Statement {
  std::string kinds;
  std::vector<double> expect;
  int failure = 0;
};

struct Case {
  const char* name;
  std::string text;  // line ends as '\n'
  std::vector<Statement> statements;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const double K = kIntBefore;  // "the target keeps its value"

const std::vector<Case>& cases() {
  static const std::vector<Case> c = {
      {"blanks", "1 2 3\n", {{"iii", {1, 2, 3}}}},
      {"tabs", "1\t2\t\t3\n", {{"iii", {1, 2, 3}}}},
      {"commas", "1,2,3\n", {{"iii", {1, 2, 3}}}},
      {"comma_after_blanks", "1 , 2 ,3\n", {{"iii", {1, 2, 3}}}},
      {"leading_blanks", "   \t 1  \t ,  2\t,3\n", {{"iii", {1, 2, 3}}}},
      {"line_ends", "1\n2\n3\n", {{"iii", {1, 2, 3}}}},
      {"empty_lines_only_separate", "\n\n1\n\n\n2 3", {{"iii", {1, 2, 3}}}},
      {"first_line_nr_nc", "120,7\n", {{"ii", {120, 7}}}},
      {"first_line_nr_nc_blanks", "120 , 7\n", {{"ii", {120, 7}}}},
      {"null_first", ",2,3\n", {{"iii", {K, 2, 3}}}},
      {"null_middle", "1,,3\n", {{"iii", {1, K, 3}}}},
      {"null_between_blanks", "1, ,3\n", {{"iii", {1, K, 3}}}},
      {"two_nulls_then_next_line", ",,\n7\n", {{"iii", {K, K, 7}}}},
      {"comma_at_line_end", "1,2,\n9\n", {{"iii", {1, 2, 9}}}},
      {"comma_after_line_end", "5\n,6\n", {{"ii", {5, 6}}}},
      {"comma_line_end_comma", "1 ,\n,3\n", {{"iii", {1, K, 3}}}},
      {"null_last_then_rest_skipped", "1,,\n5\n", {{"ii", {1, K}}, {"i", {5}}}},
      {"lone_comma_answer", ",\n4\n", {{"i", {K}}, {"i", {4}}}},
      {"slash_after_value", "1/ 7\n5\n", {{"iii", {1, K, K}}, {"i", {5}}}},
      {"slash_after_blank", "1 / 7\n5\n", {{"iii", {1, K, K}}, {"i", {5}}}},
      {"slash_after_comma", "1,/ 7\n5\n", {{"iii", {1, K, K}}, {"i", {5}}}},
      {"slash_alone", "/\n5\n", {{"ii", {K, K}}, {"i", {5}}}},
      {"slash_on_second_line", "1\n2/3\n4\n", {{"iii", {1, 2, K}}, {"i", {4}}}},
      {"repeat_value", "3*7\n", {{"iii", {7, 7, 7}}}},
      {"repeat_then_value", "2*7 8\n", {{"iii", {7, 7, 8}}}},
      {"value_then_repeat", "8 2*7\n", {{"iii", {8, 7, 7}}}},
      {"repeat_nulls", "3*\n", {{"iii", {K, K, K}}}},
      {"repeat_nulls_then_value", "2* 5\n", {{"iii", {K, K, 5}}}},
      {"repeat_nulls_comma", "2*,5\n", {{"iii", {K, K, 5}}}},
      {"repeat_of_based_count", "2#11*4\n", {{"iii", {4, 4, 4}}}},
      {"repeat_across_kinds", "3*2\n", {{"iri", {2, 2, 2}}}},
      {"repeat_reals", "2*1.5 -3\n", {{"rrr", {1.5, 1.5, -3}}}},
      {"repeat_owing_is_dropped", "5*2\n9\n", {{"ii", {2, 2}}, {"i", {9}}}},
      {"repeat_owing_dropped_mid_line", "5*2 8\n9\n", {{"ii", {2, 2}}, {"i", {9}}}},
      {"repeat_before_slash", "2*3/\n9\n", {{"iiii", {3, 3, K, K}}, {"i", {9}}}},
      {"repeat_ends_line_then_next", "2*5\n7 8\n", {{"iii", {5, 5, 7}}, {"i", {K}, fnum::kEndOfFile}}},
      {"row_over_two_lines", "1 2\n3 4\n", {{"iiii", {1, 2, 3, 4}}}},
      {"row_over_three_lines", "1\n2 3\n\n4\n5\n", {{"iiii", {1, 2, 3, 4}}, {"i", {5}}}},
      {"extra_values_ignored", "1 2 3 4\n5\n", {{"ii", {1, 2}}, {"i", {5}}}},
      {"rest_of_line_not_looked_at", "1 2 x 'q' (z) 0*1 **\n5\n", {{"ii", {1, 2}}, {"i", {5}}}},
      {"ended_by_line_end_no_skip", "1 2\n3\n", {{"ii", {1, 2}}, {"i", {3}}}},
      {"short_row_shifts_next", "1 2\n3 4\n5 6\n", {{"iii", {1, 2, 3}}, {"iii", {5, 6, K}, fnum::kEndOfFile}}},
      {"last_line_without_line_end", "1 2", {{"ii", {1, 2}}}},
      {"last_value_without_line_end", "1\n2", {{"i", {1}}, {"i", {2}}}},
      {"one_row_per_statement", "1 2\n3 4\n", {{"ii", {1, 2}}, {"ii", {3, 4}}}},
      {"end_of_input_mid_statement", "1 2\n", {{"iii", {1, 2, K}, fnum::kEndOfFile}}},
      {"end_of_input_empty", "", {{"i", {K}, fnum::kEndOfFile}}},
      {"end_of_input_blank_lines", "\n  \n\t\n", {{"i", {K}, fnum::kEndOfFile}}},
      {"end_of_input_next_statement", "5\n", {{"i", {5}}, {"i", {K}, fnum::kEndOfFile}}},
      {"end_after_null", ",", {{"ii", {K, K}, fnum::kEndOfFile}}},
      {"quoted_single", "'5'\n", {{"i", {K}, fnum::kQuotedValue}}},
      {"quoted_double", "\"5\"\n", {{"r", {K}, fnum::kQuotedValue}}},
      {"parenthesised", "(1,2)\n", {{"r", {K}, fnum::kQuotedValue}}},
      {"quoted_after_value", "1 'a'\n", {{"ii", {1, K}, fnum::kQuotedValue}}},
      {"quoted_repeated", "2*'a'\n", {{"ii", {K, K}, fnum::kQuotedValue}}},
      {"repeat_zero", "0*5\n", {{"i", {K}, fnum::kZeroRepeat}}},
      {"repeat_zero_null", "0*\n", {{"i", {K}, fnum::kZeroRepeat}}},
      {"two_asterisks", "2**5\n", {{"i", {K}, fnum::kTwoAsterisks}}},
      {"two_asterisks_apart", "1*2*3\n", {{"r", {K}, fnum::kTwoAsterisks}}},
      {"bad_repeat_count", "x*5\n", {{"i", {K}, fnum::kInvalidInteger}}},
      {"bad_value_after_good", "1 x 3\n", {{"iii", {1, K, K}, fnum::kInvalidInteger}}},
      {"bad_real", "1.5 x\n", {{"rr", {1.5, K}, fnum::kInvalidReal}}},
      {"integer_given_real_text", "3.0\n", {{"i", {K}, fnum::kInvalidInteger}}},
      {"plus_and_blanks_accepted", " +3 \n", {{"i", {3}}}},
      {"reals_of_every_form",
       "1.5 -2 .25 3. 1e2 2.5D-1 1.5+3 -.5 +7 0 -0 00012.50 1E+1 4d0\n",
       {{"rrrrrrrrrrrrrr", {1.5, -2, .25, 3, 100, .25, 1500, -.5, 7, 0, 0, 12.5, 10, 4}}}},
      {"reals_commas_and_nulls",
       "544.75,-3,,12.5 , 7\t,\t8\n1,2\n",
       {{"rrrrrr", {544.75, -3, K, 12.5, 7, 8}}, {"rr", {1, 2}}}},
      {"reals_plain_then_slash", "544.75 -3.25 12.5/ 99\n1\n", {{"rrrr", {544.75, -3.25, 12.5, K}}, {"r", {1}}}},
      {"reals_plain_then_star", "544.75 -3.25 2*12.5 99\n", {{"rrrr", {544.75, -3.25, 12.5, 12.5}}}},
      {"long_row_of_prices",
       "1995 1 3 0 0 544.75 3 17.25 -0.125\n1995 1 4 0 0 545.5 4 1e1 2\n",
       {{"rrrrrrrrr", {1995, 1, 3, 0, 0, 544.75, 3, 17.25, -0.125}},
        {"rrrrrrrrr", {1995, 1, 4, 0, 0, 545.5, 4, 10, 2}}}},
      {"long_value_text",
       "0000000000000000000000000000000000000000000000000000000000000000000000000042 "
       "1.00000000000000000000000000000000000000000000000000000000000000000000000000\n",
       {{"ir", {42, 1}}}},
  };
  return c;
}

// Runs the statements of a case over a source; returns a description of the
// first difference, or an empty string.
std::string run_case(const Case& c, CharSource& src) {
  FreeFormReader reader(src);
  for (std::size_t s = 0; s < c.statements.size(); ++s) {
    const Statement& st = c.statements[s];
    std::vector<std::int32_t> ints(st.kinds.size(), kIntBefore);
    std::vector<float> reals(st.kinds.size(), kRealBefore);
    std::vector<Target> targets;
    for (std::size_t k = 0; k < st.kinds.size(); ++k)
      targets.push_back(st.kinds[k] == 'i' ? Target::of(ints[k]) : Target::of(reals[k]));
    int failure = 0;
    try {
      reader.read(targets);
    } catch (const IoFailure& f) {
      failure = f.number;
    }
    const std::string where = "statement " + std::to_string(s + 1) + ": ";
    if (failure != st.failure)
      return where + "failure " + std::to_string(failure) + ", expected " + std::to_string(st.failure);
    for (std::size_t k = 0; k < st.kinds.size(); ++k) {
      const double got = st.kinds[k] == 'i' ? ints[k] : static_cast<double>(reals[k]);
      const double want = st.kinds[k] == 'i' ? st.expect[k] : static_cast<double>(static_cast<float>(st.expect[k]));
      if (got != want)
        return where + "target " + std::to_string(k + 1) + " is " + std::to_string(got) + ", expected " +
               std::to_string(want);
    }
    if (failure != 0) break;  // a failure ends the run
  }
  return {};
}

class FreeFormCases : public ::testing::TestWithParam<Case> {};

TEST_P(FreeFormCases, SameResultOverEveryWindowSize) {
  const Case& c = GetParam();
  for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{1}, std::size_t{2}, std::size_t{3},
                            std::size_t{5}, std::size_t{8}, std::size_t{23}, std::size_t{24},
                            std::size_t{25}, std::size_t{31}}) {
    ChunkSource src(c.text, chunk);
    EXPECT_EQ(run_case(c, src), "") << "window of " << chunk << " characters";
  }
}

// The same text from a real file, line ends LF or CR LF, blocks of a few
// bytes (a CR LF then often falls across two blocks) up to the usual size.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    char name[] = "/tmp/free_form_test_XXXXXX";
    fd_ = ::mkstemp(name);
    path_ = name;
    EXPECT_GE(fd_, 0);
    EXPECT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  ~TempFile() {
    ::close(fd_);
    ::unlink(path_.c_str());
  }
  int open_for_reading() const { return ::open(path_.c_str(), O_RDONLY); }

 private:
  int fd_ = -1;
  std::string path_;
};

std::string with_crlf(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '\n') out += '\r';
    out += ch;
  }
  return out;
}

TEST_P(FreeFormCases, SameResultFromFileWithLfOrCrLf) {
  const Case& c = GetParam();
  for (bool crlf : {false, true}) {
    const TempFile file(crlf ? with_crlf(c.text) : c.text);
    for (std::size_t block : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{4},
                              std::size_t{7}, std::size_t{64}, std::size_t{1} << 20}) {
      const int fd = file.open_for_reading();
      ASSERT_GE(fd, 0);
      textio::FileSource src(fd, block);
      EXPECT_EQ(run_case(c, src), "") << (crlf ? "CR LF" : "LF") << ", blocks of " << block;
      ::close(fd);
    }
  }
}

// A socket that keeps message boundaries: every read gets exactly one
// character, so a CR and its LF always arrive in separate reads.
TEST_P(FreeFormCases, SameResultOneCharacterPerRead) {
  const Case& c = GetParam();
  const std::string bytes = with_crlf(c.text);
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv), 0);
  std::thread sender([&] {
    for (char ch : bytes)
      if (::send(sv[1], &ch, 1, MSG_NOSIGNAL) != 1) break;  // the reader may stop early
    ::close(sv[1]);
  });
  {
    textio::FileSource src(sv[0]);
    EXPECT_EQ(run_case(c, src), "");
  }
  ::shutdown(sv[0], SHUT_RDWR);
  sender.join();
  ::close(sv[0]);
}

INSTANTIATE_TEST_SUITE_P(Text, FreeFormCases, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// A CR that does not stand before a LF is an ordinary character of the line.
TEST(FreeFormFile, LoneCrIsPartOfTheValue) {
  for (std::size_t block : {std::size_t{2}, std::size_t{3}, std::size_t{1} << 20}) {
    const TempFile file("5\r6\n");
    const int fd = file.open_for_reading();
    textio::FileSource src(fd, block);
    FreeFormReader reader(src);
    std::int32_t v = kIntBefore;
    const Target t = Target::of(v);
    try {
      reader.read({&t, 1});
      ADD_FAILURE() << "read \"5\\r6\" as " << v;
    } catch (const IoFailure& f) {
      EXPECT_EQ(f.number, fnum::kInvalidInteger);
    }
    ::close(fd);
  }
}

TEST(FreeFormFile, CrLfAtTheEndOfTheLastLine) {
  for (std::size_t block : {std::size_t{2}, std::size_t{3}, std::size_t{5}, std::size_t{1} << 20}) {
    const TempFile file("1 2\r\n3\r\n");
    const int fd = file.open_for_reading();
    textio::FileSource src(fd, block);
    FreeFormReader reader(src);
    float a = 0, b = 0, c = 0;
    const Target ab[] = {Target::of(a), Target::of(b)};
    reader.read(ab);
    const Target tc = Target::of(c);
    reader.read({&tc, 1});
    EXPECT_EQ(a, 1.0f);
    EXPECT_EQ(b, 2.0f);
    EXPECT_EQ(c, 3.0f);
    ::close(fd);
  }
}

// The rows of the price matrix are read as reals at a stride (a matrix kept
// column after column).
TEST(FreeFormStrided, RowIntoColumnMajorMatrix) {
  ChunkSource src("1 2 3\n4,5\n6\n", 3);
  FreeFormReader reader(src);
  float m[6] = {0, 0, 0, 0, 0, 0};  // 2 rows, 3 columns
  reader.read_reals(&m[0], 3, 2);
  reader.read_reals(&m[1], 3, 2);
  const float want[6] = {1, 4, 2, 5, 3, 6};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(m[k], want[k]) << k;
}

TEST(FreeFormStrided, NullsAndSlashKeepTheirCells) {
  ChunkSource src(",2/\n", 1 << 20);
  FreeFormReader reader(src);
  float m[3] = {-1, -1, -1};
  reader.read_reals(m, 3, 1);
  EXPECT_EQ(m[0], -1.0f);
  EXPECT_EQ(m[1], 2.0f);
  EXPECT_EQ(m[2], -1.0f);
}

// A value that fails is not stored; the values before it are.
TEST(FreeFormFailure, FailingValueIsNotStored) {
  ChunkSource src("7 99999999999\n", 1 << 20);
  FreeFormReader reader(src);
  std::int32_t a = 1, b = 1;
  const Target t[] = {Target::of(a), Target::of(b)};
  try {
    reader.read(t);
    FAIL() << "no failure";
  } catch (const IoFailure& f) {
    EXPECT_EQ(f.number, fnum::kIntegerOverflow);
  }
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 1);
}

// Random rows of decimals: read from one large window (the common plain
// decimals go through their own quick conversion) and one character at a
// time (never the quick one); both must match the nearest double rounded to
// the nearest float.
TEST(FreeFormReals, QuickAndGeneralConversionAgree) {
  std::mt19937_64 rng(12345);
  auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
    return s;
  };
  for (int row = 0; row < 2000; ++row) {
    std::string text;
    std::vector<float> want;
    for (int k = 0; k < 40; ++k) {
      std::string v;
      if (rng() % 3 == 0) v += '-';
      const int ni = static_cast<int>(rng() % 9);
      const int nf = static_cast<int>(rng() % 9);
      v += digits(ni);
      if (nf > 0 || rng() % 2 == 0) v += '.' + digits(nf);
      if (ni == 0 && nf == 0) v += '0';
      if (rng() % 8 == 0) v += "e" + std::to_string(static_cast<int>(rng() % 21) - 10);
      want.push_back(static_cast<float>(std::strtod(v.c_str(), nullptr)));
      static const char* const kSeps[] = {" ", ",", "\t", "\n", " , ", "  "};
      text += v + kSeps[rng() % 6];
    }
    text += '\n';
    for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{1}, std::size_t{29}}) {
      ChunkSource src(text, chunk);
      FreeFormReader reader(src);
      std::vector<float> got(want.size(), -1.0f);
      reader.read_reals(got.data(), got.size(), 1);
      for (std::size_t k = 0; k < want.size(); ++k) {
        ASSERT_EQ(std::memcmp(&got[k], &want[k], sizeof(float)), 0)
            << "value " << k << " of row \"" << text << "\", window " << chunk << ": got " << got[k]
            << ", expected " << want[k];
      }
    }
  }
}

// An answer that ends with its line must not make the reader ask for another
// line (on the console that would wait for the user).
TEST(FreeFormLines, NoRefillAfterTheLastValueOfALine) {
  struct LineCase {
    const char* text;
    const char* kinds;
  } const kCases[] = {{"5\n", "i"}, {"5 7\n", "i"}, {",\n", "i"}, {"/\n", "ii"},
                      {"2*4\n", "ii"}, {"3*4\n", "ii"}, {"1.5\n", "r"}, {"1 2\n", "rr"}};
  for (const auto& lc : kCases) {
    // One line per refill, as the console delivers it.
    ChunkSource src(lc.text, std::strlen(lc.text));
    FreeFormReader reader(src);
    std::vector<std::int32_t> ints(8, 0);
    std::vector<float> reals(8, 0);
    std::vector<Target> t;
    for (std::size_t k = 0; lc.kinds[k] != '\0'; ++k)
      t.push_back(lc.kinds[k] == 'i' ? Target::of(ints[k]) : Target::of(reals[k]));
    reader.read(t);
    EXPECT_EQ(src.refills(), 1) << lc.text;
  }
}

}  // namespace
