#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>

namespace shelvix::db {

inline constexpr int kListFileCount = 9;

// The files of one database: the table, its production index, its settings
// and its nine data lists, side by side. A table named MY.BOOKS.DBF is the
// table "MY" (its caption), but its companions follow the file's own stem, as
// the engine's .MDX does, so that it never shares them with MY.DBF. A
// companion that exists with its extension in another case (BOOKS.mdx,
// BOOKS.ini) is that file, so it is read and rewritten rather than shadowed.
// Backup, restore, conversion and the recent list all go by this list.
struct DatabaseFiles {
    QString current;   // the table (.DBF): absolute, cleaned
    QString index;     // its production index (.MDX)
    QString settings;  // its settings file (.INI)
    QString base;      // directory + stem: the lists are base + ".001" ... ".009"
    QString tableName; // file name up to its first "."

    static DatabaseFiles of(const QString& tablePath);

    // List `number` (1 to 9).
    QString list(int number) const;
    // Table, index, settings and lists 1 to 9, in that order, whether they
    // exist or not.
    QStringList all() const;
    // Those of all() that exist.
    QStringList existing() const;

    bool operator==(const DatabaseFiles&) const = default;
};

// The file name up to, not including, its first ".".
QString tableNameOf(const QString& path);

// List `number` (1 to 9) of the database at `basePath` (directory + stem).
QString databaseListFile(const QString& basePath, int number);
// `dir`/`name`, or the existing file of that directory whose name differs
// from it only in the case of its extension (the engine's rule).
QString findCompanionFile(const QString& dir, const QString& name);

// File names go to the engine in the local 8-bit encoding (UTF-8).
std::filesystem::path toPath(const QString& path);
QString fromPath(const std::filesystem::path& path);

} // namespace shelvix::db
