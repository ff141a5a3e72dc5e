#pragma once

#include "cli/commandline.h"
#include "db/engine/table.h"
#include "find/criteria.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace shelvix::cli {

// The commands of commandTable() (commandline.cpp) that live here and in
// search.cpp and replace.cpp; each answers its exit status, 0 or 1, and
// throws UsageError for a mistake the table cannot see.
int runCreate(const Invocation& a, std::ostream& out, std::ostream& err);
int runGenerate(const Invocation& a, std::ostream& out, std::ostream& err);
int runInfo(const Invocation& a, std::ostream& out, std::ostream& err);
int runDump(const Invocation& a, std::ostream& out, std::ostream& err);
int runIndex(const Invocation& a, std::ostream& out, std::ostream& err);
int runCheck(const Invocation& a, std::ostream& out, std::ostream& err);
int runRepair(const Invocation& a, std::ostream& out, std::ostream& err);
int runPack(const Invocation& a, std::ostream& out, std::ostream& err);
int runReindex(const Invocation& a, std::ostream& out, std::ostream& err);
// `search FILE --level ... [--count]`: the search window's criteria over a
// table; or a saved search of the catalogue (--saved, --on-loan, --overdue).
int runSearch(const Invocation& a, std::ostream& out, std::ostream& err);
// `replace FILE --field NAME --find VALUE --with VALUE`: the Search and
// Replace pass without questions, its counters printed.
int runReplace(const Invocation& a, std::ostream& out, std::ostream& err);

// `isbn FILE [--fix] [--form 10|13]` and `duplicates FILE [--by ...]`.
int runIsbn(const Invocation& a, std::ostream& out, std::ostream& err);
int runDuplicates(const Invocation& a, std::ostream& out, std::ostream& err);

// Opens for a command that writes; the open repairs what a writer that died
// left behind, and the user hears of it. With `rebuildsIndex`, for work that
// builds the index anyway, an index that cannot be read is built again first.
std::unique_ptr<db::Table> openToWrite(const std::filesystem::path& file, std::ostream& err,
                                       bool rebuildsIndex = false);
// Opens for a command that only reads the records. A table whose production
// index is missing (mailed without it) is read without it, with a note on
// `err` saying how to build it again.
std::unique_ptr<db::Table> openToRead(const std::filesystem::path& file, std::ostream& err,
                                      db::OpenMode mode = db::OpenMode::ReadOnly);
// A CSV field, quoted when it must be.
std::string csvField(std::string_view value);

// The items of `--level "FIELD OP VALUE; ..."` options, saved as the search
// window saves its levels; a level the window would refuse is a UsageError.
std::vector<find::SearchItem> searchLevels(const std::vector<std::string>& levels,
                                           const std::string& dateFormat);

// One of the twelve date formats by its pattern ("m/d/yyyy", "dd.mm.yyyy").
int dateFormatNumber(const std::string& text);

// The table's visible records as `dump` writes them: CSV with a header line,
// the fields of the comma-separated list (every field when it is empty).
void writeCsv(db::Table& table, const std::string& fieldList, std::ostream& out);

} // namespace shelvix::cli
