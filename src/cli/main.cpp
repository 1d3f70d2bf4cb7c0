#include "cli/run.hpp"

int main(int argc, char** argv) { return elab::run(argc, argv); }
