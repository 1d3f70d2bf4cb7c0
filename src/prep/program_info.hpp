// The two arguments that ask about the program instead of naming a price
// file: "--help" and "--version", each only as the one argument.
#pragma once

#include "units/console.hpp"

namespace prep {

// Writes the usage or the version on the console when the command line is
// exactly one of the two; returns whether it did. Nothing is opened.
bool write_program_info(int argc, char** argv, units::Console& console);

}  // namespace prep
