// The command line: options that answer the questions in advance (the rows
// of answer_table()) or name the files, and the price file. Every option is
// one row of options().
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "elab/answers.hpp"
#include "elab/sources.hpp"
#include "numtext/vendor_table.hpp"

namespace elab {

struct Invocation {
  enum class Action { run, help, version };
  Action action = Action::run;
  Answers answers;
  std::optional<std::string> price_file;  // "-" is standard input; the first of several
  std::vector<std::string> more_files;    // the price files after the first
  std::string output = "elab.dat";
  std::optional<std::string> dates;  // the day of each record, one a line
  numtext::TableChoice table;        // what a vendor's table cannot settle
  bool check = false;                // list the likely faults of the price file
  // --sources: its file, then its price files after those of the command
  // line, each file's own options at its place among them (none for the
  // command line's).
  std::optional<std::string> sources_file;
  std::vector<std::optional<Source>> file_options;
  bool strict = false;               // what --check finds in the days taken fails a run
  bool csv = false;                  // the records as CSV rows instead of fixed columns
  int jobs = 0;                      // price files run at a time; 0: the processors usable
};

// A command line that cannot be run: the text that follows "elab: ".
struct UsageError {
  std::string message;
};

// One option. A value's name marks an option that takes a value; take
// stores it, false when the value is refused.
struct Option {
  std::string_view name;  // the long name, without "--"
  char short_name;        // '\0' when there is none
  OptionText text;
  bool (*take)(Invocation& inv, std::string_view value);
  const AnswerSpec* answer = nullptr;  // an answer's row: its take instead
};

std::span<const Option> options();

// Whether the option is followed by a value.
bool takes_value(const Option& option);

// The arguments after the program's name, each option and operand read;
// what needs the rules of many files or of the sets is checked by
// command_line(). Throws UsageError.
Invocation parse_command_line(std::span<const std::string_view> args);

}  // namespace elab
