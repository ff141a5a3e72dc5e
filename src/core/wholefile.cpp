#include "core/wholefile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace shelvix::core {

namespace {

std::mutex refusalsLock;
std::vector<std::string> refusals;

std::string bytesText(std::uint64_t n) {
    char text[32];
    if (n < 1024 * 1024)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(n));
    else if (n < std::uint64_t{1024} * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", double(n) / (1024 * 1024));
    else
        std::snprintf(text, sizeof text, "%.1f GB", double(n) / (1024 * 1024 * 1024));
    return text;
}

} // namespace

int openOrdinaryFile(const std::filesystem::path& path, std::string& refusal) {
    refusal.clear();
    // Not blocking: a pipe with no writer would hold the open for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        refusal = path.string() + " is not an ordinary file (" +
                  (S_ISDIR(st.st_mode)    ? "a folder"
                   : S_ISFIFO(st.st_mode) ? "a pipe"
                                          : "a device") +
                  ") and was not read";
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

WholeFile readWholeFile(const std::filesystem::path& path, std::uint64_t limit,
                        std::string_view kind) {
    WholeFile out;
    const int fd = openOrdinaryFile(path, out.refusal);
    if (fd < 0) {
        if (out.refusal.empty()) {
            out.missing = errno == ENOENT;
            if (!out.missing)
                out.refusal = path.string() + " could not be read: " + std::strerror(errno);
        }
        return out;
    }
    struct stat st {};
    ::fstat(fd, &st);
    const auto tooLarge = [&](std::uint64_t size) {
        out.refusal = path.string() + " holds " + bytesText(size) + ", far more than a " +
                      std::string(kind) + " can hold (" + bytesText(limit) +
                      " at most), and was not read";
    };
    if (std::uint64_t(st.st_size) > limit) {
        tooLarge(std::uint64_t(st.st_size));
        ::close(fd);
        return out;
    }
    // Up to one byte past the limit: a file that grows meanwhile is caught.
    out.bytes.resize(std::size_t(st.st_size));
    std::size_t have = 0;
    for (;;) {
        if (have == out.bytes.size())
            out.bytes.resize(std::min<std::uint64_t>(limit + 1, have + 64 * 1024));
        if (have == out.bytes.size())
            break;
        const ssize_t n = ::read(fd, out.bytes.data() + have, out.bytes.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            out.refusal = path.string() + " could not be read: " + std::strerror(errno);
            break;
        }
        if (n == 0)
            break;
        have += std::size_t(n);
    }
    ::close(fd);
    out.bytes.resize(have);
    if (have > limit)
        tooLarge(have);
    if (!out.refusal.empty())
        out.bytes.clear();
    return out;
}

void noteRefusal(const std::string& line) {
    std::lock_guard<std::mutex> hold(refusalsLock);
    if (std::find(refusals.begin(), refusals.end(), line) == refusals.end())
        refusals.push_back(line);
}

std::vector<std::string> takeRefusals() {
    std::lock_guard<std::mutex> hold(refusalsLock);
    return std::exchange(refusals, {});
}

} // namespace shelvix::core
