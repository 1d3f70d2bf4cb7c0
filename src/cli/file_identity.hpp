// What file a name on the command line reaches, so that a run never writes
// over its price file or one output over another however they are spelt.
#pragma once

#include <string>
#include <string_view>

#include "platform/os.hpp"

namespace elab {

// The name of standard input or output among the files.
inline constexpr std::string_view kStandardInput = "-";

platform::Identity identity_of_input(const std::string& name);
platform::Identity identity_of_output(const std::string& name);

// Whether two outputs' names reach one file: one name, or the file where it
// exists (a link, `./x`, a hard link, standard output), the absolute path
// where it is still to be made.
bool same_output_file(const std::string& a, const std::string& b);

}  // namespace elab
