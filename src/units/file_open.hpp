// Attaching a file to a unit: the opening itself (the name asked at the
// console is cli/file_name.hpp's).
#pragma once

#include <string>

#include "platform/os.hpp"

namespace units {

// The price file: an existing file for reading and writing, else read-only,
// else write-only; a pipe or a device read-only, as a stream. A missing file
// is not created. Throws IoFailure 6414 or 6416.
platform::Handle open_price_file(const std::string& name);

// The training file: as the price file, but a directory is refused, and a
// missing one is not created: its handle is kNoHandle once a file could be
// made there. Nothing is removed from an existing file.
platform::Opened open_training_file(const std::string& name);

}  // namespace units
