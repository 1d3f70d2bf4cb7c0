#include "units/console_end.hpp"

#include <string>

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

}  // namespace

void show_normal_stop(Console& console) { show_stop(console, "Stop - Program terminated."); }

void show_failure(Console& console, const RunFailure& failure) {
  if (failure.form() == RunFailure::Form::Report) {
    console.flush();  // keeps the order on a terminal
    const std::string report = failure.report();
    (void)platform::write_all(platform::std_stream(platform::StdStream::err), report.data(),
                              report.size());
  } else if (failure.shows_code()) {
    console.write_record(" " + failure.message());
    show_stop(console, "Return code " + std::to_string(failure.status()));
  } else {
    show_stop(console, failure.message());
  }
}

}  // namespace units
