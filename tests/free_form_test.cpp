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
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "numtext/char_source.hpp"
#include "numtext/free_form.hpp"
#include "units/input_file.hpp"
#include "numtext/blank_mask.hpp"
#include "numtext/plain_lines.hpp"
#include "numtext/plain_row.hpp"
#include "numtext/real_text.hpp"
#include "units/rows_side_by_side.hpp"
#include "support/matrix_reading.hpp"
#include "support/held_file.hpp"
#include "support/memory_source.hpp"
#include "support/numbers.hpp"
#include "units/io_failure.hpp"

namespace {

using numtext::CharSource;
using numtext::FreeFormReader;
using numtext::IoFailure;
using numtext::Target;
namespace fnum = numtext::fnum;

using elab_test::file_holding;
using elab_test::HeldFd;
using elab_test::MemorySource;
using elab_test::real_of;

// The number of the failure that ends reading targets, or 0 when they are
// all read.
int failure_of(FreeFormReader& reader, std::span<const Target> targets) {
  try {
    reader.read(targets);
  } catch (const IoFailure& f) {
    return f.number;
  }
  return 0;
}

constexpr std::int32_t kIntBefore = -777;
constexpr float kRealBefore = -777.0f;

// One read statement: the kinds of its targets ('i' integer, 'r' real) and
// what they hold afterwards (kIntBefore / kRealBefore: unchanged), or the
// failure it ends with.
struct Statement {
  std::string kinds;
  std::vector<double> expect;
  int failure = 0;
  std::size_t at = 0;  // the target the failure names, from 1
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
      {"repeat_ends_line_then_next", "2*5\n7 8\n", {{"iii", {5, 5, 7}}, {"i", {K}, fnum::kEndOfFile, 1}}},
      {"row_over_two_lines", "1 2\n3 4\n", {{"iiii", {1, 2, 3, 4}}}},
      {"row_over_three_lines", "1\n2 3\n\n4\n5\n", {{"iiii", {1, 2, 3, 4}}, {"i", {5}}}},
      {"extra_values_ignored", "1 2 3 4\n5\n", {{"ii", {1, 2}}, {"i", {5}}}},
      {"rest_of_line_not_looked_at", "1 2 x 'q' (z) 0*1 **\n5\n", {{"ii", {1, 2}}, {"i", {5}}}},
      {"ended_by_line_end_no_skip", "1 2\n3\n", {{"ii", {1, 2}}, {"i", {3}}}},
      {"short_row_shifts_next", "1 2\n3 4\n5 6\n", {{"iii", {1, 2, 3}}, {"iii", {5, 6, K}, fnum::kEndOfFile, 3}}},
      {"last_line_without_line_end", "1 2", {{"ii", {1, 2}}}},
      {"last_value_without_line_end", "1\n2", {{"i", {1}}, {"i", {2}}}},
      {"one_row_per_statement", "1 2\n3 4\n", {{"ii", {1, 2}}, {"ii", {3, 4}}}},
      {"end_of_input_mid_statement", "1 2\n", {{"iii", {1, 2, K}, fnum::kEndOfFile, 3}}},
      {"end_of_input_empty", "", {{"i", {K}, fnum::kEndOfFile, 1}}},
      {"end_of_input_blank_lines", "\n  \n\t\n", {{"i", {K}, fnum::kEndOfFile, 1}}},
      {"end_of_input_next_statement", "5\n", {{"i", {5}}, {"i", {K}, fnum::kEndOfFile, 1}}},
      {"end_after_null", ",", {{"ii", {K, K}, fnum::kEndOfFile, 2}}},
      {"quoted_single", "'5'\n", {{"i", {K}, fnum::kQuotedValue, 1}}},
      {"quoted_double", "\"5\"\n", {{"r", {K}, fnum::kQuotedValue, 1}}},
      {"parenthesised", "(1,2)\n", {{"r", {K}, fnum::kQuotedValue, 1}}},
      {"quoted_after_value", "1 'a'\n", {{"ii", {1, K}, fnum::kQuotedValue, 2}}},
      {"quoted_repeated", "2*'a'\n", {{"ii", {K, K}, fnum::kQuotedValue, 1}}},
      {"repeat_zero", "0*5\n", {{"i", {K}, fnum::kZeroRepeat, 1}}},
      {"repeat_zero_null", "0*\n", {{"i", {K}, fnum::kZeroRepeat, 1}}},
      {"two_asterisks", "2**5\n", {{"i", {K}, fnum::kTwoAsterisks, 1}}},
      {"two_asterisks_apart", "1*2*3\n", {{"r", {K}, fnum::kTwoAsterisks, 1}}},
      {"bad_repeat_count", "x*5\n", {{"i", {K}, fnum::kInvalidInteger, 1}}},
      {"bad_value_after_good", "1 x 3\n", {{"iii", {1, K, K}, fnum::kInvalidInteger, 2}}},
      {"bad_real", "1.5 x\n", {{"rr", {1.5, K}, fnum::kInvalidReal, 2}}},
      {"integer_given_real_text", "3.0\n", {{"i", {K}, fnum::kInvalidInteger, 1}}},
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
      {"quick_row_edges", "12345678 -12345678 1234567. .1234567 -.5 0 -0 00000001 -9.\n",
       {{"rrrrrrrrr", {12345678, -12345678, 1234567, .1234567, -.5, 0, 0, 1, -9}}}},
      {"quick_row_then_nulls", "1.5 2.5,,3\n", {{"rrrr", {1.5, 2.5, K, 3}}}},
      {"quick_row_then_long_value", "1.5 123456789 1.23456789 7\n", {{"rrrr", {1.5, 123456789, 1.23456789, 7}}}},
      {"quick_row_then_bad_value", "1.5 2.5 1.2.3\n", {{"rrr", {1.5, 2.5, K}, fnum::kInvalidReal, 3}}},
      {"quick_row_then_minus_alone", "1.5 - 3\n", {{"rrr", {1.5, K, K}, fnum::kInvalidReal, 2}}},
      {"quick_row_longer_than_a_window",
       "1234567 -1234567 123456.7 -12345.67 1234.567 -123.4567 12.34567 -1.234567 .7654321 8\n",
       {{"rrrrrrrrrr",
         {1234567, -1234567, 123456.7, -12345.67, 1234.567, -123.4567, 12.34567, -1.234567, .7654321, 8}}}},
      {"blanks_longer_than_a_window",
       "1                                                                                 2\n",
       {{"rr", {1, 2}}}},
      {"value_longer_than_a_window",
       "1 00000000000000000000000000000000000000000000000000000000000000000000000005 3\n",
       {{"rrr", {1, 5, 3}}}},
      {"quick_rows_short_row_continues", "1 2\n3\n4 5 6\n", {{"rrr", {1, 2, 3}}, {"rr", {4, 5}}}},
      {"long_value_text",
       "0000000000000000000000000000000000000000000000000000000000000000000000000042 "
       "1.00000000000000000000000000000000000000000000000000000000000000000000000000\n",
       {{"ir", {42, 1}}}},
      {"blank_separated", "5 6\n", {{"ii", {5, 6}}}},
      {"comma_separated", "5,6\n", {{"ii", {5, 6}}}},
      {"comma_between_blanks", "5 , 6\n", {{"ii", {5, 6}}}},
      {"double_tab", "5\t\t6\n", {{"ii", {5, 6}}}},
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
      {"slash_between_blanks", "5 / 6\n7\n", {{"iii", {5, K, K}}, {"i", {7}}}},
      {"slash_first", "/ 6\n7\n", {{"ii", {K, K}}, {"i", {7}}}},
      {"slash_real", "2.5/\n7\n", {{"rr", {2.5, K}}, {"i", {7}}}},
      {"repeat_of_four", "3*4\n", {{"iii", {4, 4, 4}}}},
      {"repeat_real", "3*1.5\n", {{"rrr", {1.5, 1.5, 1.5}}}},
      {"repeat_then_more", "2*4,9\n", {{"iii", {4, 4, 9}}}},
      {"repeat_null", "2* 9\n", {{"iii", {K, K, 9}}}},
      {"repeat_null_comma", "2*,9\n", {{"iii", {K, K, 9}}}},
      {"repeat_over_statement_end_dropped", "4*3\n8\n", {{"ii", {3, 3}}, {"i", {8}}}},
      {"repeat_then_slash", "2*3/\n8\n", {{"iii", {3, 3, K}}, {"i", {8}}}},
      {"row_over_lines", "1 2\n3\n4 5\n6\n", {{"iiiii", {1, 2, 3, 4, 5}}, {"i", {6}}}},
      {"rest_of_line_skipped", "1 2 junk 'x' (y) **\n3\n", {{"ii", {1, 2}}, {"i", {3}}}},
      {"extra_values_then_next_row", "1 2 3\n4 5\n", {{"i", {1}}, {"ii", {4, 5}}}},
      {"one_value_per_line", "1\n2\n", {{"i", {1}}, {"i", {2}}}},
      {"second_row_without_line_end", "1 2\n3 4", {{"ii", {1, 2}}, {"ii", {3, 4}}}},
      {"last_value_at_end", "1.25", {{"r", {1.25}}}},
      {"end_of_input", "1\n", {{"ii", {1, K}, fnum::kEndOfFile, 2}}},
      {"empty_input", "", {{"i", {K}, fnum::kEndOfFile, 1}}},
      {"blanks_only", "  \n \n", {{"r", {K}, fnum::kEndOfFile, 1}}},
      {"quoted_after_repeat", "2*'a'\n", {{"ii", {K, K}, fnum::kQuotedValue, 1}}},
      {"quoted_second", "1 'a'\n", {{"ii", {1, K}, fnum::kQuotedValue, 2}}},
      {"two_repeat_counts", "2*3*4\n", {{"i", {K}, fnum::kTwoAsterisks, 1}}},
      {"two_asterisks_adjacent", "2**\n", {{"i", {K}, fnum::kTwoAsterisks, 1}}},
      {"bad_integer", "3.0\n", {{"i", {K}, fnum::kInvalidInteger, 1}}},
      {"bare_exponent", "1.5e\n", {{"r", {K}, fnum::kInvalidReal, 1}}},
      // A failure names the target it met, after nulls and repeats.
      {"failure_after_nulls", ",,x\n", {{"iii", {K, K, K}, fnum::kInvalidInteger, 3}}},
      {"repeat_meets_an_integer", "2*1.5\n", {{"ri", {1.5, K}, fnum::kInvalidInteger, 2}}},
      {"failure_in_second_statement", "1 2\n3 x\n",
       {{"ii", {1, 2}}, {"ii", {3, K}, fnum::kInvalidInteger, 2}}},
      {"plain_decimals", "544.75 -3 .5 7. -0.125\n", {{"rrrrr", {544.75, -3, 0.5, 7, -0.125}}}},
      {"signed_plus", "+2.5 +3\n", {{"ri", {2.5, 3}}}},
      {"exponent_forms", "1e2 2.5D-1 1.5+3\n", {{"rrr", {100, 0.25, 1500}}}},
      {"integers_mixed_with_reals", "1990 1 2 0 0 544.75 2\n",
       {{"rrrrrrr", {1990, 1, 2, 0, 0, 544.75, 2}}}},
  };
  return c;
}

// Runs the statements of a case over a source; returns a description of the
// first difference, or an empty string.
// With reals_as_rows, a statement of reals only is read as one row of reals
// (as the price matrix is).
std::string run_case(const Case& c, CharSource& src, bool reals_as_rows = false) {
  FreeFormReader reader(src);
  for (std::size_t s = 0; s < c.statements.size(); ++s) {
    const Statement& st = c.statements[s];
    std::vector<std::int32_t> ints(st.kinds.size(), kIntBefore);
    std::vector<float> reals(st.kinds.size(), kRealBefore);
    std::vector<Target> targets;
    for (std::size_t k = 0; k < st.kinds.size(); ++k)
      targets.push_back(st.kinds[k] == 'i' ? Target::of(ints[k]) : Target::of(reals[k]));
    const bool as_row = reals_as_rows && st.kinds.find('i') == std::string::npos;
    int failure = 0;
    std::size_t at = 0;
    try {
      if (as_row) {
        reader.read_reals(reals.data(), reals.size(), 1);
      } else {
        reader.read(targets);
      }
    } catch (const IoFailure& f) {
      failure = f.number;
      at = f.value;
    }
    const std::string where = "statement " + std::to_string(s + 1) + ": ";
    if (failure != st.failure)
      return where + "failure " + std::to_string(failure) + ", expected " + std::to_string(st.failure);
    if (at != st.at)
      return where + "failure at target " + std::to_string(at) + ", expected " + std::to_string(st.at);
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
    MemorySource src(c.text, chunk);
    EXPECT_EQ(run_case(c, src), "") << "window of " << chunk << " characters";
    EXPECT_EQ(src.misuse(), "") << "window of " << chunk << " characters";
  }
}

// Rows of reals take a quick path where the window holds room for several
// values. The case's text comes after a first line (read first, so that the
// source's window is filled when the case starts) and before blank lines
// (which only separate), so that the quick path sees every case.
TEST_P(FreeFormCases, SameResultReadAsRowsOfReals) {
  const Case& c = GetParam();
  Case padded{c.name, "0\n" + c.text + std::string(100, '\n'), {{"i", {0}}}};
  padded.statements.insert(padded.statements.end(), c.statements.begin(), c.statements.end());
  for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{1}, std::size_t{7}, std::size_t{80}}) {
    MemorySource src(padded.text, chunk);
    EXPECT_EQ(run_case(padded, src, true), "") << "window of " << chunk << " characters";
  }
}

// The same text from a real file, line ends LF or CR LF, blocks of a few
// bytes (a CR LF then often falls across two blocks) up to the usual size.
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
    for (std::size_t block : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{4},
                              std::size_t{5}, std::size_t{7}, std::size_t{64}, std::size_t{4096},
                              std::size_t{1} << 20}) {
      const HeldFd file(file_holding(crlf ? with_crlf(c.text) : c.text));
      units::FileSource src(file.fd(), block);
      EXPECT_EQ(run_case(c, src), "") << (crlf ? "CR LF" : "LF") << ", blocks of " << block;
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
    units::FileSource src(sv[0]);
    EXPECT_EQ(run_case(c, src), "");
  }
  ::shutdown(sv[0], SHUT_RDWR);
  sender.join();
  ::close(sv[0]);
}

INSTANTIATE_TEST_SUITE_P(Text, FreeFormCases, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// A CR that does not stand before a LF ends the line, as an old system's
// line end: two statements take a value each, and the row that took 5 does
// not reach into the next line for its second value.
TEST(FreeFormFile, LoneCrEndsALine) {
  for (std::size_t block : {std::size_t{2}, std::size_t{3}, std::size_t{1} << 20}) {
    const HeldFd file(file_holding("5 x\r6\r\r7 8\r"));
    units::FileSource src(file.fd(), block);
    FreeFormReader reader(src);
    std::int32_t a = kIntBefore, b = kIntBefore, c = kIntBefore;
    const Target one[] = {Target::of(a)}, two[] = {Target::of(b), Target::of(c)};
    reader.read(one);
    reader.read(one);
    EXPECT_EQ(a, 6) << "block " << block;
    reader.read(two);
    EXPECT_EQ(b * 10 + c, 78) << "block " << block;
  }
}

// A CR with no LF after it at the very end of the file ends the line too.
TEST(FreeFormFile, CrLfAtTheEndOfTheLastLine) {
  for (std::size_t block : {std::size_t{2}, std::size_t{3}, std::size_t{5}, std::size_t{1} << 20})
  for (const char* text : {"1 2\r\n3\r\n", "1 2\r\n3\r"}) {
    const HeldFd file(file_holding(text));
    units::FileSource src(file.fd(), block);
    FreeFormReader reader(src);
    float a = 0, b = 0, c = 0;
    const Target ab[] = {Target::of(a), Target::of(b)};
    reader.read(ab);
    const Target tc = Target::of(c);
    reader.read({&tc, 1});
    EXPECT_EQ(a, 1.0f);
    EXPECT_EQ(b, 2.0f);
    EXPECT_EQ(c, 3.0f) << block;
  }
}

// The rows of the price matrix are read as reals at a stride (a matrix kept
// column after column).
TEST(FreeFormStrided, RowIntoColumnMajorMatrix) {
  MemorySource src("1 2 3\n4,5\n6\n", 3);
  FreeFormReader reader(src);
  float m[6] = {0, 0, 0, 0, 0, 0};  // 2 rows, 3 columns
  reader.read_reals(&m[0], 3, 2);
  reader.read_reals(&m[1], 3, 2);
  const float want[6] = {1, 4, 2, 5, 3, 6};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(m[k], want[k]) << k;
}

TEST(FreeFormStrided, NullsAndSlashKeepTheirCells) {
  MemorySource src(",2/\n", 1 << 20);
  FreeFormReader reader(src);
  float m[3] = {-1, -1, -1};
  reader.read_reals(m, 3, 1);
  EXPECT_EQ(m[0], -1.0f);
  EXPECT_EQ(m[1], 2.0f);
  EXPECT_EQ(m[2], -1.0f);
}

// A value that fails is not stored; the values before it are.
TEST(FreeFormFailure, FailingValueIsNotStored) {
  MemorySource src("7 99999999999\n", 1 << 20);
  FreeFormReader reader(src);
  std::int32_t a = 1, b = 1;
  const Target t[] = {Target::of(a), Target::of(b)};
  EXPECT_EQ(failure_of(reader, t), fnum::kIntegerOverflow);
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
      MemorySource src(text, chunk);
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
    MemorySource src(lc.text, std::strlen(lc.text));
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

// A CR LF whose CR is the last byte of a block, at every position of a short
// file; the CR never reaches the values.
TEST(FreeFormCrLf, CrAtEveryBlockBoundary) {
  const std::string text = "12 345\r\n6.5\r\n-7\r\n88\r\n";
  for (std::size_t block = 1; block <= text.size() + 1; ++block) {
    SCOPED_TRACE(block);
    const HeldFd f(file_holding(text));
    units::FileSource src(f.fd(), block);
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
  const HeldFd f(file_holding(text));
  units::FileSource src(f.fd(), 5);
  FreeFormReader reader(src);
  float x = 0, y = 0;
  const Target t[] = {Target::of(x), Target::of(y)};
  reader.read(t);
  EXPECT_EQ(x, 1234.0f);
  EXPECT_EQ(y, 5.0f);
}

TEST(FreeFormCrLf, OverAPipe) {
  const HeldFd p(elab_test::pipe_holding("3 4\r\n5.25\r\n6"));
  units::FileSource src(p.fd(), 4);
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
  EXPECT_EQ(failure_of(reader, t4), fnum::kEndOfFile);
  EXPECT_EQ(z, 9);
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

using elab_test::bits_of;

// The nearest double, then the nearest float: what any real text reads as.
float nearest(const std::string& text) { return static_cast<float>(std::strtod(text.c_str(), nullptr)); }

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

TEST(PlainDecimal, SameBitsAsNearestDoubleThenFloatOnRandomTexts) {
  std::mt19937_64 rng(20240611);
  const char seps[] = {' ', '\n', '\t', ','};
  int fast_taken = 0;
  for (int i = 0; i < 2000000; ++i) {
    const std::string v = random_plain(rng);
    std::string buf = v;
    buf += seps[i % 4];
    buf.append(32, 'z');
    const char* const end = buf.data() + buf.size();
    const float want = nearest(v);
    float got = 0;
    const numtext::RealChars r = numtext::real_from_chars(buf.data(), end, got, end);
    ASSERT_EQ(r.failure, 0) << v;
    ASSERT_EQ(r.ptr, buf.data() + v.size()) << v;
    ASSERT_EQ(bits_of(got), bits_of(want)) << v;
    float fast = 0;
    if (numtext::plain_decimal(buf.data(), end, end, fast) != nullptr) {
      ++fast_taken;
      ASSERT_EQ(bits_of(fast), bits_of(want)) << v;
    }
  }
  // The values of at most eight characters are the fast path's.
  EXPECT_GT(fast_taken, 600000);
}

// Values at a float rounding boundary of every digit count, which is where a
// second rounding would show.
TEST(PlainDecimal, SameBitsNearFloatMidpoints) {
  std::mt19937_64 rng(7);
  int fast_taken = 0;
  for (int i = 0; i < 300000; ++i) {
    const float lo = std::uniform_real_distribution<float>(1e-7f, 9999999.0f)(rng);
    const double mid = (static_cast<double>(lo) + static_cast<double>(std::nextafter(lo, 2e7f))) / 2;
    for (int decimals = 0; decimals <= 7; ++decimals) {
      char text[64];
      const int n = std::snprintf(text, sizeof text, "%.*f", decimals, mid);
      std::string buf(text, static_cast<std::size_t>(n));
      std::string padded = buf + " " + std::string(30, ' ');
      const char* const end = padded.data() + padded.size();
      float got = 0;
      ASSERT_EQ(numtext::real_from_chars(padded.data(), end, got, end).ptr, padded.data() + n);
      ASSERT_EQ(bits_of(got), bits_of(nearest(buf))) << buf;
      fast_taken += numtext::plain_decimal(padded.data(), end, end, got) != nullptr;
    }
  }
  EXPECT_GT(fast_taken, 100000);
}

// Near the end of what may be loaded the fast path declines and the general
// path must give the same values: the reader sees the same numbers whatever
// the place of the window's end.
TEST(PlainDecimal, WindowEnd) {
  for (const std::string v : {"-1234567.7654321", "-765.4321", "12", "5."}) {
    for (std::size_t room = 0; room <= 10; ++room) {
      std::string buf = v + ' ';
      buf.append(room, ' ');
      for (const char* last : {buf.data() + v.size(), buf.data() + buf.size()}) {
        float got = 0;
        const numtext::RealChars r = numtext::real_from_chars(buf.data(), last, got, buf.data() + buf.size());
        ASSERT_EQ(r.ptr, buf.data() + v.size()) << v << " room " << room;
        EXPECT_EQ(bits_of(got), bits_of(nearest(v))) << v << " room " << room;
      }
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
        ASSERT_EQ(bits_of(got[k]), bits_of(real_of(values[k])))
            << values[k] << " chunk " << chunk;
    }
  }
}

// ---- rows of plain decimals, a window at a time ----

// Random characters, weighted towards those of a price file, at every
// alignment: the vector and the portable blank masks agree.
TEST(PlainRow, VectorAndPortableBlankMasksAgree) {
  std::mt19937_64 rng(31);
  const char alphabet[] = {' ', '\t', '\n', '\r', ',', '.', '-', '0', '5', '9', 'e', '\0', '\x80', '\xff'};
  std::string text(4096, ' ');
  for (char& c : text) c = rng() % 3 == 0 ? static_cast<char>(rng()) : alphabet[rng() % sizeof alphabet];
  for (std::size_t at = 0; at + numtext::kMaskWindow <= text.size(); ++at) {
    const std::uint64_t portable = numtext::blank_mask_portable(text.data() + at);
    ASSERT_EQ(numtext::blank_mask(text.data() + at), portable) << "at " << at;
    ASSERT_EQ(numtext::line_end_mask(text.data() + at), numtext::char_mask_portable<'\n'>(text.data() + at))
        << "at " << at;
#if defined(__SSE2__)
    ASSERT_EQ(numtext::blank_mask_sse2(text.data() + at), portable) << "at " << at;
#endif
  }
}

// Random rows of values (mostly plain, some not) with random separators:
// the row path with either mask stores the same bits as the general
// conversion for every value it takes, stops before the first value it does
// not take, and stands after that value's separator.
TEST(PlainRow, SameBitsAsGeneralPathWithEitherMask) {
  std::mt19937_64 rng(4242);
  const char* const seps[] = {" ", "  ", "\t", "\n", " \n", "\n\n   "};
  const char* const others[] = {"1e5", "+3", "1,", "2*3", "1.2.3", "-", ".", "123456789", "1.5/", "1e99"};
  int full_rows = 0;
  for (int row = 0; row < 20000; ++row) {
    const std::size_t count = 1 + rng() % 12;
    std::string text;
    std::vector<std::string> values;
    for (std::size_t k = 0; k < count; ++k) {
      values.push_back(rng() % 40 == 0 ? others[rng() % 10] : random_plain(rng));
      text += values.back();
      text += seps[rng() % 6];
    }
    text.append(numtext::kPlainRowRoom, 'z');
    const char* const end = text.data() + text.size();
    const float kUnset = std::numeric_limits<float>::quiet_NaN();  // never read
    std::vector<float> vec(count, kUnset), port(count, kUnset);
    const numtext::PlainRow a = numtext::read_plain_row(text.data(), end, vec.data(), count, 1,
                                                      [](const char* p) { return numtext::blank_mask(p); });
    const numtext::PlainRow b = numtext::read_plain_row(text.data(), end, port.data(), count, 1,
                                                      [](const char* p) { return numtext::blank_mask_portable(p); });
    ASSERT_EQ(a.taken, b.taken);
    ASSERT_EQ(a.pos, b.pos);
    ASSERT_EQ(a.line_ended, b.line_ended);
    std::size_t at = 0;  // where the value after the last one taken starts
    for (std::size_t k = 0; k < a.taken; ++k) {
      at = text.find(values[k], at) + values[k].size() + 1;
      ASSERT_EQ(bits_of(vec[k]), bits_of(real_of(values[k])))
          << values[k] << " in \"" << text << "\"";
      ASSERT_EQ(bits_of(port[k]), bits_of(vec[k]));
    }
    if (a.taken == count) {
      ++full_rows;
      ASSERT_EQ(a.pos, text.data() + at);
      ASSERT_EQ(a.line_ended, text[at - 1] == '\n');
    } else {
      // Stopped at a value the row path does not take.
      const std::string& v = values[a.taken];
      ASSERT_EQ(std::string(a.pos, v.size()), v) << "in \"" << text << "\"";
      ASSERT_THROW(real_of(v), IoFailure) << v << " declined";
      ASSERT_EQ(bits_of(vec[a.taken]), bits_of(kUnset)) << "a declined value is not stored";
    }
  }
  EXPECT_GT(full_rows, 2500);
}

// The fast path takes the longest plain text only, whole or not at all:
// anything that could carry the number on is left to the general path.
TEST(PlainDecimal, TakesPlainTextOnly) {
  const struct {
    const char* text;
    std::size_t taken;  // 0: declined
  } cases[] = {{"12345678", 8}, {"-1234.567", 9}, {"5.", 2}, {".5", 2}, {"1/2", 1}, {"1.5*", 3}, {"1x", 1},
               {"1.12345678", 0}, {"123456789", 0}, {"+5", 0}, {"1e5", 0}, {"5.e3", 0}, {"1+3", 0},
               {".", 0}, {"-", 0}, {"-.", 0}, {"1..2", 0}, {"abc", 0}};
  for (const auto& c : cases) {
    const std::string buf = std::string(c.text) + std::string(30, ' ');
    const char* const end = buf.data() + buf.size();
    float f = 12345;
    const char* got = numtext::plain_decimal(buf.data(), end, end, f);
    if (c.taken == 0) {
      EXPECT_EQ(got, nullptr) << c.text;
      EXPECT_EQ(f, 12345.0f) << c.text;
    } else {
      EXPECT_EQ(got, buf.data() + c.taken) << c.text;
      EXPECT_EQ(bits_of(f), bits_of(nearest(std::string(c.text, c.taken)))) << c.text;
    }
  }
}

}  // namespace

// ---- the price matrix read on two cores against one ----

using elab_test::MatrixRead;
using elab_test::read_matrix_as_the_run;
using elab_test::Through;

// A price-like value of the row path's short form, or one time in odd_every
// any plain decimal.
std::string random_price(std::mt19937_64& rng, unsigned odd_every) {
  if (odd_every != 0 && rng() % odd_every == 0) return random_plain(rng);
  std::string s = rng() % 10 == 0 ? "-" : "";
  s += std::to_string(rng() % 20000);
  if (rng() % 3 != 0) s += "." + std::to_string(rng() % 100);
  return s;
}

// Lines of count values (a few with more) after the head "NR count"; NR is
// the number of lines less short_by (more, and the file ends early, when
// short_by is negative).
std::string random_price_text(std::uint64_t seed, std::size_t bytes, std::size_t count, int short_by = 0,
                              unsigned odd_every = 50) {
  std::mt19937_64 rng(seed);
  std::string rows;
  std::int64_t lines = 0;
  while (rows.size() < bytes) {
    const std::size_t values = count + (rng() % 20 == 0 ? 1 + rng() % 3 : 0);
    for (std::size_t k = 0; k < values; ++k) {
      rows += k == 0 ? (rng() % 30 == 0 ? " \t" : "") : (rng() % 8 == 0 ? "\t" : rng() % 8 == 0 ? "  " : " ");
      rows += random_price(rng, odd_every);
    }
    rows += rng() % 30 == 0 ? " \n" : "\n";
    ++lines;
  }
  return std::to_string(lines - short_by) + " " + std::to_string(count) + "\n" + rows;
}

// Lines of count values (now and then one more, which is skipped), blanks
// runs long enough to carry a row over the 64-character window, and now and
// then a line that is no plain row: the line reader takes every line before
// the first such line, with the general reader's bits, and stops at its start.
TEST(PlainLines, TakesEveryPlainLineWithTheGeneralBits) {
  std::mt19937_64 rng(515);
  const std::string seps[] = {" ", "\t", "  ", std::string(20, ' '), std::string(45, ' '), std::string(70, ' ')};
  const std::string odd_lines[] = {"", "1,2", "2*3", "1.5/", "1e99", "9e999", "1x"};
  for (int text_no = 0; text_no < 3000; ++text_no) {
    const std::size_t count = 1 + rng() % 9;
    const std::size_t lines = 1 + rng() % 12;
    std::string text;
    std::vector<std::size_t> starts;
    std::size_t first_odd = lines;
    for (std::size_t r = 0; r < lines; ++r) {
      starts.push_back(text.size());
      if (rng() % 25 == 0) {
        // Or a row that would go on over the next line.
        text += count > 1 && rng() % 3 == 0 ? "5\n" : odd_lines[rng() % 7] + "\n";
        first_odd = std::min(first_odd, r);
        continue;
      }
      const std::size_t values = count + (rng() % 10 == 0 ? 1 : 0);
      for (std::size_t k = 0; k < values; ++k)
        text += (k == 0 && rng() % 2 == 0 ? "" : seps[rng() % 6]) + random_price(rng, 0);
      text += (rng() % 5 == 0 ? seps[rng() % 6] : "") + "\n";
    }
    const std::size_t size = text.size();
    text.append(numtext::kPlainRowRoom, 'z');
    std::vector<float> m(lines * count, -1.0f);
    const numtext::PlainLines got = numtext::read_plain_lines(text.data(), text.data() + size, m.data(), count, lines,
                                                            static_cast<std::int64_t>(lines));
    ASSERT_EQ(got.rows, static_cast<std::int64_t>(first_odd)) << text;
    ASSERT_EQ(got.pos, text.data() + (first_odd < lines ? starts[first_odd] : size));
    MemorySource src(text.substr(0, size));
    FreeFormReader reader(src);
    std::vector<float> want(count);
    for (std::size_t r = 0; r < first_odd; ++r) {
      reader.read_reals(want.data(), count, 1);
      for (std::size_t k = 0; k < count; ++k) ASSERT_EQ(bits_of(m[k * lines + r]), bits_of(want[k])) << text;
    }
  }
}

// The input file's block.
constexpr std::size_t kBlock = std::size_t{1} << 20;

// Sizes below and above the stretch worth a second thread and around the
// file's blocks.
TEST(MatrixOnTwoCores, SameAsOneCoreOnRandomFiles) {
  const std::size_t kSizes[] = {6000, 60000, 65536, 66000, 70000, 200000, kBlock - 100, kBlock + 100,
                                2400000};
  std::uint64_t seed = 1;
  for (const std::size_t bytes : kSizes) {
    for (const std::size_t count : {std::size_t{7}, std::size_t{9}}) {
      // Only plain rows, or now and then a longer value that the halves leave
      // to the general path.
      for (const auto& [short_by, odd_every] : {std::pair{0, 0u}, {1, 2000u}, {40, 0u}, {-3, 2000u}}) {
        SCOPED_TRACE(testing::Message() << bytes << " bytes, " << count << " values, NR short by " << short_by
                                        << ", odd value every " << odd_every);
        const std::string text = random_price_text(++seed, bytes, count, short_by, odd_every);
        const MatrixRead one = read_matrix_as_the_run(text, Through::File, 1);
        EXPECT_TRUE(same(read_matrix_as_the_run(text, Through::File, 2), one));
        if (bytes < 300000) {
          EXPECT_TRUE(same(read_matrix_as_the_run(text, Through::PipeInPieces, 2), one));
        }
      }
    }
  }
}

// The stretch reader alone takes every row of a plain stretch, with the
// general path's bits, and never a row beyond the ones asked for.
TEST(MatrixOnTwoCores, StretchOfPlainRowsIsTakenWhole) {
  const std::string text = random_price_text(77, 300000, 7, 0, 0);
  const MatrixRead one = read_matrix_as_the_run(text, Through::File, 1);
  const std::size_t nr = one.matrix.size() / 7;
  const char* const rows = text.data() + text.find('\n') + 1;
  for (const std::int64_t asked : {static_cast<std::int64_t>(nr), std::int64_t{1000}, std::int64_t{5000}}) {
    std::vector<float> m(nr * 7, 0.0f);
    platform::SecondThread second;
    const units::RowsTaken taken =
        units::read_rows_side_by_side(&second, rows, text.data() + text.size(), m.data(), 7, nr, asked);
    // All but the lines too near the end of the text.
    if (asked == static_cast<std::int64_t>(nr)) {
      EXPECT_GT(taken.rows, asked - 10);
    } else {
      EXPECT_EQ(taken.rows, asked);
    }
    EXPECT_FALSE(taken.declined);
    for (std::size_t r = 0; r < nr; ++r) {
      for (std::size_t k = 0; k < 7; ++k) {
        const float want = static_cast<std::int64_t>(r) < taken.rows ? one.matrix[k * nr + r] : 0.0f;
        ASSERT_EQ(bits_of(m[k * nr + r]), bits_of(want)) << "row " << r + 1 << " value " << k + 1;
      }
    }
  }
}

// A row that is not one line of plain values, in place of a row of a plain
// file; values is the row's text split at its blanks.
struct OddRow {
  const char* name;
  std::string (*row)(const std::vector<std::string>& values);
};

std::string joined(const std::vector<std::string>& v, const char* sep, std::size_t from = 0) {
  std::string s;
  for (std::size_t k = from; k < v.size(); ++k) s += (k == from ? "" : sep) + v[k];
  return s;
}

const OddRow kOddRows[] = {
    {"commas", [](const auto& v) { return joined(v, ","); }},
    {"null_value", [](const auto& v) { return v[0] + ",," + joined(v, " ", 2); }},
    {"repeat", [](const auto& v) { return "2*" + v[0] + " " + joined(v, " ", 2); }},
    {"slash", [](const auto& v) { return v[0] + " " + v[1] + "/ " + v[2]; }},
    {"over_two_lines", [](const auto& v) { return v[0] + " " + v[1] + "\n" + joined(v, " ", 2); }},
    {"blank_line_before", [](const auto& v) { return "\n" + joined(v, " "); }},
    {"exponent", [](const auto& v) { return "1.5e2 " + joined(v, " ", 1); }},
    {"plus_sign", [](const auto& v) { return "+" + joined(v, " "); }},
    {"long_value", [](const auto& v) { return v[0] + ".000000 " + joined(v, " ", 1); }},
    {"quoted", [](const auto& v) { return "'" + v[0] + "' " + joined(v, " ", 1); }},
    {"bad_value", [](const auto& v) { return v[0] + " 1.2.3 " + joined(v, " ", 2); }},
    {"lone_cr", [](const auto& v) { return v[0] + "\r " + joined(v, " ", 1); }},
    {"comma_after_last", [](const auto& v) { return joined(v, " ") + ",9"; }},
};

std::vector<std::string> values_of(const std::string& line) {
  std::vector<std::string> v;
  for (std::size_t at = 0; at < line.size();) {
    const std::size_t b = line.find_first_not_of(" \t", at);
    if (b == std::string::npos) break;
    const std::size_t e = std::min(line.find_first_of(" \t", b), line.size());
    v.push_back(line.substr(b, e - b));
    at = e;
  }
  return v;
}

// The index of the first row whose line starts at or after offset.
std::size_t row_from(const std::vector<std::size_t>& starts, std::size_t offset) {
  return static_cast<std::size_t>(std::lower_bound(starts.begin(), starts.end(), offset) - starts.begin());
}

// The row replaced in the first part, in the second, around the line where
// the file splits, around the end of the file's first block, and last; as many rows as lines, and fewer.
TEST(MatrixOnTwoCores, OddRowGivesTheSameMatrixAndReport) {
  for (const auto& [bytes, short_by] : {std::pair{std::size_t{200000}, 0}, {200000, 3}, {kBlock + 150000, 0}}) {
    const std::string plain = random_price_text(5, bytes, 7, short_by, 0);
    std::vector<std::size_t> starts;  // of the rows' lines
    for (std::size_t at = plain.find('\n') + 1; at < plain.size(); at = plain.find('\n', at) + 1)
      starts.push_back(at);
    const std::size_t n = starts.size() - static_cast<std::size_t>(short_by);
    const std::size_t first_window = std::min(plain.size(), kBlock) - starts.front();
    const std::size_t split = row_from(starts, starts.front() + first_window / 100 * units::kFirstPartPercent);
    std::vector<std::size_t> rows = {0, n / 4, 3 * n / 4, n - 1};
    for (std::size_t d = 0; d < 5; ++d) rows.push_back(split - 2 + d);
    if (plain.size() > kBlock) {
      const std::size_t crossing = row_from(starts, kBlock) - 1;
      for (std::size_t d = 0; d < 5; ++d) rows.push_back(crossing - 2 + d);
    }
    for (const std::size_t row : rows) {
      for (const OddRow& odd : kOddRows) {
        SCOPED_TRACE(testing::Message() << odd.name << " in row " << row + 1 << " of " << n);
        const std::size_t end = plain.find('\n', starts[row]);
        const std::string text = plain.substr(0, starts[row]) +
                                 odd.row(values_of(plain.substr(starts[row], end - starts[row]))) +
                                 plain.substr(end);
        EXPECT_TRUE(same(read_matrix_as_the_run(text, Through::File, 2),
                         read_matrix_as_the_run(text, Through::File, 1)));
      }
    }
  }
}

// Values longer than a block grow the buffer; the rows after them are read
// from the grown buffer, with a last line longer than a block kept.
TEST(MatrixOnTwoCores, ValuesLongerThanABlock) {
  // The third runs over the end of a window of the grown buffer by more than a block.
  const std::size_t kLongValues[] = {kBlock + kBlock / 2, 3 * kBlock, 8 * kBlock, kBlock + kBlock / 2};
  std::string rows;
  for (std::uint64_t part = 0; part < 4; ++part) {
    const std::string plain = random_price_text(20 + part, 300000, 7, 0, 0);
    rows += plain.substr(plain.find('\n') + 1);
    rows += std::string(kLongValues[part], '0') + "1.5 2 3 4 5 6 7\n";
  }
  const std::string text = std::to_string(std::count(rows.begin(), rows.end(), '\n')) + " 7\n" + rows;
  const MatrixRead one = read_matrix_as_the_run(text, Through::File, 1);
  // Every row read: the reading stops only at the statement after them.
  EXPECT_NE(one.report.find("end of file encountered: head of the file"), std::string::npos) << one.report;
  EXPECT_TRUE(same(read_matrix_as_the_run(text, Through::File, 2), one));
}

// CR LF line ends, with a CR as the last character of the first block: it
// waits for the next block.
TEST(MatrixOnTwoCores, CrLfAroundTheBlockEnd) {
  const std::string plain = random_price_text(9, kBlock + 200000, 7, 0, 0);
  std::string crlf;
  for (const char c : plain) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  // Blanks before the first row move the CR nearest the block's end onto it.
  const std::size_t cr = crlf.rfind('\r', kBlock - 1);
  for (const std::size_t shift : {kBlock - 1 - cr, kBlock - cr}) {
    SCOPED_TRACE(testing::Message() << "shifted by " << shift);
    std::string text = crlf;
    text.insert(crlf.find('\n') + 1, std::string(shift, ' '));
    EXPECT_TRUE(same(read_matrix_as_the_run(text, Through::File, 2), read_matrix_as_the_run(plain, Through::File, 1)));
  }
}
