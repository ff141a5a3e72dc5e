#pragma once

#include <array>
#include <string>

namespace shelvix::db {

class Table;

// The tag a catalogue is shown in when it has a sort order.
inline constexpr const char* kSortTagName = "NewIndex";

// The key expression of the "NewIndex" tag for up to four sort levels, each a
// field number (1 to 36) or 0 for none. Text levels share 80 characters and
// compare in capitals; an empty result means record order.
std::string buildSortString(const std::array<int, 4>& levels);

// Rebuilds the "NewIndex" tag from `expression` on a table held for sole use
// and returns the tag to show: "" (record order) for an empty expression.
std::string applySortTag(Table& table, const std::string& expression);

} // namespace shelvix::db
