#pragma once
// What every fuzz target shares: a scratch directory on a memory file system
// (syncs cost nothing there), file writing, the split of one input into two
// files, and a book table that imports and conversions write into.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace shelvix::db {
class Table;
}

namespace shelvix::fuzz {

using Bytes = std::span<const std::uint8_t>;

const std::filesystem::path& workDir();
void writeFile(const std::filesystem::path& path, Bytes bytes);
std::string readFile(const std::filesystem::path& path);

// Inputs holding two files: 4 bytes little-endian length L, the first file's
// L bytes, then the second file (empty when nothing follows).
struct TwoFiles {
    Bytes first;
    Bytes second;
};
TwoFiles splitTwo(Bytes input);

// The book table in the scratch directory that imports write into. It is
// made again once it holds more than 200 records, so its check stays
// fast. Our own writes must always leave it whole: a check that finds
// anything aborts the run.
db::Table& bookTarget();
void requireWhole(db::Table& table, const char* after);

// Aborts with `what` on stderr: a broken invariant is a finding.
[[noreturn]] void fail(const std::string& what);

} // namespace shelvix::fuzz
