// Attaching a file to a unit: the name (from the command line or asked at
// the console when it was left blank) and the opening itself.
#pragma once

#include <string>

#include "platform/os.hpp"

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

// The price file: an existing file for reading and writing, else read-only,
// else write-only; a pipe or a device read-only, as a stream. A missing file
// is not created. Throws IoFailure 6414 or 6416.
platform::Handle open_price_file(const std::string& name);

// The training file: as the price file, but a directory is refused, and a
// missing one is not created: its handle is kNoHandle once a file could be
// made there. Nothing is removed from an existing file.
platform::Opened open_training_file(const std::string& name);

}  // namespace units
