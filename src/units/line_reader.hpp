// Whole lines from a handle (the console input), through a buffer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/os.hpp"

namespace units {

class LineReader {
 public:
  explicit LineReader(platform::Handle in) : in_(in), buf_(1 << 16) {}

  // Reads the next line, without its line end (LF or CR LF), keeping at most
  // max_keep characters of it in line; longer is set when more were there.
  // Returns false at the end of the input with no character read. A last
  // line without a line end counts as a line.
  bool next_line(std::string& line, std::size_t max_keep, bool& longer);

 private:
  bool fill();

  platform::Handle in_;
  std::vector<char> buf_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
};

}  // namespace units
