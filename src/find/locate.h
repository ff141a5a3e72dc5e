#pragma once

#include "db/displayformats.h"
#include "db/engine/table.h"

#include <QString>
#include <cstdint>
#include <string>

namespace shelvix::find {

enum class TMyLocateMatchType { mtExactMatch, mtPartialMatchStart, mtPartialMatchAny };
enum class TMyFieldSortType { fsSortByFieldNo, fsSortByFieldName };
enum class TMyDefaultButtonType { dbFindFirst, dbFindNext };
enum class TMyFieldSelection { fsAllFields, fsVisibleFields };

// One locate: the field by its table name, the rule and the text.
struct LocateQuery {
    std::string field;
    bool caseSensitive = false;
    TMyLocateMatchType match = TMyLocateMatchType::mtPartialMatchStart;
    QString text;
};

// The match test of a query compiled against one table: the text in the
// table's code page, capitals folded as the index's UPPER folds them. Number
// fields match exactly by value (12.5 finds 12.50) and partially on their
// shortest text; dates on their text in the current date format.
class LocateMatcher {
public:
    // Throws DatabaseError (NotFound) when the table lacks the field.
    LocateMatcher(const LocateQuery& query, const db::Table& table,
                  const db::DisplayFormats& formats);

    bool operator()(const db::RecordView& record) const;
    int field() const { return field_; }

private:
    bool testText(std::string_view value) const;

    int field_ = 0;
    char type_ = 'C';
    TMyLocateMatchType match_;
    bool fold_ = true;
    bool never_ = false; // a text the code page cannot hold, or no number
    std::string needle_; // in the table's code page, folded unless case matters
    double number_ = 0;  // exact rule on a number field
    const db::DisplayFormats* formats_;
};

enum class LocateOutcome { Found, NotFound, NoField };
// How the next match is looked for: through the selected tag when it can
// give the same record as the scan, or always by the scan (tests, benches).
enum class LocateMethod { Auto, Scan };

// Moves the table to the first record that matches (fromStart), or to the
// next one after the current record, in the current order and within the
// filter. The current record does not move while looking; when nothing is
// found it stays where it was.
LocateOutcome locateRecord(db::Table& table, bool fromStart, const LocateQuery& query,
                           const db::DisplayFormats& formats,
                           LocateMethod method = LocateMethod::Auto);

// The length of the selected tag's key taken from `field` when the tag's
// expression starts with it as upper-cased (or plain) text, else 0; `folded`
// tells which.
int leadingKeyLength(const db::Table& table, int field, bool& folded);

} // namespace shelvix::find
