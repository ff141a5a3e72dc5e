#include "transfer/records.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace shelvix::transfer {

void throwFileError(const char* what, const std::filesystem::path& path, int error) {
    throw TransferError(std::string("Cannot ") + what + " " + path.string() + ": " +
                        std::strerror(error));
}

ReplacingFile::ReplacingFile(std::filesystem::path target) : target_(std::move(target)) {
    const auto dir = target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
    // Locked while we write it, so no one takes it for a leftover; one swept
    // away before we held it is made again.
    for (;;) {
        std::string name = (dir / ("." + target_.filename().string() + ".XXXXXX.tmp")).string();
        fd_ = ::mkstemps(name.data(), 4);
        if (fd_ < 0)
            throwFileError("create", target_, errno);
        struct stat st {};
        const bool held = ::flock(fd_, LOCK_EX) == 0;
        if (held && ::fstat(fd_, &st) == 0 && st.st_nlink > 0) {
            temp_ = name;
            break;
        }
        if (!held)
            ::unlink(name.c_str());
        closeFd();
    }
    // mkstemp makes the file private; an export is an ordinary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

ReplacingFile::~ReplacingFile() {
    closeFd();
    if (!committed_)
        ::unlink(temp_.c_str());
}

void ReplacingFile::closeFd() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void ReplacingFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwFileError("write", target_, errno);
        }
        data += n;
        size -= std::size_t(n);
    }
}

void ReplacingFile::commit() {
    if (fd_ < 0) {
        fd_ = ::open(temp_.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0)
            throwFileError("write", target_, errno);
        ::flock(fd_, LOCK_EX);
    }
    if (::fsync(fd_) != 0)
        throwFileError("write", target_, errno);
    // Renamed while still held.
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        throwFileError("replace", target_, errno);
    closeFd();
    committed_ = true;
    const auto dir = target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

} // namespace shelvix::transfer
