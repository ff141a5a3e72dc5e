#pragma once

#include "app/searchbracket.h"
#include "app/settings.h"
#include "transfer/records.h"

#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace shelvix::db {
class DisplayFormats;
}

namespace shelvix::db {
class Table;
}

namespace shelvix::transfer {

enum class ExportFormat { Delimited = 1, DBase = 2 };

// One row of the export window's grid: a book field and its Yes/No mark.
// Rows carry the field itself, so two fields given the same label keep
// their own place and mark.
struct ExportRow {
    int field = 0;
    bool use = true;
    bool operator==(const ExportRow&) const = default;
};

// The 36 rows from the settings: fields by their stored order (ties in table
// order, orders outside 1 to 36 last), so a hand-edited file still gives
// every field exactly one row.
std::vector<ExportRow> exportRows(const app::DatabaseSettings& settings);
// Rows 1 to 36 in field order, every one Yes (the Defaults button).
std::vector<ExportRow> defaultExportRows();
// UpdateConfigs: each field's order is its row, its mark the row's mark.
void updateConfigs(app::DatabaseSettings& settings, const std::vector<ExportRow>& rows);
// CalcIndexOrder: the fields marked Yes, in grid order.
std::vector<int> calcIndexOrder(const app::DatabaseSettings& settings);

struct ExportRequest {
    ExportFormat format = ExportFormat::Delimited;
    std::filesystem::path target;
    std::vector<int> fields;       // book field numbers in column order
    app::PerField<QString> labels; // the headings of the delimited header line
    bool headerLine = true;        // delimited only
    bool utf8 = false;             // delimited text in UTF-8 rather than Windows-1252
    bool searchOnly = false;       // the search result rather than every record
    // Files the export must never replace: the open database and its companions.
    std::vector<std::filesystem::path> protectedFiles;
};

// The name ends in ".DBF" in any case.
bool hasDbfExtension(const QString& path);
// Whether `target` is one of `files` (the same file, or the same name).
bool isProtectedTarget(const std::filesystem::path& target,
                       const std::vector<std::filesystem::path>& files);
// The table's files the user keeps together: the .DBF, its .MDX and .INI and
// the nine lists, as they are named beside `table`.
std::vector<std::filesystem::path> databaseFiles(const std::filesystem::path& table);

struct ExportResult {
    std::uint64_t written = 0;
    bool cancelled = false; // nothing was written to the target then
};

// Writes the table's records, in its current order and through its filter,
// to a new file that replaces the target only once it is complete.
class Exporter {
public:
    explicit Exporter(const db::DisplayFormats& formats) : formats_(formats) {}

    // `table` is the open table; an export of the entire database ends the
    // search in force through `search` (which may reopen it). `progress`
    // gets (done, total) after every record and may answer false to stop.
    // Throws TransferError (a refused target, a file that cannot be
    // written) or DatabaseError.
    ExportResult run(std::unique_ptr<db::Table>& table, const ExportRequest& request,
                     app::SearchBracket* search,
                     const std::function<bool(std::uint64_t, std::uint64_t)>& progress = {});

private:
    const db::DisplayFormats& formats_;
};

extern const char* const kProtectedTargetMessage;

} // namespace shelvix::transfer
