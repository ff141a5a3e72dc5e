#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace shelvix::db {

// What opening a catalogue puts right before its table opens, one line each
// for the user (nothing when all was well).

// Builds the production index of `table` again when it cannot be read: from
// the tags that still read, else as the sort tag "NewIndex" on
// `sortExpression` (the catalogue's sort order; none when empty). The line
// says what was wrong, what was built and which tags were lost. Throws
// DatabaseError: InUse when it needs building and another user has the
// table open.
std::vector<std::string> rebuildUnreadableIndex(const std::filesystem::path& table,
                                                const std::string& sortExpression);

// The catalogue's sort order as its settings file (NAME.INI beside the
// table) gives it: the "NewIndex" expression, or "" for record order.
std::string sortExpressionOf(const std::filesystem::path& table);

// Removes the temporary files of the catalogue's own files (table, index,
// settings, lists) that work left when it was stopped, and no live process
// holds; one line each naming the file and its size.
std::vector<std::string> removeLeftovers(const std::filesystem::path& table);

// The same for the files `names` (file names, their extensions in any case)
// of `folder`: the program's own, such as its report definitions.
std::vector<std::string> removeLeftoversOf(const std::filesystem::path& folder,
                                           const std::vector<std::string>& names);

} // namespace shelvix::db
