#include "cli/console_end.hpp"

#include <string>

#include "numtext/messages.hpp"
#include "platform/os.hpp"

namespace units {
namespace {

// Straight to the console; the pending flag survives, so closing the console
// ends the line once more.
void show_stop(Console& console, std::string_view text) {
  if (console.line_pending()) console.write_direct("\r\n");
  console.write_direct(text);
  console.write_direct("\r\n");
}

// After the console's text, so that the order holds on a terminal.
void write_to_standard_error(Console& console, const std::string& text) {
  console.flush();
  (void)platform::write_all(platform::std_stream(platform::StdStream::err), text.data(),
                            text.size());
}

}  // namespace

void show_warning(Console& console, std::string_view text, std::string_view line_end) {
  std::string line = "elab: warning: ";
  line += text;
  line += line_end;
  write_to_standard_error(console, line);
}

namespace {

// What a failure adds after its report: where and what to do, not a warning.
void show_note(Console& console, std::string_view text) {
  std::string line = "elab: ";
  line += text;
  line += "\r\n";
  write_to_standard_error(console, line);
}

}  // namespace

void show_normal_stop(Console& console) { show_stop(console, "Stop - Program terminated."); }

void show_failure(Console& console, const RunFailure& failure) {
  if (failure.form() != RunFailure::Form::Stop) {
    write_to_standard_error(console, failure.report());
  } else if (failure.shows_code()) {
    console.write_record(" " + failure.message());
    show_stop(console, std::string(numtext::old_text::kReturnCode) + std::to_string(failure.status()));
  } else {
    show_stop(console, failure.message());
  }
  if (!failure.note().empty()) show_note(console, failure.note());
}

}  // namespace units
