#pragma once

#include <QString>
#include <vector>

namespace shelvix::db {
struct DatabaseSettings;
}

namespace shelvix::viewer {

// One column of the viewer grid.
struct ViewerColumn {
    int field = 0; // field number, 1 to 36
    QString title; // the user-visible name
    int width = 0; // in characters, as the settings hold it

    bool operator==(const ViewerColumn&) const = default;
};

// The visible columns in order. The 36 fields start in table order; for each
// column position p from 1 to 36 the first field whose position is p (field
// 1 when none has it) is moved to the place after the columns placed so far,
// or hidden when it is not shown. A permutation of positions therefore gives
// the shown fields in position order. Positions that repeat or are missing
// (a hand-edited file) leave fields that no position names where table order
// put them, and a field that appears twice ends at its last place; a field
// set not to show is never shown, named or not.
std::vector<ViewerColumn> planViewerColumns(const db::DatabaseSettings& settings);

} // namespace shelvix::viewer
