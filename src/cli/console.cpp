#include "cli/console.hpp"

#include <string>

#include "units/io_failure.hpp"

namespace units {

bool ConsoleSource::refill(std::size_t keep_back) {
  (void)keep_back;  // a value never runs past the end of a console line
  owner_.flush();
  bool longer = false;
  if (!lines_.next_line(line_, Console::kMaxAnswerLine, longer)) return false;
  if (longer) throw IoFailure{fnum::kLineTooLong};
  if (!line_.empty() && line_.back() == '\x1a') throw IoFailure{fnum::kEndOfFile};
  line_.push_back('\n');
  pos = line_.data();
  end = line_.data() + line_.size();
  return true;
}

bool ConsoleSource::name_line(std::string& line, std::size_t max_keep) {
  owner_.flush();
  bool longer = false;
  return lines_.next_line(line, max_keep, longer);
}

Console::Console(platform::Handle in, platform::Handle out, bool shared_line_state)
    : out_(out), shared_(shared_line_state), source_(*this, in) {}

Console::~Console() { flush(); }

bool Console::interactive(platform::Handle in, platform::Handle out) {
  return platform::is_console(in) && platform::is_console(out);
}

void Console::write_record(std::string_view record) {
  if (pending_) text_ += "\r\n";
  if (record.size() > 1) text_.append(record.substr(1));
  pending_ = true;
}

void Console::end_line() {
  if (pending_) text_ += "\r\n";
  pending_ = false;
}

void Console::write_line(std::string_view text) {
  end_line();
  text_.append(text).append(platform::line_end());
  flush();
}

void Console::write_direct(std::string_view bytes) { text_.append(bytes); }

void Console::begin_read() {
  if (shared_ && pending_) text_ += "\r\n";
  flush();
}

void Console::end_read() {
  if (shared_) pending_ = false;
}

void Console::flush() {
  if (text_.empty()) return;
  // What cannot be shown is lost; the run goes on.
  (void)platform::write_all(out_, text_.data(), text_.size());
  text_.clear();
}

void Console::close() {
  if (closed_) return;
  closed_ = true;
  if (pending_) text_ += "\r\n";
  flush();
}

}  // namespace units
