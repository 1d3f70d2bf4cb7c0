#include "cli/run.hpp"

int main(int argc, char** argv) { return prep::run(argc, argv); }
