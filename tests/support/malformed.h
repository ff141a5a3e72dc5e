#pragma once
// Damaged and hostile files of each kind the program reads, made by spoiling
// a folder holding BOOKS.DBF with an index tag (BOOKS.MDX), BOOKS.INI,
// SHVBOOK.URP and an import source SOURCE.TXT.

#include <filesystem>
#include <functional>
#include <vector>

namespace shelvix::test {

struct MalformedCase {
    const char* name;
    std::function<void(const std::filesystem::path& folder)> spoil;
};

const std::vector<MalformedCase>& malformedCases();

} // namespace shelvix::test
