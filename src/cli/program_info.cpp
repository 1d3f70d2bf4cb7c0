#include "cli/program_info.hpp"

#include <algorithm>
#include <string>
#include <string_view>

#include "numtext/messages.hpp"

namespace elab {
namespace {

void write_line(units::Console& console, std::string_view line) {
  std::string record = " ";  // carriage control
  record += line;
  console.write_record(record);
}

// A text of the messages' table, a record a line.
void write_lines(units::Console& console, std::string_view text) {
  for (;;) {
    const std::size_t end = text.find('\n');
    write_line(console, text.substr(0, end));
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

// "  -o, --output=FILE   help", the help's further lines under its first.
void write_option(units::Console& console, const Option& o, std::size_t language) {
  constexpr std::size_t kHelpColumn = 29;
  std::string line = "  ";
  line += o.short_name != '\0' ? std::string("-") + o.short_name + ", " : "    ";
  line += "--";
  line += o.name;
  if (takes_value(o)) {
    line += '=';
    line += o.text.value_name[language];
  }
  std::string_view help = o.text.help[language];
  for (;;) {
    line.resize(std::max(line.size() + 1, kHelpColumn), ' ');
    const std::size_t end = help.find('\n');
    line += help.substr(0, end);
    write_line(console, line);
    if (end == std::string_view::npos) return;
    help.remove_prefix(end + 1);
    line.clear();
  }
}

}  // namespace

void write_usage(units::Console& console) {
  using numtext::Msg;
  write_lines(console, numtext::message(Msg::usage_head));
  write_line(console, "");
  write_lines(console, numtext::message(Msg::usage_options));
  const auto language = static_cast<std::size_t>(numtext::language());
  for (const Option& o : options()) write_option(console, o, language);
  write_line(console, "");
  write_lines(console, numtext::message(Msg::usage_tail));
}

void write_version(units::Console& console) { write_line(console, "elab " ELAB_VERSION); }

std::string usage_error_text(const UsageError& error) {
  return "elab: " + error.message + "\r\n" + numtext::message(numtext::Msg::try_help) + "\r\n";
}

}  // namespace elab
