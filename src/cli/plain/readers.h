#pragma once

// The commands that only read a table and need nothing above the engine.
// The tool runs them without loading Qt (front.h).

#include "cli/plain/invocation.h"
#include "db/engine/table.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace shelvix::cli {

int runInfo(const Invocation& a, std::ostream& out, std::ostream& err);
int runDump(const Invocation& a, std::ostream& out, std::ostream& err);

// Opens for a command that only reads the records. A table whose production
// index is missing (mailed without it) is read without it, with a note on
// `err` saying how to build it again.
std::unique_ptr<db::Table> openToRead(const std::filesystem::path& file, std::ostream& err,
                                      db::OpenMode mode = db::OpenMode::ReadOnly);

// A CSV field, quoted when it must be.
std::string csvField(std::string_view value);

// The table's visible records as `dump` writes them: CSV with a header line,
// the fields of the comma-separated list (every field when it is empty).
void writeCsv(db::Table& table, const std::string& fieldList, std::ostream& out);

} // namespace shelvix::cli
