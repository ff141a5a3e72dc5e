#pragma once

#include "cli/commandline.h"
#include "cli/plain/readers.h"
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

// The items of `--level "FIELD OP VALUE; ..."` options, saved as the search
// window saves its levels; a level the window would refuse is a UsageError.
std::vector<find::SearchItem> searchLevels(const std::vector<std::string>& levels,
                                           const std::string& dateFormat);

// One of the twelve date formats by its pattern ("m/d/yyyy", "dd.mm.yyyy").
int dateFormatNumber(const std::string& text);

} // namespace shelvix::cli
