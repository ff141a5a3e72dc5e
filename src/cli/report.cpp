#include "cli/report.h"

#include "cli/plain/front.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace shelvix::cli {

namespace {

namespace fs = std::filesystem;

int (*painter)(const Invocation&, std::ostream&, std::ostream&) = nullptr;

} // namespace

void installReportPainter(int (*paint)(const Invocation&, std::ostream&, std::ostream&)) {
    painter = paint;
}

int cmdReport(const Invocation& a, std::ostream& out, std::ostream& err) {
    if (painter)
        return painter(a, out, err);
    const std::string program = companionProgram("shelvix-report").string();
    std::vector<std::string> words{"shelvix-tool"};
    words.insert(words.end(), a.given.begin(), a.given.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    out.flush();
    err.flush();
    execv(program.c_str(), argv.data());
    throw std::runtime_error("cannot run " + program + ": " + std::strerror(errno));
}

} // namespace shelvix::cli
