// The encodings a vendor's table comes in, made one.
#pragma once

#include <string>
#include <string_view>

namespace numtext {

// A file's text as UTF-8 with LF line ends: UTF-16 with its byte order
// mark decoded, a text that is not UTF-8 read as Windows-1252, a UTF-8 byte
// order mark left out, CR LF and a lone CR each one LF.
std::string utf8_text(std::string_view raw);
std::string utf8_text(std::string&& raw);

}  // namespace numtext
