#include "cli/commandline.h"

#include <iostream>

// shelvix-tool loads this module for every command it does not run itself
// (src/cli/front): here QtCore comes in with the rest of the commands.
extern "C" __attribute__((visibility("default"))) int shelvix_run_commands(int argc,
                                                                           char* argv[]) {
    return shelvix::cli::runTool(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                 std::cerr);
}
