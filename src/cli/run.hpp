// The run driver: the whole run from the file name to the count line.
#pragma once

namespace prep {

// Runs once and returns the exit status.
int run(int argc, char** argv);

}  // namespace prep
