// The name of a file attached to a unit: from the command line, or asked at
// the console when it was left blank.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace units {

class Console;

// Longest typed name kept: far beyond what a system accepts, so a longer
// one is refused at its open all the same.
inline constexpr std::size_t kLongestTypedName = std::size_t{1} << 16;

// The run's command-line arguments after the program name, with a cursor
// that only the asking for a missing file name moves.
class CommandLine {
 public:
  CommandLine(int argc, char** argv) : argc_(argc), argv_(argv) {}
  bool next(std::string& arg);

 private:
  int argc_;
  char** argv_;
  int next_ = 1;
};

// Leading and trailing blanks removed.
std::string trim_blanks(std::string_view s);

// The name of a unit opened with a blank name. Throws IoFailure 6501 when
// the console input ends while the name is being asked, or the typed line
// ends in Ctrl-Z.
std::string obtain_file_name(int unit, CommandLine& args, Console& console);

}  // namespace units
