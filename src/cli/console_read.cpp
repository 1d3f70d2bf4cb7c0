#include "cli/console_read.hpp"

#include "units/io_failure.hpp"
#include "units/run_failure.hpp"

namespace units {

void read_console(Console& console, std::span<const numtext::Target> targets) {
  console.begin_read();
  try {
    numtext::FreeFormReader reader(console.source());
    reader.read(targets);
  } catch (const IoFailure& f) {
    // The read is not ended: a pending line end is left to the console's close.
    report_file_error(f, Statement::Read, "CON");
  }
  console.end_read();
}

}  // namespace units
