#pragma once

#include "support/tempdir.h"

#include <string>

namespace shelvix::test {

struct ToolResult {
    int status = -1; // exit status, -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

// Runs the built shelvix-tool in `dir` with `args`, a shell-quoted string.
// With a time limit a hung run is killed (status 137).
ToolResult runTool(const TempDir& dir, const std::string& args, int timeoutSeconds = 0);

// What a shell command writes to standard output (an independent reader:
// Python, LibreOffice, pdftotext); empty when it cannot start.
std::string commandOutput(const std::string& command);

} // namespace shelvix::test
