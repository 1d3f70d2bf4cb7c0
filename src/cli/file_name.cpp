#include "cli/file_name.hpp"

#include "cli/console.hpp"
#include "units/io_failure.hpp"

namespace units {

bool CommandLine::next(std::string& arg) {
  if (next_ >= argc_) return false;
  arg = argv_[next_++];
  return true;
}

std::string trim_blanks(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t b = 0, e = s.size();
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

std::string obtain_file_name(int unit, CommandLine& args, Console& console) {
  std::string name;
  if (args.next(name)) {
    name = trim_blanks(name);
    if (!name.empty()) return name;
  } else if (console.line_pending()) {
    console.write_direct("\r\n");
  }
  const std::string question = "File name missing or blank - please enter file name\r\nUNIT " +
                               std::to_string(unit) + "? ";
  while (name.empty()) {
    console.write_direct(question);
    std::string line;
    if (!console.source().name_line(line, kLongestTypedName)) throw IoFailure{fnum::kEndOfFile};
    if (!line.empty() && line.back() == '\x1a') throw IoFailure{fnum::kEndOfFile};
    name = trim_blanks(line);
  }
  return name;
}

}  // namespace units
