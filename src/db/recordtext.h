#pragma once

#include "core/codec.h"
#include "db/engine/table.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace shelvix::db {
class DisplayFormats;
}

// How the fields of a stored record read as text: in the grid, the edit form
// and the reports alike.
namespace shelvix::db {

// The code page the table's language driver names.
core::CodePage tableCodePage(const db::Table& table);

// Stored bytes as text, through a table lookup (cheap enough for every cell
// the grid paints).
QString decodeField(std::string_view bytes, core::CodePage cp);
// Text as bytes of the code page; nothing when a character has no byte there
// (storing '?' instead would change the user's data unseen). `bad`, when
// given, receives the first such character.
std::optional<std::string> encodeField(const QString& text, core::CodePage cp,
                                       QChar* bad = nullptr);

// The shortest decimal text that reads back as `value`: 1999 "1999", 12.5
// "12.5", 0.1 "0.1". No grouping, no exponent.
QString generalNumber(double value);

// The display text of field `index` of `record`: text without trailing
// blanks, numbers in the general format, dates in the current short date
// format. Empty numbers and dates, and impossible dates, give "". A number
// field holding junk shows what it holds, so the user sees there is
// something to correct.
QString fieldDisplayText(const db::RecordView& record, int index, const db::FieldLayout& field,
                         core::CodePage cp, const DisplayFormats& formats);

} // namespace shelvix::db
