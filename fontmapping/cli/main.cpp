#include <iostream>

#include "fontmapping/cli/TypeshiftCommandLine.h"

int main(int argc, char** argv) { return i_RunTypeshift(argc, argv, std::cout, std::cerr); }
