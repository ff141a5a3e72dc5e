#pragma once

#include "db/engine/table.h"

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace shelvix::db {

// The one-file catalogues of the two earlier versions, kept in the data
// directory: version 2 in B2LOG.DBF (26 fields), version 1 in BLOG.DBF (15).
inline constexpr const char* kVersion2File = "B2LOG.DBF";
inline constexpr const char* kVersion1File = "BLOG.DBF";

// The old file `name` of `dataDir` in any capitals (blog.dbf is BLOG.DBF):
// the name as given when it exists, else the first such file by name; the
// name as given when there is none.
QString findEarlierVersionFile(const QString& dataDir, const QString& name);

// Silent structure checks: the exact field count and the names of fields 2
// onwards (field 1 is not looked at). A missing .MDX has its header mark
// cleared first, as for a book table. Nothing is ever shown.
bool CheckDBaseFormatV2(const QString& path);
bool CheckDBaseFormatV1(const QString& path);

// What keeps the old file `path` from converting when it is there but cannot
// be read (a damaged header, records cut short): one line naming it and the
// damage. "" when it reads, or there is no such file.
std::string earlierVersionDamage(const QString& path);

// Removes the old file once its records are in the book table, and syncs the
// folder so that the removal lasts.
void removeEarlierVersionFile(const QString& path, FileSystem& fs = FileSystem::native());

// Appends the old file's records to `target` (a book table) and syncs it
// once at the end; returns how many were added. Throws DatabaseError; the
// records this attempt posted are then marked deleted, so that converting
// the kept old file again never leaves two copies.
std::uint32_t ConvertV2(const QString& path, Table& target);
std::uint32_t ConvertV1(const QString& path, Table& target);

// Version 1 keeps its purchase date as day, month (a number or "Jan" ...
// "Dec") and year texts, read month first whatever the user's date format.
// Nothing when they do not make a date.
std::optional<Date> versionOneDate(std::string_view day, std::string_view month,
                                   std::string_view year);

// The structures of the old files (field 1 named RecNum), for making them.
std::vector<FieldDef> versionFields(int version);

} // namespace shelvix::db
