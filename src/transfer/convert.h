#pragma once

#include "core/codec.h"
#include "db/engine/keys.h"

#include <QDate>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace shelvix::db {
class DisplayFormats;
}

// Values crossing between files and the book table, in Windows-1252 bytes.
namespace shelvix::transfer {

// Dates as transfers write and read them: the order, separator and leading
// zeros of the current short date format, but always with four-digit years,
// so that no date changes century on its way out and back in.
class DateStyle {
public:
    explicit DateStyle(const db::DisplayFormats& formats,
                       const QDate& today = QDate::currentDate());

    char separator() const { return separator_; }
    void format(const db::Date& date, std::string& out) const; // appends
    std::string format(const db::Date& date) const;
    // A date in the current format: three groups of digits in its order and
    // separator (a one- or two-digit year takes the usual century window).
    std::optional<db::Date> parse(std::string_view text) const;

private:
    char order_[3] = {'m', 'd', 'y'};
    bool zeros_ = false;
    char separator_ = '/';
    QDate today_;
};

// The whole-number reading rule: leading blanks skipped, an optional sign,
// decimal digits ("$" then hexadecimal digits); reading stops at the first
// other character and the value read so far counts (0 when there is none).
// Blank text gives no value.
std::optional<double> readWholeNumber(std::string_view text);

// The decimal number at the start of the text (point as decimal separator,
// optional exponent); what follows it is ignored. No value when the text is
// blank or does not start with a number.
std::optional<double> readDecimalNumber(std::string_view text);

// A stored N or F field in general notation: "  12.50" gives "12.5",
// "1995" stays. Bytes that are not a number come back trimmed, as stored.
std::string generalNumberText(std::string_view stored);

// The bytes of one code page as the bytes of another. A character the target
// lacks keeps its byte: a table whose language driver is wrong (cp437 named,
// Windows-1252 stored) then still comes across unchanged, never as '?'.
std::string recode(std::string_view bytes, core::CodePage from, core::CodePage to);

// Blanks removed at both ends.
std::string_view trimBlanks(std::string_view text);

} // namespace shelvix::transfer
