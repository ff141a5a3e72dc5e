#pragma once

// Temporary files of ours: the new table, index, copy, export or settings
// file that work writes beside the file it will replace. Their writer holds
// an exclusive lock on each (File::tryLockFile; flock(2) for writers that
// hold a bare descriptor) from the moment it makes it until the rename or
// removal, so a temporary that can be locked was left by work that died.

#include "db/engine/file.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace shelvix::db {

// Makes (or empties) `path` and holds the writer's lock on it for as long as
// the file lives. Another process that removed a leftover of that name in
// the moment between making and locking it is caught: the name is made again.
std::unique_ptr<File> createTemporary(FileSystem& fs, const std::filesystem::path& path);

// Is `name` one of the names we give temporaries in the folder of the table
// whose file is `tableFile` (BOOKS.DBF)? Any ".NAME.XXXXXX.tmp" (a file
// replaced by way of a fresh name); "BOOKS.DBF.tmp" and "BOOKS.MDX.tmp" of a
// pack or an index rebuild; ".BOOKS.DBF.part", ".BOOKS.INI.part" and
// ".BOOKS.001.part" to ".BOOKS.009.part" of a restore.
bool isTemporaryName(std::string_view name, std::string_view tableFile);

struct RemovedTemporary {
    std::filesystem::path path;
    std::uint64_t size = 0;
};

// Removes the temporaries of ours in the folder of `table` that no live
// process holds. Links and what is not a regular file are left alone, and so
// is a file that cannot be opened or removed.
std::vector<RemovedTemporary> removeAbandonedTemporaries(const std::filesystem::path& table,
                                                         FileSystem& fs = FileSystem::native());

} // namespace shelvix::db
