// The program: the command line, the single run or the batch on the
// console, its end and its status.
#pragma once

namespace elab {

// Runs once and returns the exit status.
int run(int argc, char** argv);

}  // namespace elab
