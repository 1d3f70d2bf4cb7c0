// A training and a test set from one run (--test-from): the training set is
// the run over the rows before the date alone, the test set the whole run's
// records of its days, its screening the training set's; no close on or
// after the date reaches the training set.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "elab/prepare.hpp"
#include "support/prices.hpp"
#include "support/run_process.hpp"

namespace {

using namespace elab_test;

const std::vector<PriceRow> kRows = random_walk(11, 420);
constexpr std::size_t kFirstTest = 250;  // the row of the test date, from 0
const std::string kDate = iso_date(kRows[kFirstTest]);

struct SplitCase {
  const char* name;
  int variable;  // of horizon 1, 20, 5 and 20 days
  bool screen_output, screen_inputs;
};

std::vector<std::string> answers(const SplitCase& c, bool screened = true) {
  return {"--variable=" + std::to_string(c.variable), "--coefficient=1.5",
          std::string("--screen-output=") + (screened && c.screen_output ? "yes" : "no"),
          std::string("--screen-inputs=") + (screened && c.screen_inputs ? "yes" : "no"), "--days=dummies"};
}

// The records of a run, each led by its day: "YYYY-MM-DD|record".
std::vector<std::string> dated(const std::string& dat, const std::string& days) {
  std::vector<std::string> lines;
  for (std::size_t a = 0, b = 0; a < dat.size() && b < days.size();) {
    const std::size_t ea = dat.find('\n', a), eb = days.find('\n', b);
    lines.push_back(days.substr(b, 10) + "|" + dat.substr(a, ea - a));
    a = ea + 1;
    b = eb + 1;
  }
  return lines;
}

struct Sets {
  std::vector<std::string> train, test;
  std::string train_dat, train_days;
};

// The two sets of one run over rows.
Sets split_run(const std::vector<PriceRow>& rows, const SplitCase& c) {
  TempDir dir;
  dir.write("p.txt", format_prices(rows));
  std::vector<std::string> args = answers(c);
  args.insert(args.end(), {"--from=all", "--test-from=" + kDate, "-o", "{set}.dat", "--dates={set}.days", "p.txt"});
  const auto r = run_in(dir, args, "");
  EXPECT_EQ(r.status, 0) << r.err;
  Sets s;
  s.train_dat = dir.read("train.dat").value_or("none");
  s.train_days = dir.read("train.days").value_or("none");
  s.train = dated(s.train_dat, s.train_days);
  s.test = dated(dir.read("test.dat").value_or(""), dir.read("test.days").value_or(""));
  return s;
}

// elab.dat and the days of one run with the range given.
std::pair<std::string, std::string> plain_run(const SplitCase& c, std::vector<std::string> range, bool screened) {
  TempDir dir;
  dir.write("p.txt", format_prices(kRows));
  std::vector<std::string> args = answers(c, screened);
  range.insert(range.end(), {"--dates=days", "p.txt"});
  args.insert(args.end(), range.begin(), range.end());
  const auto r = run_in(dir, args, "");
  EXPECT_EQ(r.status, 0) << r.err;
  return {r.elab.value_or("none"), dir.read("days").value_or("none")};
}

class Split : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Split, TrainingAsTheRunBeforeTheDateTestAsTheWholeRun) {
  const SplitCase& c = GetParam();
  const Sets s = split_run(kRows, c);
  ASSERT_FALSE(s.train.empty());
  ASSERT_FALSE(s.test.empty());

  const auto before = plain_run(c, {"--from=0", "--to=" + iso_date(kRows[kFirstTest - 1])}, true);
  EXPECT_EQ(s.train_dat, before.first);
  EXPECT_EQ(s.train_days, before.second);

  // Unscreened, the whole run's records of the test days.
  const auto whole = plain_run(c, {"--from=all"}, false);
  std::vector<std::string> whole_test;
  for (const std::string& line : dated(whole.first, whole.second)) {
    if (line.substr(0, 10) >= kDate) whole_test.push_back(line);
  }
  if (!c.screen_inputs) {
    EXPECT_EQ(s.test, whole_test);
    EXPECT_EQ(s.test.front().substr(0, 10), kDate) << "the first row on or after the date";
  } else {
    const std::set<std::string> all(whole_test.begin(), whole_test.end());
    for (const std::string& line : s.test) EXPECT_TRUE(all.contains(line)) << line;
  }

  // A close far out near the end reaches no training record, and no test
  // record more than 25 rows before it.
  std::vector<PriceRow> changed = kRows;
  const std::size_t far = kRows.size() - 8;
  changed[far].close *= 5;
  const Sets t = split_run(changed, c);
  EXPECT_EQ(t.train_dat, s.train_dat);
  EXPECT_EQ(t.train_days, s.train_days);
  const std::string unreached = iso_date(kRows[far - 25]);
  const auto early = [&](const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
      if (line.substr(0, 10) < unreached) out.push_back(line);
    }
    return out;
  };
  EXPECT_EQ(early(t.test), early(s.test));
  // Only a 20-day value reaches from the last record (8 + 20 rows from the
  // end) to the close, where the screening leaves the last records.
  if ((c.variable == 4 || c.variable == 11) && !c.screen_inputs) {
    EXPECT_NE(t.test, s.test);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Split,
    ::testing::Values(SplitCase{"Var1", 1, false, false}, SplitCase{"Var1Output", 1, true, false},
                      SplitCase{"Var1Inputs", 1, false, true}, SplitCase{"Var1Both", 1, true, true},
                      SplitCase{"Var4", 4, false, false}, SplitCase{"Var4Output", 4, true, false},
                      SplitCase{"Var4Inputs", 4, false, true}, SplitCase{"Var4Both", 4, true, true},
                      SplitCase{"Var9", 9, false, false}, SplitCase{"Var9Output", 9, true, false},
                      SplitCase{"Var9Inputs", 9, false, true}, SplitCase{"Var9Both", 9, true, true},
                      SplitCase{"Var11", 11, false, false}, SplitCase{"Var11Output", 11, true, false},
                      SplitCase{"Var11Inputs", 11, false, true}, SplitCase{"Var11Both", 11, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// One CSV file holds both sets, Set after Date: the training set's lines are
// the CSV of the run before the date, the test set's the whole run's of its
// days.
TEST(SplitCsv, BothSetsInOneFileByTheirSetColumn) {
  const SplitCase c{"Var11Output", 11, true, false};
  TempDir dir;
  dir.write("p.txt", format_prices(kRows));
  std::vector<std::string> args = answers(c);
  args.insert(args.end(), {"--from=all", "--test-from=" + kDate, "--format=csv", "-o", "both.csv", "p.txt"});
  ASSERT_EQ(run_in(dir, args, "").status, 0);
  const std::string both = dir.read("both.csv").value_or("");
  const auto csv_of = [&](std::vector<std::string> range, bool screened) {
    std::vector<std::string> run = answers(c, screened);
    range.insert(range.end(), {"--format=csv", "-o", "one.csv", "p.txt"});
    run.insert(run.end(), range.begin(), range.end());
    EXPECT_EQ(run_in(dir, run, "").status, 0);
    return dir.read("one.csv").value_or("");
  };
  const std::string before = csv_of({"--from=0", "--to=" + iso_date(kRows[kFirstTest - 1])}, true);
  const std::string whole = csv_of({"--from=all"}, false);
  std::string expected = "Series,Date,Set" + before.substr(11, before.find('\n') - 10);
  const auto add = [&](const std::string& csv, const std::string& set, bool test_days) {
    for (std::size_t at = csv.find('\n') + 1; at < csv.size(); at = csv.find('\n', at) + 1) {
      at += 2;  // "p," of the Series column
      if ((csv.substr(at, 10) >= kDate) != test_days) continue;
      expected += "p," + csv.substr(at, 10) + "," + set + csv.substr(at + 10, csv.find('\n', at) + 1 - at - 10);
    }
  };
  add(before, "train", false);
  add(whole, "test", true);
  EXPECT_EQ(both, expected);
}

// A date that leaves too few training rows, or no test record: the dates
// that would do.
TEST(SplitDate, RefusedNamingTheDatesThatDo) {
  const std::string dates = "; a test date after " + iso_date(kRows[109]) + " and not after " +
                            iso_date(kRows[kRows.size() - 21]) + " would do\r\n";
  const struct {
    std::string date, message;
  } cases[] = {
      {iso_date(kRows[109]), "the date leaves 109 training rows, a run needs 110"},
      {iso_date(kRows[kRows.size() - 20]), "the date leaves no test row with 20 rows after it"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.write("p.txt", format_prices(kRows));
    const auto r = run_in(dir, {"--from=all", "--variable=1", "--coefficient=2", "--screen-output=no",
                                "--screen-inputs=no", "--days=0", "--test-from=" + c.date, "-o", "{set}", "p.txt"},
                          "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "elab: --test-from: " + c.message + dates);
    EXPECT_FALSE(dir.read("train") || dir.read("test"));
  }
}

// Any close on or after the date, changed by any factor, leaves the
// training set's bytes as they were.
TEST(SplitProperty, NoCloseFromTheDateOnReachesTheTrainingSet) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 40; ++round) {
    const std::vector<PriceRow> rows = random_walk(100 + static_cast<std::uint64_t>(round), 300);
    elab::PriceTable table;
    for (const PriceRow& r : rows) {
      table.dates.push_back({r.year, r.month, r.day});
      table.closes.push_back(r.close);
    }
    const std::size_t first_test = std::uniform_int_distribution<std::size_t>(110, 279)(random);
    elab::Request request;
    request.answers = {-1, std::nullopt, std::uniform_int_distribution<int>(1, 11)(random), 1.0f + round % 3,
                       round % 2, round / 2 % 2, -1, 0};
    const PriceRow& d = rows[first_test];
    request.answers.test_from = (d.year - 1900) * 10000 + d.month * 100 + d.day;
    request.table = table;
    const elab::Result before = elab::prepare(request);
    const std::size_t at = std::uniform_int_distribution<std::size_t>(first_test, rows.size() - 1)(random);
    request.table->closes[at] *= std::uniform_real_distribution<double>(0.2, 5.0)(random);
    const elab::Result after = elab::prepare(request);
    EXPECT_EQ(after.text, before.text) << "round " << round << ": row " << at << " of test row " << first_test;
    ASSERT_TRUE(after.test && before.test);
    EXPECT_EQ(after.days, before.days);
  }
}

}  // namespace
