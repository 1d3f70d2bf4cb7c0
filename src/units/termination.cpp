#include "units/termination.hpp"

#include <algorithm>
#include <array>
#include <new>
#include <string>

#include "platform/os.hpp"
#include "units/console.hpp"
#include "units/io_failure.hpp"

namespace units {
namespace {

Console* g_console = nullptr;
std::array<ExitClosable*, 4> g_units{};

[[noreturn]] void end_run(int status) {
  close_everything();
  throw RunEnded{status};
}

void drop_unfinished_output() noexcept {
  for (ExitClosable* unit : g_units) {
    if (unit != nullptr) unit->drop_unfinished();
  }
}

void write_report(std::string_view text) {
  drop_unfinished_output();
  if (g_console != nullptr) g_console->flush();  // keep the order on a terminal
  (void)platform::write_all(platform::std_stream(platform::StdStream::err), text.data(),
                            text.size());
}

[[noreturn]] void stop(std::string_view text, int status) {
  drop_unfinished_output();
  if (g_console != nullptr) {
    // The pending flag survives, so exit closing ends the line once more.
    if (g_console->line_pending()) g_console->write_direct("\r\n");
    g_console->write_direct(text);
    g_console->write_direct("\r\n");
  }
  end_run(status);
}

std::string_view statement_name(Statement s) {
  switch (s) {
    case Statement::Read: return "READ";
    case Statement::Write: return "WRITE";
    case Statement::Open: return "OPEN";
    case Statement::Close: return "CLOSE";
  }
  return "READ";
}

}  // namespace

void attach_console(Console* console) { g_console = console; }

void attach_unit(ExitClosable* unit) {
  auto free_slot = std::find(g_units.begin(), g_units.end(), nullptr);
  if (free_slot != g_units.end()) *free_slot = unit;
}

void detach_unit(ExitClosable* unit) {
  std::replace(g_units.begin(), g_units.end(), unit, static_cast<ExitClosable*>(nullptr));
}

void close_everything() noexcept {
  for (ExitClosable*& unit : g_units) {
    if (unit == nullptr) continue;
    ExitClosable* u = unit;
    unit = nullptr;
    u->close_at_exit();
  }
  if (g_console != nullptr) g_console->close();
}

void stop_plain() { stop("Stop - Program terminated.", 0); }

void stop_with_text(std::string_view text, int status) { stop(text, status); }

void stop_with_code(int code) { stop("Return code " + std::to_string(code), code); }

void stop_out_of_memory() {
  try {
    if (g_console != nullptr) g_console->write_record(" Memoria insufficiente");
    stop_with_code(99);
  } catch (const std::bad_alloc&) {
    end_run(99);  // not even the text found room; the status still tells
  }
}

void report_file_error(const IoFailure& failure, Statement statement, std::string_view file,
                       std::string_view position) {
  std::string r = "\r\nrun-time error F" + std::to_string(failure.number) + ": ";
  r += statement_name(statement);
  r += '(';
  r += file;
  r += ")\r\n- ";
  r += failure.message.empty() ? failure_message(failure.number) : failure.message;
  if (!position.empty()) {
    r += ": ";
    r += position;
  }
  r += "\r\n";
  write_report(r);
  end_run(1);
}

void report_math_error(MathFault fault) {
  std::string_view number = "6101";
  std::string_view message = "floating-point error: invalid";
  switch (fault) {
    case MathFault::Invalid: break;
    case MathFault::DivideByZero:
      number = "6103";
      message = "floating-point error: divide by zero";
      break;
    case MathFault::Overflow:
      number = "6104";
      message = "floating-point error: overflow";
      break;
    case MathFault::SqrtDomain:
      number = "6201";
      message = "sqrt: DOMAIN error";
      break;
  }
  std::string r = "\r\nrun-time error M";
  r += number;
  r += ": MATH\r\n- ";
  r += message;
  r += "\r\n";
  write_report(r);
  end_run(1);
}

}  // namespace units
