// Golden runs on the example price file (and its CSV): the training files were checked by
// hand (first records recomputed from the closes) and are kept in golden/.
#include <gtest/gtest.h>

#include <string>

#include "support/answer_options.hpp"
#include "support/dialogue.hpp"
#include "support/prices.hpp"
#include "support/run_process.hpp"
#include "support/threads_asked.hpp"

namespace {

using namespace elab_test;

struct GoldenCase {
  const char* name;
  std::string answers;
  bool two_dates;
  int records;
};

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, MatchesStoredTrainingFile) {
  const auto& c = GetParam();
  const std::string golden =
      read_file(source_dir() + "/tests/golden/prices_" + std::string(c.name) + ".dat");
  ASSERT_FALSE(golden.empty());
  TempDir dir;
  dir.write("prices.txt", read_file(source_dir() + "/examples/prices.txt"));
  // The vendor's CSV of the same days gives the same run.
  dir.write("prices.csv", read_file(source_dir() + "/examples/prices.csv"));
  // The same run on one thread.
  for (const char* threads : {static_cast<const char*>(nullptr), "1"})
  for (const char* prices : {"prices.txt", "prices.csv"}) {
    SCOPED_TRACE(threads == nullptr ? "threads as usable" : "one thread");
    SCOPED_TRACE(prices);
    const ThreadsAsked asked(threads);
    dir.write("elab.dat", "from an earlier run\r\n");
    const auto r = run_in(dir, {prices}, c.answers);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, normal_transcript(c.two_dates, c.records));
    ASSERT_TRUE(r.elab.has_value());
    EXPECT_EQ(*r.elab, golden);
    EXPECT_TRUE(
        expect_same_with_options(read_file(source_dir() + "/examples/prices.txt"), c.answers, r));
  }
  bool ok = false;
  EXPECT_EQ(static_cast<int>(split_records(golden, ok).size()), c.records);
  EXPECT_TRUE(ok);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Golden,
    ::testing::Values(
        // all rows, 1-day change, no screening, Monday flag: 400 - 109 records
        GoldenCase{"readme", "-1\n1\n2\n0\n0\n0\n", false, 291},
        // 20-day mean change, both screenings at 3, five dummies
        GoldenCase{"dummies", "-1\n11\n3\n1\n1\n-1\n", false, 286},
        // from June 1995, sign of the 5-day change screened at 2, Tuesdays only
        GoldenCase{"tuesdays", "950601\n0\n6\n2\n1\n0\n3\n", true, 36},
        // up to the end of 1999, 5-day mean change, inputs screened at 1.5
        GoldenCase{"nineties", "0\n0\n9\n1.5\n0\n1\n0\n", true, 97}),
    [](const auto& info) { return std::string(info.param.name); });

// The same answers typed through the file-name question, with CR LF lines.
TEST(Golden, AskedFileNameAndCrLfAnswers) {
  TempDir dir;
  dir.write("prices.txt", read_file(source_dir() + "/examples/prices.txt"));
  const auto r = run_in(dir, {}, "prices.txt\r\n-1\r\n11\r\n3\r\n1\r\n1\r\n-1\r\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kNamePrompt + normal_transcript(false, 286));
  EXPECT_EQ(r.elab, std::optional<std::string>(
                        read_file(source_dir() + "/tests/golden/prices_dummies.dat")));
}

}  // namespace
