// The one failure of the public interface: what prepare() throws for every
// failure the program reports (an F or M report, a fault of the input, a
// stop), with what is known of where it happened.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace elab {

class Error : public std::exception {
 public:
  // An error report with its number, a fault of the input the program
  // finds itself, or a stop of the old dialogue.
  enum class Kind { report, input, stop };

  Error(Kind kind, std::string code, std::string text, int status)
      : kind_(kind), code_(std::move(code)), text_(std::move(text)), status_(status), what_(code_ + ": " + text_) {}

  Kind kind() const { return kind_; }
  // "F6501", "M6201"; "INPUT" for a fault of the input, "STOP" for a stop.
  const std::string& code() const { return code_; }
  // The file, its line (from 1) and its field, where the failure knows them;
  // empty and 0 where it does not (the text may still name them).
  const std::string& file() const { return file_; }
  std::int64_t line() const { return line_; }
  const std::string& field() const { return field_; }
  // The report's message line, or the stop's text.
  const std::string& text() const { return text_; }
  // The program's exit status for it.
  int status() const { return status_; }
  // A line in English after the report or the stop: where in the input the
  // run failed and what to do. Empty when there is none.
  const std::string& note() const { return note_; }
  const char* what() const noexcept override { return what_.c_str(); }

  void set_place(std::string file, std::int64_t line = 0, std::string field = {}) {
    file_ = std::move(file);
    line_ = line;
    field_ = std::move(field);
  }
  void set_note(std::string note) { note_ = std::move(note); }

 private:
  Kind kind_;
  std::string code_;
  std::string text_;
  int status_;
  std::string file_;
  std::int64_t line_ = 0;
  std::string field_;
  std::string note_;
  std::string what_;
};

}  // namespace elab
