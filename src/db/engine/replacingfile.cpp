#include "db/engine/replacingfile.h"

#include "core/profile.h"
#include "db/engine/error.h"

#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace shelvix::db {

namespace {

constexpr int kMaxLinks = 40; // as the kernel allows
constexpr int kNameTries = 100;

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
    for (int i = 0; i < 6; ++i)
        out += kChars[random() % (sizeof kChars - 1)];
    return out + ".tmp";
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
    file_.reset();
}

void ReplacingFile::commit() {
    try {
        file().sync();
        fs_.rename(temp_, target_);
        committed_ = true;
        fs_.syncDirectory(target_.parent_path());
    } catch (const DatabaseError& e) {
        fail(e);
    }
}

std::unique_ptr<File> ReplacingFile::release() {
    return std::move(file_);
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
