#include "db/engine/temporaries.h"

#include "db/engine/error.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace shelvix::db {

namespace {

constexpr int kLockTries = 200; // 10 ms apart: a sweeper holds a lock for a moment only

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// ".NAME.XXXXXX.tmp": six letters or digits made up for the occasion.
bool isFreshName(std::string_view name) {
    constexpr std::size_t kTail = 1 + 6 + 4; // ".XXXXXX.tmp"
    if (name.size() < 2 + kTail || name[0] != '.' || !endsWith(name, ".tmp"))
        return false;
    const std::string_view random = name.substr(name.size() - 10, 6);
    return name[name.size() - kTail] == '.' &&
           std::all_of(random.begin(), random.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

} // namespace

std::unique_ptr<File> createTemporary(FileSystem& fs, const fs::path& path) {
    for (int attempt = 1;; ++attempt) {
        // An existing file is emptied only once it is ours: it may be
        // another writer's.
        const bool existed = fs.exists(path);
        auto file = fs.open(path, existed ? FileMode::ReadWrite : FileMode::Create);
        if (file->tryLockFile(File::OpenLock::Exclusive)) {
            if (fs.exists(path)) {
                if (existed && file->size() > 0)
                    file->truncate(0);
                return file;
            }
            continue; // swept away before we held it
        }
        if (attempt == kLockTries)
            throw DatabaseError(path.string() + " is being written by another process",
                                DatabaseError::Kind::InUse);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool isTemporaryName(std::string_view name, std::string_view tableFile) {
    if (isFreshName(name))
        return true;
    const std::size_t dot = tableFile.rfind('.');
    const std::string_view stem = tableFile.substr(0, dot);
    if (stem.empty() || name.size() <= stem.size() + 1)
        return false;
    if (name.substr(0, stem.size()) == stem) {
        const std::string rest = upper(name.substr(stem.size()));
        return rest == ".DBF.TMP" || rest == ".MDX.TMP";
    }
    if (name[0] != '.' || name.substr(1, stem.size()) != stem || !endsWith(name, ".part"))
        return false;
    const std::string ext = upper(name.substr(1 + stem.size(), name.size() - stem.size() - 6));
    if (ext == ".DBF" || ext == ".INI")
        return true;
    return ext.size() == 4 && ext.compare(0, 3, ".00") == 0 && ext[3] >= '1' && ext[3] <= '9';
}

std::vector<RemovedTemporary> removeAbandonedTemporaries(const fs::path& table, FileSystem& fs) {
    const fs::path dir = table.has_parent_path() ? table.parent_path() : fs::path(".");
    const std::string tableFile = table.filename().string();
    std::vector<RemovedTemporary> removed;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const fs::path path = entry.path();
        if (!isTemporaryName(path.filename().string(), tableFile) ||
            !fs::is_regular_file(fs::symlink_status(path, ec)))
            continue;
        try {
            auto file = fs.open(path, FileMode::ReadOnly);
            if (!file->tryLockFile(File::OpenLock::Exclusive))
                continue; // its writer lives
            const std::uint64_t size = file->size();
            // Removed while held, so a writer that made it again meanwhile
            // finds its name gone once it gets the lock, and makes it anew.
            fs.remove(path);
            removed.push_back({path, size});
        } catch (const DatabaseError&) {
        }
    }
    std::sort(removed.begin(), removed.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    return removed;
}

} // namespace shelvix::db
