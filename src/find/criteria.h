#pragma once

#include "db/fieldtable.h"

#include <QDate>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace shelvix::db {
class DisplayFormats;
}

// The search criteria: a level's grid cells turned into items, levels saved
// one after another. Knows nothing of windows; the search form and
// `shelvix-tool search` both fill it.
namespace shelvix::find {

inline constexpr int kMaxItems = 75;
inline constexpr int kMaxLevels = 10;
inline constexpr int kRows = 36; // one grid row per book field
inline constexpr int kKeyWordsField = db::field::KeyWords;
inline constexpr int kCheckOutField = db::field::CheckOut;
inline constexpr int kMaxTextLength = 110;

enum Op { OpEqual = 1, OpGreater = 2, OpLess = 3, OpBetween = 4, OpContains = 5, OpAnyWord = 6 };

struct SearchItem {
    QString Text;          // text criterion, upper-cased; number as typed
    double NumValue = 0;   // operand of a number criterion
    double DateValue = 0;  // operand of a date criterion: days since 30 December 1899
    int FieldNo = 0;       // 1 to 36
    int Op = 0;            // 1, 2, 3, 5 or 6 (between is saved as 2 then 3)
    bool LevelEnd = false; // last item of its level
    bool IsDate = false;

    bool operator==(const SearchItem&) const = default;
};

enum class RowType { Number, Date, Text };
RowType rowType(int fieldNo);
// A number, date or list field: its grid row has the "..." options cell.
bool hasOptions(int fieldNo);

// " = ", " > ", " < ", " > X < " for operators 1 to 4.
QString operatorName(int op);

// The criteria cell's edit mask in Qt's notation for the field and its
// row's operator. Text rows have none (they are limited to the field's
// width instead, so that blanks typed inside a text survive).
QString editMask(int fieldNo, int op, QChar dateSeparator);

// A criteria cell's text laid out for the row's (new) operator, keeping the
// values typed under the mask of another one; text rows as they are.
QString fitToMask(const QString& cell, int fieldNo, int op);

// A number as a number criterion takes it: decimal with a point, an
// optional sign and exponent, nothing else.
std::optional<double> parseNumber(const QString& text);
// A to z in capitals, every other character as it is: how a text criterion
// is kept.
QString upperAsciiOnly(QString text);

// Day 0 of the date scale is 30 December 1899.
double dateToDays(const QDate& date);
QDate daysToDate(double days);

inline const QString kNoCriteriaText = QStringLiteral("No search criteria entered.");
inline const QString kInvalidText =
    QStringLiteral("Invalid search criteria entered.  Please correct.");
QString tooManyItemsText();
inline const QString kNoMatchText =
    QStringLiteral("No valid matches found.  Search Criteria will be cleared.");

// " SEARCH CRITERIA    (Level n)"
QString levelHeader(int level);

struct SaveResult {
    enum Status {
        Saved,      // the level was added
        NoCriteria, // nothing usable entered: "No search criteria entered."
        Invalid,    // a value did not convert: the level's new items dropped
        TooMany,    // past 75 items: everything was cleared
    };
    Status status = Saved;
    int row = 0; // the offending row (Invalid)
};

// The saved criteria of one run of the search window: items of the levels
// saved so far and the level being entered.
class Criteria {
public:
    int ItemCount() const { return int(items_.size()); }
    int Level() const { return level_; }
    const std::vector<SearchItem>& items() const { return items_; }

    // Turns the cells of rows 1 to 36 (index 0 = row 1) into the items of the
    // current level, with each number and date row's operator. Formats give
    // the short date format dates are typed in.
    SaveResult SaveFields(const std::array<QString, kRows>& cells,
                          const std::array<int, kRows>& operators,
                          const db::DisplayFormats& formats);
    // After a successful Find More: the next level is entered.
    void nextLevel() { ++level_; }
    void clear();

private:
    std::vector<SearchItem> items_;
    int level_ = 1;
};

} // namespace shelvix::find
