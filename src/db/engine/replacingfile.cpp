#include "db/engine/replacingfile.h"

#include "core/profile.h"
#include "db/engine/error.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace shelvix::db {

namespace {

constexpr int kMaxLinks = 40; // as the kernel allows
constexpr int kNameTries = 100;
constexpr std::size_t kRandom = 6; // letters and digits of a fresh name
constexpr std::string_view kSuffix = ".tmp";
// The byte a writer locks in its temporary file: far past any end, apart
// from the ranges tables lock, so a table opened on the temporary file (an
// export to dBASE) is not barred by it.
constexpr std::uint64_t kHoldLock = 0x7FFFFFFFFFFFFF00ull;

unsigned newFileMode() {
    // Read, not set: umask(2) would change it for every thread a moment.
    unsigned mask = 022;
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("Umask:", 0) == 0)
            mask = unsigned(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 0666 & ~mask;
}

// Permission bits only: a set-user-ID bit never travels to a new file.
unsigned modeOf(const fs::path& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st))
        return newFileMode();
    return unsigned(st.permissions()) & 0777;
}

std::string freshName(const std::string& name) {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::string out = "." + name + ".";
    for (std::size_t i = 0; i < kRandom; ++i)
        out += kChars[random() % (sizeof kChars - 1)];
    return out + std::string(kSuffix);
}

// A volume without locks has no sweep either (it cannot lock what it would
// remove), so the file goes on unlocked there.
bool holdLock(File& file) {
    try {
        return file.tryLockRange(kHoldLock, 1, true);
    } catch (const DatabaseError&) {
        return true;
    }
}

// Open without following a link or waiting on a pipe, for a look only.
int openToLook(const fs::path& path) {
    return ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

// A shared lock on the byte a live writer holds exclusively.
bool lockUnheld(int fd) {
    struct flock fl {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(kHoldLock);
    fl.l_len = 1;
    while (::fcntl(fd, F_OFD_SETLK, &fl) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

} // namespace

// The seam's messages end in the system's reason after the file they name.
std::string failureReason(const DatabaseError& e) {
    const std::string what = e.what();
    const std::size_t colon = what.rfind(": ");
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

fs::path followLinks(const fs::path& path) {
    fs::path p = path;
    std::error_code ec;
    for (int i = 0; i < kMaxLinks && fs::is_symlink(p, ec); ++i) {
        const fs::path to = fs::read_symlink(p, ec);
        if (ec)
            break;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p;
}

ReplacingFile::ReplacingFile(const fs::path& target, FileSystem& fs, const fs::path& modeFrom)
    : fs_(fs), target_(followLinks(target)) {
    const fs::path dir = target_.parent_path();
    // A folder, a pipe or a device (/dev/zero behind a list's name) is
    // never replaced by a file.
    std::error_code ec;
    const fs::file_status there = fs::status(target_, ec);
    if (fs::exists(there) && !fs::is_regular_file(there))
        throw DatabaseError("Cannot write " + target_.string() + ": not an ordinary file",
                            DatabaseError::Kind::Io);
    try {
        for (int tries = 1; !file_; ++tries) {
            temp_ = dir / freshName(target_.filename().string());
            try {
                file_ = fs_.open(temp_, FileMode::CreateNew);
            } catch (const DatabaseError& e) {
                if (e.kind() != DatabaseError::Kind::Exists || tries == kNameTries) {
                    temp_.clear();
                    throw;
                }
                continue;
            }
            // A sweep that took the new file for a leftover in the moment
            // before the lock removes it: the name is given up for another.
            if (!holdLock(*file_) || !fs_.exists(temp_)) {
                file_.reset();
                if (tries == kNameTries) {
                    const fs::path taken = temp_;
                    temp_.clear();
                    throw DatabaseError("Cannot create " + taken.string() +
                                            ": Resource temporarily unavailable",
                                        DatabaseError::Kind::Io);
                }
            }
        }
        try {
            file_->setPermissions(modeOf(modeFrom.empty() ? target_ : modeFrom));
        } catch (const DatabaseError&) {
            // A volume without Unix permissions (a FAT memory stick) refuses
            // some modes; the file then stays private, or as the volume shows it.
        }
    } catch (const DatabaseError& e) {
        if (file_) {
            file_.reset();
            try {
                fs_.remove(temp_);
            } catch (const DatabaseError&) {
            }
        }
        fail(e);
    }
}

ReplacingFile::~ReplacingFile() {
    if (committed_ || temp_.empty())
        return;
    file_.reset();
    try {
        fs_.remove(temp_);
    } catch (const DatabaseError&) {
        // Left behind under a name nobody else uses.
    }
}

void ReplacingFile::fail(const DatabaseError& e) const {
    throw DatabaseError("Cannot write " + target_.string() + ": " + failureReason(e), e.kind());
}

File& ReplacingFile::file() {
    if (!file_)
        file_ = fs_.open(temp_, FileMode::ReadWrite);
    return *file_;
}

void ReplacingFile::append(const void* data, std::size_t n) {
    try {
        file().writeAt(end_, data, n);
    } catch (const DatabaseError& e) {
        fail(e);
    }
    end_ += n;
}

void ReplacingFile::close() {
    if (!held_)
        held_ = std::move(file_);
    file_.reset();
}

void ReplacingFile::commit() {
    try {
        file().sync();
        fs_.rename(temp_, target_);
        committed_ = true;
        File& holder = held_ ? *held_ : *file_;
        try {
            holder.unlockRange(kHoldLock, 1);
        } catch (const DatabaseError&) {
            // Never held, on a volume without locks.
        }
        held_.reset();
        fs_.syncDirectory(target_.parent_path());
    } catch (const DatabaseError& e) {
        fail(e);
    }
}

std::unique_ptr<File> ReplacingFile::release() {
    return std::move(file_);
}

std::string replacedName(std::string_view name) {
    const std::size_t fixed = 1 + 1 + kRandom + kSuffix.size(); // ".", ".", random, suffix
    if (name.size() <= fixed || name.front() != '.' ||
        name.substr(name.size() - kSuffix.size()) != kSuffix)
        return {};
    const std::string_view random = name.substr(name.size() - kSuffix.size() - kRandom, kRandom);
    if (name[name.size() - kSuffix.size() - kRandom - 1] != '.' ||
        !std::all_of(random.begin(), random.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }))
        return {};
    return std::string(name.substr(1, name.size() - fixed));
}

std::vector<RemovedTemporary>
removeAbandonedTemporaries(const fs::path& folder,
                           const std::function<bool(const std::string&)>& ours) {
    std::vector<RemovedTemporary> removed;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, ec)) {
        const fs::path path = entry.path();
        const std::string replaced = replacedName(path.filename().string());
        if (replaced.empty() || !ours(replaced))
            continue;
        const int fd = openToLook(path);
        if (fd < 0)
            continue; // a link, or gone
        struct stat st {
        }, named{};
        // Held while removed, so a writer that made the name in the moment
        // before sees it gone once it has the lock, and takes another.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && lockUnheld(fd) &&
            ::lstat(path.c_str(), &named) == 0 && named.st_ino == st.st_ino &&
            named.st_dev == st.st_dev && ::unlink(path.c_str()) == 0)
            removed.push_back({path, std::uint64_t(st.st_size)});
        ::close(fd);
    }
    std::sort(removed.begin(), removed.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    return removed;
}

void replaceFile(const fs::path& target, std::string_view bytes, FileSystem& fs) {
    ReplacingFile file(target, fs);
    file.append(bytes.data(), bytes.size());
    file.commit();
}

bool saveProfile(const core::Profile& profile, std::string* error, FileSystem& fs) {
    const auto fail = [&](const std::string& message) {
        if (error)
            *error = message;
        return false;
    };
    if (profile.path().empty())
        return fail("no file name to save the settings to");
    if (profile.unreadable())
        return fail("cannot read " + profile.path().string() + "; it was not replaced");
    std::error_code ec;
    const fs::path dir = followLinks(profile.path()).parent_path();
    if (!dir.empty())
        fs::create_directories(dir, ec);
    try {
        replaceFile(profile.path(), profile.text(), fs);
        return true;
    } catch (const DatabaseError& e) {
        return fail(e.what());
    }
}

} // namespace shelvix::db
