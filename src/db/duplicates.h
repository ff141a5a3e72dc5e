#pragma once

#include "core/codec.h"

#include <cstdint>
#include <string>
#include <string_view>
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

// A set of isbn::bookNumber values, kept flat: a million of them fill and
// probe without an allocation each.
class IsbnNumbers {
public:
    // False when the number was there already.
    bool insert(std::uint64_t number);
    std::size_t size() const { return size_; }

private:
    void grow();
    std::vector<std::uint64_t> slots_; // 0: empty; a number is held plus one
    std::size_t size_ = 0;
};

// The keys of every ISBN in the table, read in one pass.
IsbnNumbers isbnNumbers(Table& table);

// Text as title and author are compared: without case, blanks and accents.
std::string foldedText(std::string_view bytes, core::CodePage cp);

enum class DuplicatesBy { Isbn, TitleAuthor };
// Every set of two or more records that hold the same book, each in record
// number order, the sets in the order of their first records. Records
// without an ISBN key (or without title and author) are in none. One pass
// over the table, then a read of the records found twice.
std::vector<std::vector<std::uint32_t>> duplicateGroups(Table& table, DuplicatesBy by);

} // namespace shelvix::db
