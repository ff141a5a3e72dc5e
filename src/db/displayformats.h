#pragma once

#include <QChar>
#include <QDate>
#include <QString>
#include <array>

namespace shelvix::db {

// One of the twelve date formats. With leading zeros the pattern is the
// caption itself.
struct DateFormatInfo {
    int number;
    const char* menuItem; // object name of its menu item
    const char* caption;
    QChar separator;
    const char* patternWithoutZeros;
};

const std::array<DateFormatInfo, 12>& dateFormats();
// Format 1 to 12, or nullptr.
const DateFormatInfo* dateFormatInfo(int number);

// The values the "Windows" number and money styles use. Defaults are what
// the old profile gave when it had none.
struct IntlValues {
    QChar decimalChar{u'.'};
    QChar thousandsChar{u','};
    int numberDigits = 2;
    int moneyDigits = 2;

    // From the C library locale (localeconv(); Qt sets it from the
    // environment when the application object is made): decimal point,
    // thousands separator, money fraction digits. Only the first character
    // of a text counts and an empty text gives a blank, so the "C" locale
    // groups with blanks. The C locale has no number digits: 2.
    static IntlValues fromLocale();

    bool operator==(const IntlValues&) const = default;
};

// How dates, numbers and money amounts are shown and read. The application
// context owns one; formatting follows its current choices.
class DisplayFormats {
public:
    enum Style { US = 1, Windows = 2 };

    DisplayFormats();

    // Format 1 to 12; any other number changes nothing and returns false.
    bool setDateFormat(int number);
    int dateFormat() const { return dateFormat_; }
    void setLeadingZeros(bool on) { leadingZeros_ = on; }
    bool leadingZeros() const { return leadingZeros_; }
    QChar dateSeparator() const;
    QString shortDateFormat() const;

    // 2 is the Windows style; every other value the U.S. one.
    void setCurrencyFormat(int style) { currencyFormat_ = style; }
    int currencyFormat() const { return currencyFormat_; }
    void setNumericFormat(int style) { numericFormat_ = style; }
    int numericFormat() const { return numericFormat_; }

    void setIntl(const IntlValues& intl) { intl_ = intl; }
    const IntlValues& intl() const { return intl_; }

    // An invalid date shows as empty text.
    QString formatDate(const QDate& date) const;
    // Reads a typed date in the current order and separator; an invalid text
    // gives an invalid QDate. `today` decides the century of a two-digit year.
    QDate parseDate(const QString& text, const QDate& today = QDate::currentDate()) const;

    // Any pattern of d/dd, m/mm and y/yy/yyyy; '/', '-' and '.' in it stand
    // for `separator`.
    static QString formatDate(const QDate& date, const QString& pattern, QChar separator);
    // Day, month and year in the pattern's order, split by `separator`, each
    // one or more digits (blanks around them allowed). A year of one or two
    // digits is the year with those last digits that lies from 50 years before
    // to 49 years after today's year.
    static QDate parseDate(const QString& text, const QString& pattern, QChar separator,
                           const QDate& today);

    QString plainNumber(int width, int decimals, double x) const;
    QString groupedNumber(int width, int decimals, double x) const;
    QString money(int width, double x) const;

    // x rounded half away from zero to `decimals` places (of its shortest
    // decimal form, so 2.675 gives 2.68), "-" when negative and not zero after
    // rounding, "." before the decimals, padded on the left to `width`.
    static QString decimalText(int width, int decimals, double x);
    // Puts `thousands` between groups of three digits before the decimal
    // part of `decimals` characters, never directly after a leading minus
    // sign, then pads on the left to `width`.
    static QString group(const QString& text, int decimals, QChar thousands, int width);

private:
    int dateFormat_ = 1;
    bool leadingZeros_ = false;
    int currencyFormat_ = US;
    int numericFormat_ = US;
    IntlValues intl_;
};

} // namespace shelvix::db
