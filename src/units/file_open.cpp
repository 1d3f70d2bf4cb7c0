#include "units/file_open.hpp"

#include "units/console.hpp"
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

platform::Handle open_price_file(const std::string& name) {
  // Opened for writing too, a pipe would hold its own write end open and
  // never see its end.
  const platform::Opened file = platform::kind_of(name) == platform::Kind::stream
                                    ? platform::open_read_only(name)
                                    : platform::open_with_fallbacks(name, false);
  if (file.handle == platform::kNoHandle) throw failure_of(file.error, Statement::Open);
  return file.handle;
}

platform::Opened open_training_file(const std::string& name) {
  platform::Opened file = platform::open_with_fallbacks(name, false);
  if (file.handle == platform::kNoHandle && file.error == platform::Error::not_found) {
    // Nothing there yet: made only by a run that succeeds. A file made and
    // removed at once tells now whether it could be.
    platform::Place place = platform::place_of(name);
    if (place.directory == platform::kNoHandle) {
      file = platform::open_with_fallbacks(name, true);
    } else {
      const platform::Temporary probe = platform::create_temporary(place, platform::kNoHandle);
      if (probe.handle != platform::kNoHandle) {
        (void)platform::close(probe.handle);
        platform::remove_temporary(probe);
        file.error = platform::Error::none;
      } else {
        file.error = probe.error;
      }
      platform::close_place(place);
      if (file.error == platform::Error::none) return file;
    }
  }
  if (file.handle == platform::kNoHandle) throw failure_of(file.error, Statement::Open);
  if (platform::kind_of(file.handle) == platform::Kind::directory) {
    (void)platform::close(file.handle);
    throw IoFailure{fnum::kAccessDenied};
  }
  return file;
}

}  // namespace units
