#pragma once

#include "db/engine/table.h"
#include "find/criteria.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace shelvix::find {

// The record filter of a confirmed search, compiled once against the table
// it will run on: levels are OR-ed, a level's items AND-ed. It reads only
// the fields its items name, straight from the record bytes, stops a level at
// its first failing item and the search at the first passing level. An empty
// number reads as 0 and an empty (or impossible) date as day 0; a record
// passes nothing when there are no items.
class SearchFilter {
public:
    // Passes nothing.
    SearchFilter();
    // Throws DatabaseError (NotFound) when the table lacks a field an item
    // names.
    SearchFilter(const std::vector<SearchItem>& items, const db::Table& table);

    // Copies share the compiled form, so this is cheap to hand to a table
    // as its RecordFilter.
    bool operator()(const db::RecordView& record) const;

    // Key ranges of the table's tags outside which no record passes: found
    // when every level that can pass has an =, > or < item on a field that
    // leads a tag. The table then reads the records of those ranges rather
    // than all of them.
    const std::optional<std::vector<db::KeyRange>>& ranges() const { return *ranges_; }
    // Puts the filter on the table, with its ranges when it has them.
    void applyTo(db::Table& table) const;

private:
    struct Test {
        enum Kind { Number, Date, Contains, AnyWord } kind = Number;
        int field = 0;
        int op = 0;                     // 1 =, 2 >, 3 <
        double number = 0;              // Number operand
        std::int32_t ymd = 0;           // Date operand as YYYYMMDD
        std::string needle;             // Contains: upper-cased bytes in the table's code page
        std::vector<std::string> words; // AnyWord: the words that can occur
        bool never = false;             // a text the table's code page cannot hold
    };
    using Level = std::vector<Test>;

    static bool passes(const Test& test, const db::RecordView& record);

    std::shared_ptr<const std::vector<Level>> levels_;
    std::shared_ptr<const std::optional<std::vector<db::KeyRange>>> ranges_;
};

} // namespace shelvix::find
