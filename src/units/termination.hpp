// The ways a run ends: the three stops and the error reports. Each writes
// its text, then runs exit closing (every open file written out and closed,
// then the console closed, which ends a pending line), then throws RunEnded
// with the exit status; only the program's entry point catches it.
#pragma once

#include <string_view>

#include "units/io_failure.hpp"

namespace units {

class Console;

struct RunEnded {
  int status;
};

// A file connection that exit closing writes out and closes.
class ExitClosable {
 public:
  virtual void close_at_exit() noexcept = 0;
  // Before any report: what is half made and only takes room goes, so that
  // the report finds room on a full disk.
  virtual void drop_unfinished() noexcept {}

 protected:
  ~ExitClosable() = default;
};

void attach_console(Console* console);
void attach_unit(ExitClosable* unit);
void detach_unit(ExitClosable* unit);

// Runs exit closing without ending the run (used by the entry point when a
// run ends by an exception of its own).
void close_everything() noexcept;

[[noreturn]] void stop_plain();
[[noreturn]] void stop_with_text(std::string_view text, int status);
[[noreturn]] void stop_with_code(int code);
// Memory ran out after the arrays' step: the text "Memoria insufficiente" as
// a console record, then the stop with code 99, as when the arrays do not fit.
[[noreturn]] void stop_out_of_memory();

// A position, when given, follows the message: "- invalid real value: row 17, value 6".
[[noreturn]] void report_file_error(const IoFailure& failure, Statement statement,
                                    std::string_view file, std::string_view position = {});

enum class MathFault { Invalid, DivideByZero, Overflow, SqrtDomain };
[[noreturn]] void report_math_error(MathFault fault);

}  // namespace units
