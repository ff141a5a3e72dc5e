#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace shelvix::db {
struct DatabaseSettings;
}

namespace shelvix::viewer {

inline constexpr int kMaxFieldNameLength = 20;
inline constexpr int kDefaultFieldWidth = 10; // what an unusable width becomes

// What the viewer configuration's grids hold when it closes, one entry per
// field in table order (the order list: one field number per row).
struct ViewConfigPages {
    QStringList shown;      // "Yes" shows the field; anything else hides it
    QStringList widths;     // as typed
    std::vector<int> order; // row p - 1: the field placed at column p
    QStringList names;      // user-visible names as typed
};

// The pages as the settings describe them. The order list holds every field
// once whatever the stored positions: by position, ties in table order.
ViewConfigPages pagesFromSettings(const db::DatabaseSettings& settings);
// The fields in table order (the order page's Defaults).
std::vector<int> defaultOrder();

// "Yes" becomes "No", anything else "Yes".
QString toggledYesNo(const QString& cell);

// The first pair of equal names, rows compared in order (i, j) with i < j,
// as they will be stored (cut to 20 characters, exact case).
std::optional<QString> duplicateFieldName(const QStringList& names);
// "Two field names have the same name "NAME".  Please change one."
QString duplicateNameMessage(const QString& name);

// A width cell read as a whole number (sign and leading digits); 0 or less,
// 256 or more, or no digits at all give 10.
int widthFromCell(const QString& cell);

// Stores the pages into the settings: widths (an unusable cell is rewritten
// "10" in `pages`), shown flags, positions, then names cut to 20.
void storePages(ViewConfigPages& pages, db::DatabaseSettings& settings);

} // namespace shelvix::viewer
