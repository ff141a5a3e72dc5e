#include "cli/backup.h"

#include "backup/filecopy.h"
#include "backup/messages.h"
#include "cli/commands.h"
#include "db/booktable.h"
#include "db/conversion.h"
#include "db/databasefiles.h"
#include "db/engine/dbf.h"
#include "db/engine/error.h"
#include "db/settings.h"
#include "db/sortorder.h"

#include <QDir>
#include <QFileInfo>
#include <ostream>

namespace shelvix::cli {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string s(const QString& q) {
    return q.toStdString();
}

// A missing file or directory is a failure, said in one line.
int missing(std::ostream& err, const char* what, const std::string& path) {
    err << "shelvix-tool: " << what << ": " << path << "\n";
    return 1;
}

// The table, then its settings and lists that exist, as source and target.
std::vector<std::pair<QString, QString>> companions(const db::DatabaseFiles& from,
                                                    const QString& dir) {
    std::vector<std::pair<QString, QString>> out;
    if (QFileInfo(from.settings).isFile())
        out.emplace_back(from.settings,
                         backup::joinPath(dir, from.tableName + QStringLiteral(".INI")));
    for (int n = 1; n <= db::kListFileCount; ++n)
        if (QFileInfo(from.list(n)).isFile())
            out.emplace_back(from.list(n),
                             backup::joinPath(dir, from.tableName + QStringLiteral(".%1").arg(
                                                                        n, 3, 10, QChar(u'0'))));
    return out;
}

// The fields in the header, read without the index: a backup keeps the
// table's index mark but not its .MDX, and the restore drops the index
// anyway. The backup itself is never written. Throws DatabaseError for a
// file that is no dBASE table.
bool isBookTableFile(const QString& path) {
    auto file = db::FileSystem::native().open(db::toPath(path), db::FileMode::ReadOnly);
    std::vector<std::string> names;
    for (const db::FieldLayout& f : db::dbf::readHeader(*file, s(path)).fields)
        names.push_back(f.name);
    return db::isBookTable(names);
}

bool copyAll(const std::vector<std::pair<QString, QString>>& files, std::ostream& err,
             const QString& failed) {
    for (const auto& [from, to] : files) {
        if (!backup::copyFile(from, to)) {
            err << s(failed) << " (" << s(to) << ")\n";
            return false;
        }
    }
    return true;
}

} // namespace

int runBackup(const Invocation& a, std::ostream& out, std::ostream& err) {
    const auto& p = a.arguments;
    const db::DatabaseFiles files = db::DatabaseFiles::of(q(p[0]));
    const QString dir = QFileInfo(q(p[1])).absoluteFilePath();
    if (!QFileInfo(dir).isDir())
        return missing(err, "not a directory", p[1]);
    const QString target = backup::joinPath(dir, files.tableName + QStringLiteral(".DBF"));
    if (backup::sameFile(files.current, target)) {
        err << s(backup::Messages::identicalBackup) << "\n";
        return 1;
    }
    // Held for sole use while it is copied, so no writer changes it half-way.
    // Its index is not copied, so not read either: a damaged one is no bar.
    std::unique_ptr<db::Table> sole;
    try {
        sole = db::Table::openTableOnly(db::toPath(files.current), db::OpenMode::Exclusive);
    } catch (const db::DatabaseError& e) {
        if (e.kind() != db::DatabaseError::Kind::InUse)
            throw;
        err << s(backup::Messages::exclusiveBackup) << "\n";
        return 1;
    }
    if (!backup::hasRoom(files.current, target)) {
        err << s(backup::Messages::noRoomBackup) << "\n";
        return 1;
    }
    auto all = companions(files, dir);
    all.insert(all.begin(), {files.current, target});
    if (!copyAll(all, err, backup::Messages::backupFailed))
        return 1;
    out << "backed up " << all.size() << " file" << (all.size() == 1 ? "" : "s") << " to " << s(dir)
        << "\n";
    return 0;
}

int runRestore(const Invocation& a, std::ostream& out, std::ostream& err) {
    const auto& p = a.arguments;
    const db::DatabaseFiles from = db::DatabaseFiles::of(q(p[0]));
    const QString dataDir = QFileInfo(q(p[1])).absoluteFilePath();
    if (!QFileInfo(from.current).isFile())
        return missing(err, "no such file", p[0]);
    if (!QFileInfo(dataDir).isDir())
        return missing(err, "not a directory", p[1]);
    const QString target = backup::joinPath(dataDir, QFileInfo(from.current).fileName());
    if (backup::sameFile(from.current, target)) {
        err << s(backup::Messages::identicalRestore) << "\n";
        return 1;
    }
    if (!isBookTableFile(from.current)) {
        err << "not a book table: " << p[0] << "\n";
        return 1;
    }
    // Only another user stops it: a damaged target is what it puts right.
    // Held from here to the end, so nothing another user stores meanwhile
    // goes to the table being replaced.
    std::unique_ptr<db::File> held;
    if (!backup::holdTarget(target, held)) {
        err << s(backup::Messages::inUseRestore) << "\n";
        return 1;
    }
    if (!backup::hasRoom(from.current, target)) {
        err << s(backup::Messages::noRoomRestore) << "\n";
        return 1;
    }
    if (!backup::restoreTable(from.current, target, db::FileSystem::native(), &held)) {
        err << s(backup::Messages::restoreFailed) << " (" << s(target) << ")\n";
        return 1;
    }
    auto all = companions(from, dataDir);
    if (!copyAll(all, err, backup::Messages::restoreFailed))
        return 1;
    all.insert(all.begin(), {from.current, target});
    const db::DatabaseFiles restored = db::DatabaseFiles::of(target);
    const db::DatabaseSettings settings = db::DatabaseSettings::load(restored.settings, {});
    auto sole = db::Table::openHeld(std::move(held), db::toPath(target));
    const std::string tag = db::applySortTag(*sole, db::buildSortString(settings.sortOrder));
    out << "restored " << all.size() << " file" << (all.size() == 1 ? "" : "s") << " to "
        << s(dataDir) << (tag.empty() ? "" : ", sort tag " + tag + " built") << "\n";
    return 0;
}

int runConvert(const Invocation& a, std::ostream& out, std::ostream& err) {
    const std::string into = a.value("--into");
    const QString dataDir = QFileInfo(q(a.arguments[0])).absoluteFilePath();
    if (!QFileInfo(dataDir).isDir())
        return missing(err, "not a directory", a.arguments[0]);
    struct Old {
        const char* name;
        bool (*check)(const QString&);
        std::uint32_t (*convert)(const QString&, db::Table&);
        QString path;
    };
    std::vector<Old> olds;
    std::vector<std::string> damaged;
    for (Old old : {Old{db::kVersion2File, db::CheckDBaseFormatV2, db::ConvertV2, {}},
                    Old{db::kVersion1File, db::CheckDBaseFormatV1, db::ConvertV1, {}}}) {
        old.path = db::findEarlierVersionFile(dataDir, QLatin1String(old.name));
        if (std::string damage = db::earlierVersionDamage(old.path); !damage.empty())
            damaged.push_back(std::move(damage));
        else if (old.check(old.path))
            olds.push_back(old);
    }
    const auto sayDamaged = [&] {
        for (const std::string& line : damaged)
            err << "shelvix-tool: " << line << "\n";
        return damaged.empty() ? 0 : 1;
    };
    // No target is made for nothing.
    if (olds.empty()) {
        if (damaged.empty())
            out << "nothing to convert\n";
        return sayDamaged();
    }
    const QString targetPath =
        into.empty() ? backup::joinPath(dataDir, QStringLiteral("MASTER.DBF")) : q(into);
    if (!QFileInfo::exists(targetPath))
        db::createBookTable(db::toPath(targetPath));
    auto target = db::Table::open(db::toPath(targetPath), db::OpenMode::Shared);
    if (!db::isBookTable(*target)) {
        err << "not a book table: " << s(targetPath) << "\n";
        return 1;
    }
    for (const Old& old : olds) {
        const std::uint32_t added = old.convert(old.path, *target);
        db::removeEarlierVersionFile(old.path);
        out << s(QFileInfo(old.path).fileName()) << ": " << added << " record"
            << (added == 1 ? "" : "s") << " added to " << s(targetPath) << "\n";
    }
    return sayDamaged();
}

} // namespace shelvix::cli
