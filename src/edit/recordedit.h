#pragma once

#include "db/fieldtable.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace shelvix::db {
class DisplayFormats;
}
namespace shelvix::db {
class Table;
}

// The rules of the record edit form that need no window: which control shows
// which field, reading and writing a record, money and date entries, change
// detection, the Enter chain and the printed lines.
namespace shelvix::edit {

enum class ControlKind { Edit, DropDown, Date, CheckBox };

// What the form calls when a control loses focus.
enum class ExitHandler { None, Caption, Money };

struct EditControlInfo {
    int field;           // field number, 1 to 36
    const char* control; // object name on the form
    ControlKind kind;
    int maxLength; // characters the control accepts (0 for the check box)
    int page;      // 0 Description ... 4 Other
    ExitHandler exit;
};

// One entry per field, in table order.
const std::array<EditControlInfo, db::kFieldCount>& editControls();
const EditControlInfo* editControl(const QString& name);

// What the form's controls hold: the text of each field's control (by field
// number - 1; the check-out slot is unused) and the "Checked Out" box.
struct RecordValues {
    std::array<QString, db::kFieldCount> text;
    bool checkedOut = false;

    QString& operator[](int field) { return text[std::size_t(field - 1)]; }
    const QString& operator[](int field) const { return text[std::size_t(field - 1)]; }
    bool operator==(const RecordValues&) const = default;
};

// The empty date control with the given separator: "  /  /    ".
QString blankDateMask(QChar separator);
// A date control holding only its mask (with any of the three separators) or
// nothing at all.
bool isBlankDate(const QString& text);
// The date as the masked control shows it: day and month always two digits
// and the year always four, so the text fits the mask whatever the date
// format and reads back as the same date.
QString dateForMask(const QDate& date, const db::DisplayFormats& formats);

// A typed money amount: trimmed, thousands separators removed, the decimal
// separator made "." for the current currency style, then read as a whole.
struct MoneyEntry {
    enum State { Empty, Number, Invalid } state = Empty;
    double value = 0;
};
MoneyEntry parseMoney(const QString& text, const db::DisplayFormats& formats);
// The text a money control shows after the user leaves it: an amount in the
// money format. Empty text, and text that is not a number, stay as they are.
QString moneyOnExit(const QString& text, const db::DisplayFormats& formats);

// The current record as the controls show it (dates in the mask, money in
// the money format, empty numbers empty).
RecordValues readRecord(db::Table& table, const db::DisplayFormats& formats);

// The snapshot the form compares against: each text cut to its control's
// length, dates to 12 characters.
RecordValues snapshotOf(const RecordValues& values);
// Does the form differ from the snapshot? Dates compare without the blanks
// around them; every other text exactly.
bool valuesChanged(const RecordValues& current, const RecordValues& saved);

// A value the form refuses before touching the table.
struct EntryError {
    QString message;
    int page = 0;
    QString control;
};
// Check-out date, purchase date, then the four amounts, in that order.
std::optional<EntryError> validateEntries(const RecordValues& values,
                                          const db::DisplayFormats& formats);

// Writes the controls' values as a new record (`insert`) or into the current
// one, and posts. Entries must have passed validateEntries. On failure the
// table's pending change is cancelled, so nothing is half-written, and the
// message is returned.
std::optional<QString> writeRecord(db::Table& table, const RecordValues& values, bool insert,
                                   const db::DisplayFormats& formats);

// The control Enter moves to from `control`, with the page to show first (-1:
// the page stays); nothing when the control is not in the chain.
struct ChainStep {
    QString control;
    int page = -1;
};
std::optional<ChainStep> enterChainNext(const QString& control);

// The 36 lines of the record printout: "<name>: <value>" in table order.
QStringList printLines(const RecordValues& values, const std::array<QString, 36>& fieldNames);

} // namespace shelvix::edit
