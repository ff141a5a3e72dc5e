#pragma once

#include "core/codec.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Books that are in a catalogue twice: by ISBN (isbn::bookKey, so an ISBN-10
// and its ISBN-13 match), or by title and author. Deleted records are not
// in the catalogue and never match.
namespace shelvix::db {

class Table;

// The lowest-numbered record whose ISBN is the same book's as `isbnText`; 0
// when there is none, or when the text gives no key. A tag that begins with
// the ISBN field answers with a few seeks; without one the table is read
// once.
std::uint32_t findSameIsbn(Table& table, std::string_view isbnText);

// The keys of every ISBN in the table, read in one pass.
std::unordered_set<std::string> isbnKeys(Table& table);

// Text as title and author are compared: without case, blanks and accents.
std::string foldedText(std::string_view bytes, core::CodePage cp);

enum class DuplicatesBy { Isbn, TitleAuthor };
// Every set of two or more records that hold the same book, each in record
// number order, the sets in the order of their first records. Records
// without an ISBN key (or without title and author) are in none. One pass
// over the table, then a read of the records found twice.
std::vector<std::vector<std::uint32_t>> duplicateGroups(Table& table, DuplicatesBy by);

} // namespace shelvix::db
