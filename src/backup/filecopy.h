#pragma once

#include "db/engine/file.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace shelvix::backup {

// Do the two paths name one file, as the file system says (links, bind
// mounts and case-blind volumes included)? Paths that do not both exist are
// the same only when they are spelled the same once made absolute.
bool sameFile(const QString& a, const QString& b);

// Copies `source` over `destination` in blocks, through db::ReplacingFile:
// a full disk, a failing write or a power cut leaves the destination as it
// was. The copy takes the source's permissions. False on any failure (the
// temporary file is removed).
bool copyFile(const QString& source, const QString& destination,
              db::FileSystem& fs = db::FileSystem::native());

// Puts a backed-up table in place of `target`, dropping the index that
// described the old records. The copy loses its index mark before it
// replaces the old table and the old index goes only after, so a crash at
// any point leaves the old table with its own index or the new one with
// none (its sort tag is built when it opens). False on any failure, the old
// table and index then untouched. The table keeps its permissions.
bool restoreTable(const QString& source, const QString& target,
                  db::FileSystem& fs = db::FileSystem::native());

// Free bytes for an unprivileged user on the volume holding `directory`.
using FreeSpace = std::function<std::int64_t(const QString& directory)>;
std::int64_t volumeFreeSpace(const QString& directory);

// Is there room on the destination's volume for the source? The old
// destination is replaced only once the new copy is whole, so its size is no
// room: the whole source must fit. Sizes in 64 bits. Throws
// db::DatabaseError when the source cannot be measured.
bool hasRoom(const QString& source, const QString& destination,
             const FreeSpace& freeSpace = volumeFreeSpace);

// `directory` + "/" + `name`, with exactly one "/" between (a root stays "/").
QString joinPath(const QString& directory, const QString& name);

} // namespace shelvix::backup
