#include "support/tool.h"

#include <cstdio>
#include <sys/wait.h>

namespace shelvix::test {

ToolResult runTool(const TempDir& dir, const std::string& args, int timeoutSeconds) {
    const std::string errPath = (dir / "stderr.txt").string();
    const std::string limit =
        timeoutSeconds > 0 ? "timeout -s KILL " + std::to_string(timeoutSeconds) + " " : "";
    const std::string cmd = "cd '" + dir.path().string() + "' && " + limit + "'" +
                            SHELVIX_TOOL_PATH + "' " + args + " 2>'" + errPath + "'";
    ToolResult r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = readFile(errPath);
    return r;
}

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

} // namespace shelvix::test
