#include "units/run_failure.hpp"

#include <utility>

namespace units {
namespace {

std::string_view statement_name(Statement s) {
  switch (s) {
    case Statement::Read: return "READ";
    case Statement::Write: return "WRITE";
    case Statement::Open: return "OPEN";
    case Statement::Close: return "CLOSE";
  }
  return "READ";
}

// A form is the public kind of the same number.
static_assert(static_cast<int>(RunFailure::Form::Report) == static_cast<int>(elab::Error::Kind::report) &&
              static_cast<int>(RunFailure::Form::Input) == static_cast<int>(elab::Error::Kind::input) &&
              static_cast<int>(RunFailure::Form::Stop) == static_cast<int>(elab::Error::Kind::stop));

}  // namespace

RunFailure::RunFailure(Form form, std::string code, std::string statement, std::string message,
                       int status)
    : Error(static_cast<Kind>(form), std::move(code), std::move(message), status), statement_(std::move(statement)) {}

RunFailure RunFailure::of_file(const IoFailure& failure, Statement statement, std::string_view file,
                               std::string_view position) {
  std::string message(failure.message.empty() ? failure_message(failure.number) : failure.message);
  if (!position.empty()) {
    message += ": ";
    message += position;
  }
  std::string where(statement_name(statement));
  where += '(';
  where += file;
  where += ')';
  std::string code = "F";
  code += std::to_string(failure.number);
  RunFailure f(Form::Report, std::move(code), std::move(where), std::move(message), 1);
  f.set_place(std::string(file));
  return f;
}

RunFailure RunFailure::of_math(MathFault fault) {
  switch (fault) {
    case MathFault::Invalid: break;
    case MathFault::DivideByZero:
      return {Form::Report, "M6103", "MATH", "floating-point error: divide by zero", 1};
    case MathFault::Overflow:
      return {Form::Report, "M6104", "MATH", "floating-point error: overflow", 1};
    case MathFault::SqrtDomain:
      return {Form::Report, "M6201", "MATH", "sqrt: DOMAIN error", 1};
  }
  return {Form::Report, "M6101", "MATH", "floating-point error: invalid", 1};
}

RunFailure RunFailure::of_input(std::string_view text) {
  return {Form::Input, "INPUT", "", std::string(text), 1};
}

RunFailure RunFailure::stop(std::string_view text, int status) {
  return {Form::Stop, "STOP", "", std::string(text), status};
}

RunFailure RunFailure::stop_for_memory(std::string_view text) {
  RunFailure f(Form::Stop, "STOP", "", std::string(text), 99);
  f.shows_code_ = true;
  return f;
}

std::string RunFailure::report() const {
  if (form() == Form::Input) return "elab: " + message() + "\r\n";
  std::string r = "\r\nrun-time error ";
  r += code();
  r += ": ";
  r += statement_;
  r += "\r\n- ";
  r += message();
  r += "\r\n";
  return r;
}

RunFailure RunFailure::with_note(std::string note) const {
  RunFailure f = *this;
  f.set_note(std::move(note));
  return f;
}

void report_file_error(const IoFailure& failure, Statement statement, std::string_view file,
                       std::string_view position) {
  throw RunFailure::of_file(failure, statement, file, position);
}

void report_math_error(MathFault fault) { throw RunFailure::of_math(fault); }

void report_input_error(std::string_view text) { throw RunFailure::of_input(text); }

void stop_with_text(std::string_view text, int status) { throw RunFailure::stop(text, status); }

}  // namespace units
