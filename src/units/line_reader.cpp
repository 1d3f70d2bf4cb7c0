#include "units/line_reader.hpp"

namespace units {

bool LineReader::fill() {
  pos_ = end_ = 0;
  std::size_t got = 0;
  // A console that cannot be read has ended.
  if (platform::read(in_, buf_.data(), buf_.size(), got) != platform::Error::none) return false;
  end_ = got;
  return got > 0;
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

}  // namespace units
