#include "db/engine/file.h"

#include "core/text.h"
#include "db/engine/error.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace shelvix::db {

void File::readExact(std::uint64_t offset, void* buffer, std::size_t n, const char* what) {
    if (readAt(offset, buffer, n) != n)
        throw DatabaseError(std::string("The file is truncated: cannot read ") + what,
                            DatabaseError::Kind::Corrupt);
}

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw DatabaseError(what + ": " + std::strerror(errno), DatabaseError::Kind::Io);
}

class PosixMapping final : public File::Mapping {
public:
    PosixMapping(void* base, std::size_t size) : base_(base), size_(size) {}
    ~PosixMapping() override { ::munmap(base_, size_); }

private:
    void* base_;
    std::size_t size_;
};

class PosixFile final : public File {
public:
    PosixFile(int fd, fs::path path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override { ::close(fd_); }

    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override {
        auto* out = static_cast<char*>(buffer);
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                throwErrno("Cannot read " + path_.string());
            }
            if (r == 0)
                break;
            done += static_cast<std::size_t>(r);
        }
        return done;
    }

    void writeAt(std::uint64_t offset, const void* data, std::size_t n) override {
        const auto* in = static_cast<const char*>(data);
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::pwrite(fd_, in + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                throwErrno("Cannot write " + path_.string());
            }
            done += static_cast<std::size_t>(r);
        }
    }

    std::uint64_t size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            throwErrno("Cannot read the size of " + path_.string());
        return static_cast<std::uint64_t>(st.st_size);
    }

    void truncate(std::uint64_t size) override {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
            throwErrno("Cannot resize " + path_.string());
    }

    void sync() override {
        if (::fdatasync(fd_) != 0)
            throwErrno("Cannot flush " + path_.string());
    }

    // The write's own range is flushed, not every page of the file.
    void writeDurably(std::uint64_t offset, const void* data, std::size_t n) override {
        iovec v{const_cast<void*>(data), n};
        for (;;) {
            const ssize_t r = ::pwritev2(fd_, &v, 1, static_cast<off_t>(offset), RWF_DSYNC);
            if (r == static_cast<ssize_t>(n))
                return;
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno != EOPNOTSUPP && errno != EINVAL && errno != ENOSYS)
                throwErrno("Cannot write " + path_.string());
            break;
        }
        // Not offered here, or written in part: the whole way.
        writeAt(offset, data, n);
        sync();
    }

    std::unique_ptr<Mapping> map(std::uint64_t offset, std::uint64_t length,
                                 bool populate) override {
        static const std::uint64_t page = std::uint64_t(::sysconf(_SC_PAGESIZE));
        const std::uint64_t start = offset / page * page;
        const std::uint64_t size = offset - start + length;
        if (length == 0 || size > std::uint64_t(SIZE_MAX))
            return nullptr;
        void* base = ::mmap(nullptr, std::size_t(size), PROT_READ,
                            MAP_SHARED | (populate ? MAP_POPULATE : 0), fd_, off_t(start));
        if (base == MAP_FAILED)
            return nullptr;
        auto m = std::make_unique<PosixMapping>(base, std::size_t(size));
        m->data = static_cast<const std::uint8_t*>(base) + (offset - start);
        m->length = length;
        return m;
    }

    void adviseWillRead(std::uint64_t offset, std::uint64_t length) override {
        ::posix_fadvise(fd_, off_t(offset), off_t(length), POSIX_FADV_WILLNEED);
    }

    void adviseDone(std::uint64_t offset, std::uint64_t length) override {
        ::posix_fadvise(fd_, off_t(offset), off_t(length), POSIX_FADV_DONTNEED);
    }

    void startWriteBack(std::uint64_t offset, std::uint64_t length) override {
        ::sync_file_range(fd_, off_t(offset), off_t(length), SYNC_FILE_RANGE_WRITE);
    }

    void setPermissions(unsigned mode) override {
        if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0)
            throwErrno("Cannot set the permissions of " + path_.string());
    }

    bool tryLockFile(OpenLock kind) override {
        int op = (kind == OpenLock::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
        while (::flock(fd_, op) != 0) {
            if (errno == EINTR)
                continue;
            if (errno == EWOULDBLOCK)
                return false;
            throwErrno("Cannot lock " + path_.string());
        }
        return true;
    }

    // Open-file-description locks: per File object, like flock, so two table
    // objects in one process exclude each other too.
    void lockRange(std::uint64_t offset, std::uint64_t length) override {
        setRange(F_WRLCK, offset, length);
    }
    void unlockRange(std::uint64_t offset, std::uint64_t length) override {
        setRange(F_UNLCK, offset, length);
    }
    void lockRangeShared(std::uint64_t offset, std::uint64_t length) override {
        setRange(F_RDLCK, offset, length);
    }

    bool isAt(const fs::path& path) override {
        struct stat mine {
        }, named{};
        if (::fstat(fd_, &mine) != 0)
            throwErrno("Cannot read the state of " + path_.string());
        return ::stat(path.c_str(), &named) == 0 && named.st_dev == mine.st_dev &&
               named.st_ino == mine.st_ino;
    }
    bool tryLockRange(std::uint64_t offset, std::uint64_t length, bool exclusive) override {
        struct flock fl = range(exclusive ? F_WRLCK : F_RDLCK, offset, length);
        while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EACCES)
                return false;
            throwErrno("Cannot lock a range of " + path_.string());
        }
        return true;
    }
    bool lockedByOthers(std::uint64_t offset, std::uint64_t length) override {
        struct flock fl = range(F_WRLCK, offset, length);
        while (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) {
            if (errno != EINTR)
                throwErrno("Cannot test a lock of " + path_.string());
        }
        return fl.l_type != F_UNLCK;
    }

private:
    static struct flock range(short type, std::uint64_t offset, std::uint64_t length) {
        struct flock fl {};
        fl.l_type = type;
        fl.l_whence = SEEK_SET;
        fl.l_start = static_cast<off_t>(offset);
        fl.l_len = static_cast<off_t>(length);
        return fl;
    }
    void setRange(short type, std::uint64_t offset, std::uint64_t length) {
        struct flock fl = range(type, offset, length);
        while (::fcntl(fd_, F_OFD_SETLKW, &fl) != 0) {
            if (errno == EINTR)
                continue;
            throwErrno("Cannot lock a range of " + path_.string());
        }
    }

    int fd_;
    fs::path path_;
};

class NativeFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const fs::path& path, FileMode mode) override {
        int flags = O_CLOEXEC;
        switch (mode) {
        case FileMode::ReadOnly:
            flags |= O_RDONLY;
            break;
        case FileMode::ReadWrite:
            flags |= O_RDWR;
            break;
        case FileMode::Create:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        case FileMode::CreateNew:
            flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
            break;
        }
        // Not blocking: a pipe in a table's place would hold the open for ever.
        int fd =
            ::open(path.c_str(), flags | O_NONBLOCK, mode == FileMode::CreateNew ? 0600 : 0644);
        if (fd < 0) {
            auto kind = errno == ENOENT   ? DatabaseError::Kind::NotFound
                        : errno == EEXIST ? DatabaseError::Kind::Exists
                                          : DatabaseError::Kind::Io;
            throw DatabaseError("Cannot open " + path.string() + ": " + std::strerror(errno), kind);
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            throw DatabaseError("Cannot open " + path.string() + ": not an ordinary file",
                                DatabaseError::Kind::Io);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return std::make_unique<PosixFile>(fd, path);
    }

    bool exists(const fs::path& path) override {
        std::error_code ec;
        return fs::is_regular_file(path, ec);
    }

    void remove(const fs::path& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            throwErrno("Cannot delete " + path.string());
    }

    void rename(const fs::path& from, const fs::path& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0)
            throwErrno("Cannot rename " + from.string() + " to " + to.string());
    }

    // Best effort: the rename it follows has already happened, and a folder
    // that cannot be opened has nothing of ours to flush.
    void syncDirectory(const fs::path& dir) override {
        int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
};

} // namespace

FileSystem& FileSystem::native() {
    static NativeFileSystem fs;
    return fs;
}

fs::path findCompanion(const fs::path& tablePath, const std::string& ext, bool* found) {
    return findCompanionFile(tablePath.parent_path(), tablePath.stem().string() + ext, found);
}

fs::path findCompanionFile(const fs::path& directory, const std::string& name, bool* found) {
    const fs::path dir = directory.empty() ? fs::path(".") : directory;
    const fs::path preferred = dir / name;
    std::error_code ec;
    if (fs::is_regular_file(preferred, ec)) {
        if (found)
            *found = true;
        return preferred;
    }
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        const std::string stem = name.substr(0, dot + 1);
        const std::string wanted = core::toUpperAscii(name);
        for (const auto& entry : fs::directory_iterator(dir, ec)) {
            const std::string candidate = entry.path().filename().string();
            if (candidate.size() == name.size() && candidate.compare(0, stem.size(), stem) == 0 &&
                core::toUpperAscii(candidate) == wanted && entry.is_regular_file(ec)) {
                if (found)
                    *found = true;
                return entry.path();
            }
        }
    }
    if (found)
        *found = false;
    return preferred;
}

} // namespace shelvix::db
