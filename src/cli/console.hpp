// The console: output records with carriage control, the line-pending flag,
// and console input lines for the free-form reader.
//
// Every console record begins with a carriage-control character that is not
// shown; its line end stands in front of it (written only when a line is
// pending) rather than behind it. When console input and output are both
// terminals they share one line state: a read writes the pending line end
// first, so the answer is typed on a fresh line, and clears the flag.
#pragma once

#include <string>
#include <string_view>

#include "platform/os.hpp"
#include "numtext/char_source.hpp"
#include "units/line_reader.hpp"

namespace units {

class Console;

// Console input as seen by the free-form reader: one line per refill.
class ConsoleSource final : public numtext::CharSource {
 public:
  ConsoleSource(Console& owner, platform::Handle in) : owner_(owner), lines_(in) {}
  bool refill(std::size_t keep_back) override;

  // A raw line for the file-name question (not subject to the answer rules).
  bool name_line(std::string& line, std::size_t max_keep);

 private:
  Console& owner_;
  LineReader lines_;
  std::string line_;
};

class Console {
 public:
  // Longest answer line the console accepts.
  static constexpr std::size_t kMaxAnswerLine = 130;

  Console(platform::Handle in, platform::Handle out, bool shared_line_state);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  static bool interactive(platform::Handle in, platform::Handle out);

  void write_record(std::string_view record);
  // Bytes that bypass the line state (the file-name question, stop texts).
  void write_direct(std::string_view bytes);
  bool line_pending() const { return pending_; }
  // The pending line end now: what another stream then writes to the same
  // terminal starts on a line of its own, and the next record needs none.
  void end_line();
  // A line of this program's own logs, without carriage control: after the
  // pending line end, written out with the system's line end in one call,
  // so that a line on another stream never cuts into it.
  void write_line(std::string_view text);
  bool shared() const { return shared_; }

  // Around one free-form read statement on the console.
  void begin_read();
  void end_read();
  ConsoleSource& source() { return source_; }

  void flush();
  // End of the run: the pending line end, then everything out.
  void close();

 private:
  platform::Handle out_;
  bool shared_;
  bool pending_ = false;
  bool closed_ = false;
  std::string text_;  // written but not yet out
  ConsoleSource source_;
};

}  // namespace units
