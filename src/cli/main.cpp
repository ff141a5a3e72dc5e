#include "cli/commandline.h"

#include <iostream>

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    return shelvix::cli::runTool(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                 std::cerr);
}
