// Attaching a file to a unit: the name (from the command line or asked at
// the console when it was left blank) and the opening itself.
#pragma once

#include <string>

#include "platform/os.hpp"

namespace textio {

class Console;

inline constexpr std::size_t kMaxFileName = 260;

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
// the console input ends while the name is being asked.
std::string obtain_file_name(int unit, CommandLine& args, Console& console);

// Opens an existing file or creates it empty, for reading and writing, else
// read-only, else write-only, positioned at its start; nothing is removed.
// Throws IoFailure 6414 or 6416.
platform::Handle open_unit_file(const std::string& name);

}  // namespace textio
