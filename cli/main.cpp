#include <iostream>

#include "MorvaneCommandLine.h"

int main(int argc, char** argv) { return i_RunMorvane(argc - 1, argv + 1, std::cout, std::cerr); }
