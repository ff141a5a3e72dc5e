#include "backup/filecopy.h"

#include "db/databasefiles.h"
#include "db/engine/dbf.h"
#include "db/engine/error.h"
#include "db/engine/replacingfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <filesystem>
#include <vector>

namespace shelvix::backup {

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

// The copy, then `finish` on it, are synced before the rename. It takes
// the permissions of `modeFrom`.
bool copyThrough(const QString& source, const QString& destination, db::FileSystem& fs,
                 const std::filesystem::path& modeFrom,
                 const std::function<void(db::File&)>& finish) {
    try {
        auto in = fs.open(db::toPath(source), db::FileMode::ReadOnly);
        db::ReplacingFile out(db::toPath(destination), fs, modeFrom);
        std::vector<char> block(kBlockSize);
        std::uint64_t at = 0;
        for (;;) {
            const std::size_t n = in->readAt(at, block.data(), block.size());
            if (n == 0)
                break;
            out.append(block.data(), n);
            at += n;
        }
        if (finish)
            finish(out.file());
        out.commit();
        return true;
    } catch (const db::DatabaseError&) {
        return false;
    }
}

} // namespace

bool sameFile(const QString& a, const QString& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(db::toPath(a), db::toPath(b), ec))
        return true;
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

bool copyFile(const QString& source, const QString& destination, db::FileSystem& fs) {
    // A backup keeps the catalogue's permissions, whatever the old copy had.
    return copyThrough(source, destination, fs, db::toPath(source), {});
}

bool restoreTable(const QString& source, const QString& target, db::FileSystem& fs) {
    // The restored table keeps the permissions of the one it replaces.
    std::error_code ec;
    const auto modeFrom =
        std::filesystem::exists(db::toPath(target), ec) ? db::toPath(target) : db::toPath(source);
    const bool copied = copyThrough(source, target, fs, modeFrom, [](db::File& copy) {
        const db::dbf::Header header = db::dbf::readHeader(copy, "the restored table");
        if (header.hasMdx) {
            const std::uint8_t none = 0;
            copy.writeAt(db::dbf::kMdxFlagOffset, &none, 1);
        }
    });
    if (!copied)
        return false;
    bool found = false;
    const auto index = db::findCompanion(db::toPath(target), ".MDX", &found);
    if (found) {
        try {
            fs.remove(index);
            fs.syncDirectory(index.parent_path());
        } catch (const db::DatabaseError&) {
            // Unmarked, the stale index is never read; the sort tag replaces it.
        }
    }
    return true;
}

std::int64_t volumeFreeSpace(const QString& directory) {
    const QStorageInfo volume(directory);
    return volume.isValid() ? volume.bytesAvailable() : 0;
}

bool hasRoom(const QString& source, const QString& destination, const FreeSpace& freeSpace) {
    auto in = db::FileSystem::native().open(db::toPath(source), db::FileMode::ReadOnly);
    const std::uint64_t size = in->size();
    const std::int64_t free = freeSpace(QFileInfo(destination).absolutePath());
    return free >= 0 && size <= std::uint64_t(free);
}

QString joinPath(const QString& directory, const QString& name) {
    QString dir = directory;
    while (dir.size() > 1 && dir.endsWith(u'/'))
        dir.chop(1);
    return dir.endsWith(u'/') ? dir + name : dir + u'/' + name;
}

} // namespace shelvix::backup
