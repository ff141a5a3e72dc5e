#pragma once

#include "db/engine/error.h"
#include "db/engine/file.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace shelvix::core {
class Profile;
}

namespace shelvix::db {

// The one way a file of ours is replaced: settings, lists, report
// definitions, text reports, exports, backups, restores, pack.
// - The new bytes go to a temporary file beside the file they replace,
//   created exclusively under a fresh name (".NAME.XXXXXX.tmp"): a name that
//   is taken, a link planted there included, is never opened.
// - Before any byte is written it takes the permission bits of the file it
//   replaces, or of `modeFrom` (a copy takes its source's), else those of
//   any new file (0666 less the umask); on a volume that refuses them it
//   stays private.
// - commit() syncs it, renames it over the target and syncs the folder, so
//   a power cut leaves the old file or the new one, whole.
// - A target that is a symbolic link stays a link: the file it names is
//   replaced (or created, when the link names nothing yet).
// - Dropped uncommitted, the temporary file goes and the target is as it was.
// - From its making to the rename it holds a lock on the temporary file, so
//   that removeAbandonedTemporaries() tells it from one that stopped work
//   left behind.
// Failures throw DatabaseError naming the target.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::filesystem::path& target,
                           FileSystem& fs = FileSystem::native(),
                           const std::filesystem::path& modeFrom = {});
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // The file replaced: the target, its links followed.
    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& tempPath() const { return temp_; }
    // The temporary file while it is open.
    File& file();
    // Writes after what append() wrote so far.
    void append(const void* data, std::size_t n);
    // Stops writing through file(), for a writer that reopens the temporary
    // file by name (a table); the lock stays held until commit().
    void close();
    // After the rename the lock is dropped: the file is the target's now.
    void commit();
    // The rename has been done (commit() may still have failed after it).
    bool committed() const { return committed_; }
    // After commit(): the file, still open, now under the target's name.
    std::unique_ptr<File> release();

private:
    [[noreturn]] void fail(const DatabaseError& e) const;

    FileSystem& fs_;
    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::unique_ptr<File> file_;
    std::unique_ptr<File> held_; // after close(): the handle with the lock
    std::uint64_t end_ = 0;
    bool committed_ = false;
};

// The name of the file a temporary file of ours replaces, "BOOKS.DBF" for
// ".BOOKS.DBF.x7Qz0a.tmp"; empty when `temporary` is no name we give.
std::string replacedName(std::string_view temporary);

struct RemovedTemporary {
    std::filesystem::path path;
    std::uint64_t size = 0;
};

// Removes from `folder` the temporary files of ours that no live process
// holds, of the files `ours` accepts by name (replacedName()): what work that
// was killed, or lost its power, left. Links, what is not a regular file and
// what cannot be removed are left alone.
std::vector<RemovedTemporary>
removeAbandonedTemporaries(const std::filesystem::path& folder,
                           const std::function<bool(const std::string&)>& ours);

// `bytes` in place of `target`, as a ReplacingFile writes it.
void replaceFile(const std::filesystem::path& target, std::string_view bytes,
                 FileSystem& fs = FileSystem::native());

// Why a file could not be written, without its name ("No space left on
// device"), for messages that name it their own way.
std::string failureReason(const DatabaseError& e);

// The file `path` names: the last part's links followed (relative ones from
// the folder of the link). `path` itself when it is no link.
std::filesystem::path followLinks(const std::filesystem::path& path);

// A settings file: the profile's text in place of its file, creating missing
// folders. A file that was there but could not be read is never replaced.
// False, with *error saying why, when it is not saved.
bool saveProfile(const core::Profile& profile, std::string* error = nullptr,
                 FileSystem& fs = FileSystem::native());

} // namespace shelvix::db
