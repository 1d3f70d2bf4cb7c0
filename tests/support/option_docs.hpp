// The manual page's entries of OPTIONS and the guide's table of options as
// the options' table makes them: the documents hold these bytes, and a
// contributor pastes what a failing test prints.
#pragma once

#include <string>
#include <string_view>

#include "cli/options.hpp"

namespace elab_test {

// The doc's marks: `x` a literal (bold, code), *x* a name that stands for
// one (italic).
inline std::string roff_text(std::string_view text) {
  std::string out;
  bool bold = false, italic = false;
  for (const char c : text) {
    if (c == '`' || (c == '*' && !bold)) {
      bool& on = c == '`' ? bold : italic;
      out += on ? "\\fR" : (c == '`' ? "\\fB" : "\\fI");
      on = !on;
    } else if (c == '-') {
      out += "\\-";
    } else if (c == '\\') {
      out += "\\e";
    } else {
      out += c;
    }
  }
  return out;
}

// "-o FILE, --output=FILE" in the doc's marks.
inline std::string option_spelled(const elab::Option& o, bool markdown) {
  const std::string_view value = o.text.value_name[0];
  const std::string shown = markdown && value.find('|') != std::string_view::npos
                                ? std::string(value.substr(0, value.find('|'))) + "\\|" +
                                      std::string(value.substr(value.find('|') + 1))
                                : std::string(value);
  std::string s;
  if (o.short_name != '\0') s += "`-" + std::string(1, o.short_name) + "`" + (value.empty() ? "" : " *" + shown + "*") + ", ";
  s += "`--" + std::string(o.name) + "`";
  if (!value.empty()) s += "=*" + shown + "*";
  return s;
}

inline std::string man_options() {
  std::string page;
  for (const elab::Option& o : elab::options()) {
    page += ".TP\n" + roff_text(option_spelled(o, false)) + "\n" + roff_text(o.text.doc) + ".\n";
  }
  return page;
}

inline std::string guide_options() {
  std::string table = "| Option | Meaning |\n|---|---|\n";
  for (const elab::Option& o : elab::options()) {
    table += "| " + option_spelled(o, true) + " | " + std::string(o.text.doc) + " |\n";
  }
  return table;
}

}  // namespace elab_test
