// The command line's parser on its own: each way of spelling a value, the
// bundles, the end of the options, --check and standard input; and the
// answers' table it is made from. The refusals, run whole, are
// e2e_dialogue_test's Usage table.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/options.hpp"
#include "support/option_docs.hpp"
#include "support/temp_dir.hpp"

namespace {
using elab::Invocation;

// What a command line gave, as one text of the fields a case looks at.
std::string parsed(const std::vector<std::string_view>& args) {
  Invocation inv;
  try {
    inv = elab::command_line(args);
  } catch (const elab::UsageError& e) {
    return "usage error: " + e.message;
  }
  if (inv.action != Invocation::Action::run) return inv.action == Invocation::Action::help ? "help" : "version";
  const auto opt = [](const auto& v) { return v ? std::to_string(*v).substr(0, 7) : std::string("-"); };
  const elab::Answers& a = inv.answers;
  return "file=" + inv.price_file.value_or("(asked)") + " out=" + inv.output +
         (inv.dates ? " dates=" + *inv.dates : "") + (inv.table.close ? " close=" + *inv.table.close : "") +
         (inv.check ? " check" : "") + " answers=" + opt(a.from) + "," + opt(a.to) + "," +
         opt(a.variable) + "," + opt(a.coefficient) + "," + opt(a.screen_output) + "," +
         opt(a.screen_inputs) + "," + opt(a.days) + (a.test_from ? " test-from=" + opt(a.test_from) : "");
}

struct Case {
  std::vector<std::string_view> args;
  std::string expected;
};

TEST(CommandLine, EachSpellingOfAnOptionAndAnOperand) {
  // Every answer, then more.
  auto with = [](std::vector<std::string_view> more) {
    more.insert(more.begin(), {"--from=all", "--variable=11", "--coefficient=2.5", "--screen-output=yes",
                               "--screen-inputs=0", "--days=tue"});
    return more;
  };
  const Case cases[] = {
      {{}, "file=(asked) out=elab.dat answers=-,-,-,-,-,-,-"},
      {{"p.txt"}, "file=p.txt out=elab.dat answers=-,-,-,-,-,-,-"},
      {{"-oFILE", "p.txt"}, "file=p.txt out=FILE answers=-,-,-,-,-,-,-"},
      {{"-o", "FILE", "p.txt"}, "file=p.txt out=FILE answers=-,-,-,-,-,-,-"},
      {{"--output=FILE", "p.txt"}, "file=p.txt out=FILE answers=-,-,-,-,-,-,-"},
      {{"--output", "FILE", "p.txt"}, "file=p.txt out=FILE answers=-,-,-,-,-,-,-"},
      {{"--output=a=b", "p.txt"}, "file=p.txt out=a=b answers=-,-,-,-,-,-,-"},
      {{"-o", "-x", "p.txt"}, "file=p.txt out=-x answers=-,-,-,-,-,-,-"},
      {{"-o-", "p.txt"}, "file=p.txt out=- answers=-,-,-,-,-,-,-"},
      {{"-oh", "p.txt"}, "file=p.txt out=h answers=-,-,-,-,-,-,-"},  // a value ends the bundle
      {{"-ho", "p.txt"}, "help"},              // a flag ends the parse
      {{"--version", "--bogus"}, "version"},
      {{"p.txt", "-h"}, "help"},
      {{"--", "-h"}, "file=-h out=elab.dat answers=-,-,-,-,-,-,-"},
      {{"--", "--", "x"}, "usage error: several price files need '{name}' in --output (-o 'out/{name}.dat'), or --format=csv for one dataset"},
      {{"-o", "o.dat", "--", "-"}, "usage error: price file '-' is standard input: the answers need their "
                                   "options (missing: --from --variable --coefficient --screen-output "
                                   "--screen-inputs --days)"},
      {{"--dates", "d.txt", "--close", "Adj Close", "p.csv"}, "file=p.csv out=elab.dat dates=d.txt close=Adj Close answers=-,-,-,-,-,-,-"},
      {{"--check", "-"}, "file=- out=elab.dat check answers=-,-,-,-,-,-,-"},
      {{"--check", "p.txt", "-o", "p.txt"}, "file=p.txt out=p.txt check answers=-,-,-,-,-,-,-"},
      {{"--from=1995-01-03", "--to", "0", "p.txt"}, "file=p.txt out=elab.dat answers=950103,0,-,-,-,-,-"},
      {{"--from=0", "--to=1190601", "p.txt"}, "file=p.txt out=elab.dat answers=0,1190601,-,-,-,-,-"},
      {{"--test-from=1996-01-02", "-o", "{set}.dat", "p.txt"}, "file=p.txt out={set}.dat answers=-,-,-,-,-,-,- test-from=960102"},
      {{"--test-from", "1960102", "--format=csv", "p.txt"}, "file=p.txt out=elab.dat answers=-,-,-,-,-,-,- test-from=1960102"},
      {with({"-"}), "file=- out=elab.dat answers=-1,-,11,2.50000,1,0,3"},
      {with({"--days=dummies", "--days", "-1", "-"}), "file=- out=elab.dat answers=-1,-,11,2.50000,1,0,-1"},
      {with({"--from=0", "-"}), "usage error: price file '-' is standard input: the answers need their options "
                                "(missing: --to)"},
      {with({"--from=0", "--to=0", "--days=monday-flag", "-"}), "file=- out=elab.dat answers=0,0,11,2.50000,1,0,0"},
  };
  for (const Case& c : cases) EXPECT_EQ(parsed(c.args), c.expected) << c.args.size() << " arguments";
}

// The options are the table's answers, in the order of the questions, then
// the others; each answer's row reads what its option reads.
TEST(CommandLine, TheAnswerOptionsAreTheTablesRows) {
  const auto table = elab::answer_table();
  const auto options = elab::options();
  ASSERT_GT(options.size(), table.size());
  for (std::size_t k = 0; k < table.size(); ++k) {
    SCOPED_TRACE(std::string(table[k].option));
    EXPECT_EQ(options[k].name, table[k].option);
    EXPECT_EQ(options[k].answer, &table[k]);
    EXPECT_EQ(&elab::answer_spec(table[k].question), &table[k]);
    EXPECT_EQ(elab::answer_of_option(table[k].option), &table[k]);
    EXPECT_EQ(elab::answer_of_keyword(table[k].keyword), &table[k]);
  }
  for (std::size_t k = table.size(); k < options.size(); ++k)
    EXPECT_EQ(elab::answer_of_option(options[k].name), nullptr) << options[k].name;
}

// The manual page and the guide describe each option in the words of its
// row, made by support/option_docs.hpp; a failure prints the text to paste.
TEST(OptionDocs, ThePageAndTheGuideHoldTheTablesWords) {
  const struct {
    const char* doc;
    std::string text;
  } docs[] = {{"doc/elab.1", elab_test::man_options()}, {"doc/guide.md", elab_test::guide_options()}};
  for (const auto& d : docs) {
    const std::string held = elab_test::read_file(std::string(ELAB_SOURCE_DIR) + "/" + d.doc);
    EXPECT_NE(held.find(d.text), std::string::npos) << d.doc << " lacks, word for word:\n" << d.text;
  }
}

}  // namespace
