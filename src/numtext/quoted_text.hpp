// A field of the input quoted in a message: whole up to 40 characters, else
// its first 40 and its length, so that a field of megabytes gives a line of
// one: "yyyy…" (20,000,000 characters). Characters are UTF-8 code points
// (a byte that starts none counts as one), never cut in the middle.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace numtext {

inline constexpr std::size_t kQuotedCharacters = 40;

std::string quoted_text(std::string_view text);

}  // namespace numtext
