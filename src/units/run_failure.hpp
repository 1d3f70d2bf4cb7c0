// The ways a run cannot go on: an error report (an F or M number, the
// statement and one message line) or a stop with a text and an exit status.
// The layers that meet one throw RunFailure; the files still open close as
// it passes through them, and only a front end decides where its text goes
// (the console and standard error for the program) and what follows it.
#pragma once

#include <string>
#include <string_view>

#include "elab/error.hpp"
#include "units/io_failure.hpp"

namespace units {

enum class MathFault { Invalid, DivideByZero, Overflow, SqrtDomain };

// The public Error with what the program's reports need besides: the
// statement of a report and how a stop is shown.
class RunFailure final : public elab::Error {
 public:
  enum class Form { Report, Input, Stop };

  // A position, when given, follows the message: "- invalid real value: row 17, value 6".
  static RunFailure of_file(const IoFailure& failure, Statement statement, std::string_view file,
                            std::string_view position = {});
  static RunFailure of_math(MathFault fault);
  // A fault of the input that the program itself finds, not a statement's:
  // reported as "elab: " and the text.
  static RunFailure of_input(std::string_view text);
  // A stop whose text is shown on the console and ends the run with status.
  static RunFailure stop(std::string_view text, int status);
  // A stop for memory: the text as a console record, then "Return code 99".
  static RunFailure stop_for_memory(std::string_view text);

  Form form() const { return static_cast<Form>(kind()); }
  // The report's message line, or the stop's text.
  const std::string& message() const { return text(); }
  // A stop shown as its text in a record, then "Return code N".
  bool shows_code() const { return shows_code_; }
  // The error report as written on standard error.
  std::string report() const;
  RunFailure with_note(std::string note) const;

 private:
  RunFailure(Form form, std::string code, std::string statement, std::string message, int status);

  std::string statement_;  // "READ(CON)", "MATH"
  bool shows_code_ = false;
};

[[noreturn]] void report_file_error(const IoFailure& failure, Statement statement,
                                    std::string_view file, std::string_view position = {});
[[noreturn]] void report_math_error(MathFault fault);
[[noreturn]] void report_input_error(std::string_view text);
[[noreturn]] void stop_with_text(std::string_view text, int status);

}  // namespace units
