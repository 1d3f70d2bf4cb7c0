// A window of characters for the free-form reader: the console delivers one
// line per refill, a file a large block. Line ends reach the reader as a
// single '\n'; a CR in front of a LF belongs to the line end and is removed
// by the source.
#pragma once

#include <cstddef>

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

}  // namespace numtext
