#pragma once

#include "core/codec.h"
#include "db/engine/table.h"
#include "db/textcodec.h"

#include <QString>

// How the fields of a stored record read as text: in the grid, the edit form
// and the reports alike.
namespace shelvix::db {

class DisplayFormats;

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
