// The ways a run cannot go on: an error report (an F or M number, the
// statement and one message line) or a stop with a text and an exit status.
// The layers that meet one throw RunFailure; the files still open close as
// it passes through them, and only a front end decides where its text goes
// (the console and standard error for the program) and what follows it.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "units/io_failure.hpp"

namespace units {

enum class MathFault { Invalid, DivideByZero, Overflow, SqrtDomain };

class RunFailure final : public std::exception {
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

  Form form() const { return form_; }
  // "F6501", "M6201"; "INPUT" for a fault of the input, "STOP" for a stop.
  const std::string& code() const { return code_; }
  // The report's message line, or the stop's text.
  const std::string& message() const { return message_; }
  int status() const { return status_; }
  // A stop shown as its text in a record, then "Return code N".
  bool shows_code() const { return shows_code_; }
  // The error report as written on standard error.
  std::string report() const;
  // A line in English after the report or the stop: where in the input the
  // run failed and what to do. Empty when there is none.
  const std::string& note() const { return note_; }
  RunFailure with_note(std::string note) const;
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  RunFailure(Form form, std::string code, std::string statement, std::string message, int status);

  Form form_;
  std::string code_;
  std::string statement_;  // "READ(CON)", "MATH"
  std::string message_;
  int status_;
  bool shows_code_ = false;
  std::string note_;
  std::string what_;
};

[[noreturn]] void report_file_error(const IoFailure& failure, Statement statement,
                                    std::string_view file, std::string_view position = {});
[[noreturn]] void report_math_error(MathFault fault);
[[noreturn]] void report_input_error(std::string_view text);
[[noreturn]] void stop_with_text(std::string_view text, int status);

}  // namespace units
