// A window of characters for the free-form reader: the console delivers one
// line per refill, a file a large block. Line ends reach the reader as a
// single '\n'; a CR in front of a LF belongs to the line end and is removed
// by the source, and a file's source ends a line at a CR alone too.
#pragma once

#include <cstddef>
#include <string_view>

namespace numtext {

class CharSource {
 public:
  virtual ~CharSource() = default;

  // Makes more characters available after end. The keep_back characters
  // before pos stay in the window, directly before the new pos. Returns false
  // when the input has ended (nothing was added). Throws IoFailure.
  virtual bool refill(std::size_t keep_back) = 0;

  const char* pos = nullptr;
  const char* end = nullptr;
};

// Text held whole in memory, given in one window.
class TextSource final : public CharSource {
 public:
  explicit TextSource(std::string_view text) {
    pos = text.data();
    end = text.data() + text.size();
  }
  bool refill(std::size_t) override { return false; }
};

}  // namespace numtext
