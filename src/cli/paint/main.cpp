#include "cli/commandline.h"
#include "cli/report.h"

#include <iostream>

// The tool with its report command's painting: shelvix-tool hands `report`
// here, so that only that command loads QtGui.
int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    shelvix::cli::installReportPainter(shelvix::cli::paintReport);
    return shelvix::cli::runTool(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                 std::cerr);
}
