#pragma once

#include "db/databasefiles.h"
#include "db/engine/file.h"

#include <QString>
#include <QStringList>
#include <array>

// The nine data lists that feed the drop-downs of the book fields. Each
// database keeps its own nine files beside its table (base path + ".001" ...
// ".009"); the data directory keeps nine default files that seed new
// databases. List files are Windows-1252 text, one entry a line, CR LF.
namespace shelvix::db {

inline constexpr int kDataListCount = kListFileCount;

struct DataListInfo {
    const char* defaultFile; // in the data directory
    const char* menuItem;    // "List Maintenance" submenu
    const char* captionName; // in the maintenance dialog's caption
    int entryLength;         // longest entry typed in the maintenance dialog
    const char* editControl; // drop-down of the record edit form
    const char* gridEditor;  // in-cell editor of the main window's grid
    int field;               // the book field it feeds (db::field)
};

// In list-number order: 1 Author, 2 Location, 3 Where purchased, 4 Category,
// 5 Publisher, 6 Rating, 7 Book type, 8 Check-out person, 9 Condition.
const std::array<DataListInfo, kDataListCount>& dataListTable();

// The data-list number (1 to 9) of a field number, or 0 for a field without
// a drop-down.
int dataListOfField(int field);

// Default list `number` in `dataDir`, found as every companion is
// (databaseListFile() names a database's own).
QString defaultListFile(const QString& dataDir, int number);

// A file that cannot be read gives an empty list. Lines are cut to 255
// characters and trimmed; blank lines are skipped, duplicates kept.
QStringList LoadList(const QString& file);
// Replaces the file through a temporary file, so a failed write leaves the
// old list in place. False when the file could not be written.
bool SaveList(const QString& file, const QStringList& entries,
              FileSystem& fs = FileSystem::native());

// Appends the trimmed text unless it is empty or already an entry (case
// counts). True when it was added.
bool AddToList(QStringList& list, const QString& text);

using DataLists = std::array<QStringList, kDataListCount>; // index = list number - 1

// A database without its book-type, category and rating files has never had
// lists of its own and gets the defaults; otherwise each of its nine files
// is read (a missing one gives an empty list).
DataLists LoadAllList(const QString& basePath, const QString& dataDir);
// Failures are silent, as for SaveList; the result is false when any of the
// nine files could not be written.
bool SaveAllLists(const QString& basePath, const DataLists& lists,
                  FileSystem& fs = FileSystem::native());
DataLists LoadDefaultList(const QString& dataDir);
bool SaveDefaultLists(const QString& dataDir, const DataLists& lists);

} // namespace shelvix::db
