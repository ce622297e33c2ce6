// vantle-schedctl: the scheduler's engine for scripts and machines without a display.
#include "cli/Commands.h"

#include <iostream>

int main(int argc, char** argv) {
    vantle::cli::TArgs args(argv + 1, argv + argc);
    return vantle::cli::RunSchedCtl(args, std::cout, std::cerr);
}
