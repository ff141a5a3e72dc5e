#pragma once

#include "find/criteria.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace shelvix::db {
class Table;
}

namespace shelvix::cli {

// Thrown for a command line that does not make sense; exit status 2.
struct UsageError {
    std::string message;
};

// Runs one command. Returns the exit status: 0 success, 1 failure.
// Database errors propagate as shelvix::db::DatabaseError.
int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kUsage;

// `search FILE --level ... [--count]`: the search window's criteria over a
// table (search.cpp).
int runSearch(const std::vector<std::string>& args, std::ostream& out);

// The items of `--level "FIELD OP VALUE; ..."` options, saved as the search
// window saves its levels; a level the window would refuse is a UsageError.
std::vector<find::SearchItem> searchLevels(const std::vector<std::string>& levels,
                                           const std::string& dateFormat);
// `replace FILE --field NAME --find VALUE --with VALUE`: the Search and
// Replace pass without questions, its counters printed (replace.cpp).
int runReplace(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// One of the twelve date formats by its pattern ("m/d/yyyy", "dd.mm.yyyy").
int dateFormatNumber(const std::string& text);

// The table's visible records as `dump` writes them: CSV with a header line,
// the fields of the comma-separated list (every field when it is empty).
void writeCsv(db::Table& table, const std::string& fieldList, std::ostream& out);

} // namespace shelvix::cli
