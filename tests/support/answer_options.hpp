// Typed answers carried over to options, to run a dialogue both ways: the
// same answers typed and given on the command line must give the same
// training file, count and status.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/run_process.hpp"

namespace elab_test {

// The command line that gives the first `given` of the typed answers (all of
// them by default) as options, and the answers still to be typed; nullopt
// unless every answer is a single value on a line of its own, accepted at
// once (no question asked again, no null answer).
struct Carried {
  std::vector<std::string> options;
  std::string typed;
};

// YYYY-MM-DD of a key of a day from 1900 on; anything else as it is.
inline std::string iso_date_of_key(const std::string& key) {
  if (key.empty() || key.find_first_not_of("0123456789") != std::string::npos || key.size() > 9) return key;
  const long k = std::stol(key);
  const int year = static_cast<int>(1900 + k / 10000), month = static_cast<int>(k / 100 % 100),
            day = static_cast<int>(k % 100);
  if (month < 1 || month > 12 || day < 1 || day > 28) return key;  // every month has 28 days
  char iso[16];
  std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", year, month, day);
  return iso;
}

inline std::optional<Carried> carried_to_options(const std::string& typed, std::size_t given = 7) {
  std::vector<std::string> lines;
  std::vector<std::string> raw;
  for (std::size_t at = 0; at < typed.size();) {
    const std::size_t end = typed.find('\n', at);
    if (end == std::string::npos) return std::nullopt;
    raw.push_back(typed.substr(at, end + 1 - at));
    std::string line = typed.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.find_first_not_of("+-0123456789.") != std::string::npos) return std::nullopt;
    lines.push_back(line);
    at = end + 1;
  }
  const bool all_rows = !lines.empty() && lines[0] == "-1";
  if (lines.size() != (all_rows ? 6u : 7u)) return std::nullopt;
  const std::size_t first = all_rows ? 1 : 2;  // the variable's line
  const auto whole = [&](std::size_t k, int lo, int hi) {
    return lines[k].find('.') == std::string::npos && std::stoi(lines[k]) >= lo &&
           std::stoi(lines[k]) <= hi;
  };
  const int day = std::stoi(lines[first + 4]);
  if (!whole(first, 1, 11) || !whole(first + 2, 0, 1) || !whole(first + 3, 0, 1) ||
      !whole(first + 4, -1, 6) || day == 1) {
    return std::nullopt;
  }
  const std::map<int, std::string> days = {{-1, "dummies"}, {0, "monday-flag"}, {2, "mon"},
                                           {3, "tue"},      {4, "wed"},         {5, "thu"},
                                           {6, "fri"}};
  const auto yes_no = [&](std::size_t k) { return lines[k] == "1" ? "yes" : "no"; };
  // Both spellings, --opt=value and --opt value; the first date as an ISO
  // date where it is a key of a real day, the last one as typed.
  std::vector<std::vector<std::string>> answers = {
      {all_rows ? "--from=all" : "--from=" + iso_date_of_key(lines[0])}};
  if (!all_rows) answers.push_back({"--to", lines[1]});
  answers.push_back({"--variable", lines[first]});
  answers.push_back({"--coefficient=" + lines[first + 1]});
  answers.push_back({std::string("--screen-output=") + yes_no(first + 2)});
  answers.push_back({"--screen-inputs", yes_no(first + 3)});
  answers.push_back({"--days=" + days.at(day)});
  Carried c;
  for (std::size_t k = 0; k < answers.size(); ++k) {
    if (k < given) {
      c.options.insert(c.options.end(), answers[k].begin(), answers[k].end());
    } else {
      c.typed += raw[k];
    }
  }
  return c;
}

// The run of typed_run again, its answers given as options: all of them with
// the prices on standard input, and the first three with the price file
// named and the rest typed. The console shows only the questions typed.
// False when the answers cannot be carried over.
inline bool expect_same_with_options(const std::string& prices, const std::string& typed,
                                     const RunResult& typed_run) {
  const auto all = carried_to_options(typed);
  if (!all) return false;
  TempDir dir;
  std::vector<std::string> args = all->options;
  args.push_back("-");
  const auto r = run_in(dir, args, prices);
  EXPECT_EQ(r.status, typed_run.status);
  EXPECT_EQ(r.err, typed_run.err);
  EXPECT_EQ(r.elab, typed_run.elab);
  EXPECT_TRUE(r.out.starts_with("Record scritti:") && typed_run.out.ends_with(r.out)) << r.out;

  const auto some = carried_to_options(typed, 3);
  TempDir named;
  named.write("prices.txt", prices);
  args = some->options;
  args.push_back("prices.txt");
  const auto m = run_in(named, args, some->typed);
  EXPECT_EQ(m.status, typed_run.status);
  EXPECT_EQ(m.elab, typed_run.elab);
  EXPECT_TRUE(typed_run.out.ends_with(m.out)) << m.out;
  return true;
}

}  // namespace elab_test
