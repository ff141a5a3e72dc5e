#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace shelvix::db {

class Table;

// Creates an empty book table (the 36 fields, no index) at `path`, replacing
// a file that is there. Throws DatabaseError.
void createBookTable(const std::filesystem::path& path);

// A book table has exactly the 36 fields, named as the field table names them
// and in that order; names compare without regard to case.
bool isBookTable(const std::vector<std::string>& fieldNames);
bool isBookTable(const Table& table);

} // namespace shelvix::db
