#pragma once

#include <array>
#include <string>

namespace shelvix::db {

// The key expression of the "NewIndex" tag for up to four sort levels, each a
// field number (1 to 36) or 0 for none. Text levels share 80 characters and
// compare in capitals; an empty result means record order.
std::string buildSortString(const std::array<int, 4>& levels);

} // namespace shelvix::db
