#include "textio/console_read.hpp"

#include "textio/io_failure.hpp"
#include "textio/termination.hpp"

namespace textio {

void read_console(Console& console, std::span<const Target> targets) {
  console.begin_read();
  try {
    FreeFormReader reader(console.source());
    reader.read(targets);
  } catch (const IoFailure& f) {
    // The read is not ended: a pending line end is left to exit closing.
    report_file_error(f, Statement::Read, "CON");
  }
  console.end_read();
}

}  // namespace textio
