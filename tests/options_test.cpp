// The command line's parser on its own: each way of spelling a value, the
// bundles, the end of the options, --check and standard input; and the
// answers' table it is made from. The refusals, run whole, are
// e2e_dialogue_test's Usage table.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "cli/options.hpp"

namespace {

using prep::Invocation;

// What a command line gave, as one text: the fields a case looks at.
std::string parsed(std::vector<std::string_view> args) {
  Invocation inv;
  try {
    inv = prep::parse_command_line(args);
  } catch (const prep::UsageError& e) {
    return "usage error: " + e.message;
  }
  const auto opt = [](const auto& v) { return v ? std::to_string(*v) : std::string("-"); };
  std::string s;
  if (inv.action == Invocation::Action::help) return "help";
  if (inv.action == Invocation::Action::version) return "version";
  s += "file=" + inv.price_file.value_or("(asked)") + " out=" + inv.output;
  if (inv.dates) s += " dates=" + *inv.dates;
  if (inv.close) s += " close=" + *inv.close;
  if (inv.check) s += " check";
  const prep::Answers& a = inv.answers;
  if (a.from || a.to || a.variable || a.coefficient || a.screen_output || a.screen_inputs || a.days) {
    s += " answers=" + opt(a.from) + "," + opt(a.to) + "," + opt(a.variable) + "," +
         (a.coefficient ? std::to_string(*a.coefficient).substr(0, 4) : std::string("-")) + "," +
         opt(a.screen_output) + "," + opt(a.screen_inputs) + "," + opt(a.days);
  }
  return s;
}

struct Case {
  std::vector<std::string_view> args;
  std::string expected;
};

TEST(CommandLine, EachSpellingOfAnOptionAndAnOperand) {
  const std::vector<std::string_view> all = {"--from=all",        "--variable=11",      "--coefficient=2.5",
                                             "--screen-output=yes", "--screen-inputs=0", "--days=tue"};
  auto with = [&](std::vector<std::string_view> more) {
    std::vector<std::string_view> args = all;
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  const Case cases[] = {
      {{}, "file=(asked) out=elab.dat"},
      {{"p.txt"}, "file=p.txt out=elab.dat"},
      {{"-oFILE", "p.txt"}, "file=p.txt out=FILE"},
      {{"-o", "FILE", "p.txt"}, "file=p.txt out=FILE"},
      {{"--output=FILE", "p.txt"}, "file=p.txt out=FILE"},
      {{"--output", "FILE", "p.txt"}, "file=p.txt out=FILE"},
      {{"--output=a=b", "p.txt"}, "file=p.txt out=a=b"},
      {{"-o", "-x", "p.txt"}, "file=p.txt out=-x"},
      {{"-o-", "p.txt"}, "file=p.txt out=-"},
      {{"-oh", "p.txt"}, "file=p.txt out=h"},  // a value ends the bundle
      {{"-ho", "p.txt"}, "help"},              // a flag ends the parse
      {{"--version", "--bogus"}, "version"},
      {{"p.txt", "-h"}, "help"},
      {{"--", "-h"}, "file=-h out=elab.dat"},
      {{"--", "--", "x"}, "usage error: extra operand 'x'"},
      {{"-o", "o.dat", "--", "-"}, "usage error: price file '-' is standard input: the answers need their "
                                   "options (missing: --from --variable --coefficient --screen-output "
                                   "--screen-inputs --days)"},
      {{"--dates", "d.txt", "--close", "Adj Close", "p.csv"}, "file=p.csv out=elab.dat dates=d.txt close=Adj Close"},
      {{"--check", "-"}, "file=- out=elab.dat check"},
      {{"--check", "p.txt", "-o", "p.txt"}, "file=p.txt out=p.txt check"},
      {{"--from=1995-01-03", "--to", "0", "p.txt"}, "file=p.txt out=elab.dat answers=950103,0,-,-,-,-,-"},
      {{"--from=0", "--to=1190601", "p.txt"}, "file=p.txt out=elab.dat answers=0,1190601,-,-,-,-,-"},
      {with({"-"}), "file=- out=elab.dat answers=-1,-,11,2.50,1,0,3"},
      {with({"--days=dummies", "--days", "-1", "-"}), "file=- out=elab.dat answers=-1,-,11,2.50,1,0,-1"},
      {with({"--from=0", "-"}), "usage error: price file '-' is standard input: the answers need their options "
                                "(missing: --to)"},
      {with({"--from=0", "--to=0", "--days=monday-flag", "-"}), "file=- out=elab.dat answers=0,0,11,2.50,1,0,0"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (std::string_view a : c.args) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    EXPECT_EQ(parsed(c.args), c.expected);
  }
}

// The options are the table's answers, in the order of the questions, then
// the others; each answer's row reads what its option reads.
TEST(CommandLine, TheAnswerOptionsAreTheTablesRows) {
  const auto table = prep::answer_table();
  const auto options = prep::options();
  ASSERT_GT(options.size(), table.size());
  for (std::size_t k = 0; k < table.size(); ++k) {
    SCOPED_TRACE(std::string(table[k].option));
    EXPECT_EQ(options[k].name, table[k].option);
    EXPECT_EQ(options[k].answer, &table[k]);
    EXPECT_EQ(&prep::answer_spec(table[k].question), &table[k]);
    EXPECT_EQ(prep::answer_of_option(table[k].option), &table[k]);
    EXPECT_EQ(prep::answer_of_keyword(table[k].keyword), &table[k]);
  }
  for (std::size_t k = table.size(); k < options.size(); ++k)
    EXPECT_EQ(prep::answer_of_option(options[k].name), nullptr) << options[k].name;
}

}  // namespace
