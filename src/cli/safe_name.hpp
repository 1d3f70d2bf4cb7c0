// What a series' name or symbol puts into an output's path: one file name,
// never a folder of its own, a hidden file or an option. The characters
// that would make it one are written as %XX (their byte in hexadecimal):
// '%' itself, '/', '\', NUL and the other control characters anywhere, a
// '.' or '-' in first place. So "../x" is "%2E.%2Fx", and two values never
// give one name.
#pragma once

#include <string>
#include <string_view>

namespace elab {

std::string safe_file_name(std::string_view value);

}  // namespace elab
