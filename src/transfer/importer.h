#pragma once

#include "db/duplicates.h"
#include "transfer/convert.h"
#include "transfer/records.h"

#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace shelvix::db {
class DisplayFormats;
}

namespace shelvix::db {
class Table;
}

namespace shelvix::transfer {

// Which book field (1 to 36) receives each source field, -1 for none.
using FieldMap = std::vector<int>;

// The import window's grid: book field rows 1 to 36 and below them the rest
// of the source fields. Each row holds the source field placed there (its
// index from 0, or -1) and whether it is used.
struct ImportRow {
    int source = -1;
    bool use = false;
};
// Rows as the window first shows them: source field i beside book field i.
std::vector<ImportRow> initialImportRows(int sourceFields);
// The map the rows describe. A source field takes the book field of the row
// it sits in, by place, so two sources with the same name stay apart; rows
// below 36 and fields marked No are not imported.
FieldMap fieldMapFromRows(const std::vector<ImportRow>& rows, int sourceFields);

struct ImportStats {
    std::uint64_t imported = 0;      // records posted
    std::uint64_t cutFields = 0;     // fields over 255 characters, cut
    std::uint64_t unreadDates = 0;   // date texts that are no date, left empty
    std::uint64_t unreadNumbers = 0; // numbers that are none or do not fit, left empty
    std::uint64_t longLines = 0;     // lines with more fields than the first
    std::uint64_t unclosedLines = 0; // lines that ended inside a quoted field or an unquoted one
    std::uint64_t strayQuotes = 0;   // lines with a lone quote inside a quoted field
    std::uint64_t unmappedChars = 0; // characters the table's code page lacks, stored as '?'
    std::uint64_t cutMemos = 0;      // memos longer than their book field, cut to its width
    std::uint64_t unreadMemos = 0;   // memos the memo file did not hold, left empty
    std::uint32_t pastCount = 0;     // source records past its header's count, read too
    // ISBNs stored as they stood though no ISBN: a check digit that does not
    // match, or neither 10 nor 13 characters of one.
    std::uint64_t isbnWrongCheckDigits = 0;
    std::uint64_t isbnMalformed = 0;
    // Books whose ISBN the catalogue held already (an earlier one of the
    // same import included), added or left out as chosen.
    std::uint64_t duplicatesAdded = 0;
    std::uint64_t duplicatesSkipped = 0;
    bool cancelled = false;
};

// What the user should know about values that were not stored as they
// stood; empty when there is nothing.
QString importWarning(const ImportStats& stats);
// The closing message of an import that ran to its end.
QString importCompleteMessage(const ImportStats& stats);

// Appends the source's records to a book table, converting each value by
// the kind of the book field it goes to. Records are posted one by one (an
// import is not a transaction); the table's display stays off meanwhile.
// A table to import into from the command line: held for sole use when no
// one else has it (appends then skip the locks and count checks that sharing
// needs), shared otherwise.
std::unique_ptr<db::Table> openForImport(const std::filesystem::path& path);

class Importer {
public:
    Importer(db::Table& table, const db::DisplayFormats& formats);

    // `progress` is called after every record posted; answering false stops
    // the import there. `stats` is kept up to date, so it tells what was
    // stored even when the run ends in an exception.
    void run(RecordReader& reader, const FieldMap& map, bool skipFirst, ImportStats& stats,
             const std::function<bool(const ImportStats&)>& progress = {});
    // Books whose ISBN the catalogue holds already are left out rather than
    // added (they are counted either way).
    void setSkipDuplicates(bool skip) { skipDuplicates_ = skip; }

private:
    void store(int field, const SourceValue& value, ImportStats& stats);
    // Counts the new record's ISBN; false when it is to be left out.
    bool keepIsbn(ImportStats& stats);

    db::Table& table_;
    DateStyle dates_;
    core::CodePage codePage_;
    core::CodePage from_ = core::CodePage::Windows1252; // what the source's text holds
    std::string recoded_;
    bool skipDuplicates_ = false;
    db::IsbnNumbers isbnKeys_;
};

} // namespace shelvix::transfer
