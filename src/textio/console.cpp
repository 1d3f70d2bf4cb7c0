#include "textio/console.hpp"

#include <unistd.h>

#include <cerrno>

#include "textio/io_failure.hpp"

namespace textio {

int write_all(int fd, const char* bytes, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, bytes, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += w;
    n -= static_cast<std::size_t>(w);
  }
  return 0;
}

bool LineReader::fill() {
  pos_ = end_ = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, buf_.data(), buf_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // a console that cannot be read has ended
    end_ = static_cast<std::size_t>(n);
    return true;
  }
}

bool LineReader::next_line(std::string& line, std::size_t max_keep, bool& longer) {
  line.clear();
  std::size_t total = 0;  // characters before the line end
  char last = '\0';
  bool any = false;
  for (bool done = false; !done;) {
    if (pos_ == end_ && !fill()) {
      if (!any) return false;
      break;
    }
    any = true;
    while (pos_ < end_) {
      const char c = buf_[pos_++];
      if (c == '\n') {
        done = true;
        break;
      }
      // One more than asked, so that a CR in front of the LF can go.
      if (line.size() <= max_keep) line.push_back(c);
      ++total;
      last = c;
    }
  }
  const bool cr = total > 0 && last == '\r';
  if (cr && line.size() == total) line.pop_back();
  longer = total - (cr ? 1 : 0) > max_keep;
  if (line.size() > max_keep) line.resize(max_keep);
  return true;
}

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

Console::Console(int in_fd, int out_fd, bool shared_line_state)
    : out_fd_(out_fd), shared_(shared_line_state), source_(*this, in_fd) {}

Console::~Console() { flush(); }

bool Console::interactive(int in_fd, int out_fd) {
  return ::isatty(in_fd) == 1 && ::isatty(out_fd) == 1;
}

void Console::write_record(std::string_view record) {
  if (pending_) out_ += "\r\n";
  if (record.size() > 1) out_.append(record.substr(1));
  pending_ = true;
}

void Console::write_direct(std::string_view bytes) { out_.append(bytes); }

void Console::begin_read() {
  if (shared_ && pending_) out_ += "\r\n";
  flush();
}

void Console::end_read() {
  if (shared_) pending_ = false;
}

void Console::flush() {
  if (out_.empty()) return;
  // What cannot be shown is lost; the run goes on.
  (void)write_all(out_fd_, out_.data(), out_.size());
  out_.clear();
}

void Console::close() {
  if (closed_) return;
  closed_ = true;
  if (pending_) out_ += "\r\n";
  flush();
}

}  // namespace textio
