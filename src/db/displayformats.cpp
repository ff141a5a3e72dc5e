#include "db/displayformats.h"

#include <QStringList>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <string>

namespace shelvix::db {

namespace {

const std::array<DateFormatInfo, 12> kDateFormats = {{
    {1, "MenuDateMDYSlash", "mm/dd/yy", u'/', "m/d/yy"},
    {2, "MenuDateMDYDash", "mm-dd-yy", u'-', "m-d-yy"},
    {3, "MenuDateMDYDot", "mm.dd.yy", u'.', "m.d.yy"},
    {4, "MenuDateDMYSlash", "dd/mm/yy", u'/', "d/m/yy"},
    {5, "MenuDateDMYDash", "dd-mm-yy", u'-', "d-m-yy"},
    {6, "MenuDateDMYDot", "dd.mm.yy", u'.', "d.m.yy"},
    {7, "MenuDateMDYSlashYr", "mm/dd/yyyy", u'/', "m/d/yyyy"},
    {8, "MenuDateMDYDashYr", "mm-dd-yyyy", u'-', "m-d-yyyy"},
    {9, "MenuDateMDYDotYr", "mm.dd.yyyy", u'.', "m.d.yyyy"},
    {10, "MenuDateDMYSlashYr", "dd/mm/yyyy", u'/', "d/m/yyyy"},
    {11, "MenuDateDMYDashYr", "dd-mm-yyyy", u'-', "d-m-yyyy"},
    {12, "MenuDateDMYDotYr", "dd.mm.yyyy", u'.', "d.m.yyyy"},
}};

bool isPatternLetter(QChar c) {
    QChar l = c.toLower();
    return l == u'd' || l == u'm' || l == u'y';
}

// The pattern's letter runs in order: "dd", "m", "yyyy".
QStringList patternTokens(const QString& pattern) {
    QStringList tokens;
    for (qsizetype i = 0; i < pattern.size();) {
        QChar c = pattern.at(i).toLower();
        if (!isPatternLetter(c)) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < pattern.size() && pattern.at(j).toLower() == c)
            ++j;
        tokens.append(pattern.mid(i, j - i).toLower());
        i = j;
    }
    return tokens;
}

QChar firstChar(const char* text, QChar fallback) {
    if (!text)
        return fallback;
    QString s = QString::fromLocal8Bit(text);
    return s.isEmpty() ? QChar(u' ') : s.at(0);
}

// "1234.5" + 1 to the decimal string of the next value away from zero.
void incrementDigits(std::string& digits) {
    for (auto i = digits.size(); i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return;
        }
    }
    digits.insert(digits.begin(), '1');
}

} // namespace

const std::array<DateFormatInfo, 12>& dateFormats() {
    return kDateFormats;
}

const DateFormatInfo* dateFormatInfo(int number) {
    if (number < 1 || number > 12)
        return nullptr;
    return &kDateFormats[static_cast<std::size_t>(number - 1)];
}

IntlValues IntlValues::fromLocale() {
    IntlValues v;
    const std::lconv* lc = std::localeconv();
    if (!lc)
        return v;
    v.decimalChar = firstChar(lc->decimal_point, v.decimalChar);
    v.thousandsChar = firstChar(lc->thousands_sep, v.thousandsChar);
    if (lc->frac_digits != CHAR_MAX)
        v.moneyDigits = lc->frac_digits;
    return v;
}

DisplayFormats::DisplayFormats() = default;

bool DisplayFormats::setDateFormat(int number) {
    if (!dateFormatInfo(number))
        return false;
    dateFormat_ = number;
    return true;
}

QChar DisplayFormats::dateSeparator() const {
    return dateFormatInfo(dateFormat_)->separator;
}

QString DisplayFormats::shortDateFormat() const {
    const DateFormatInfo* f = dateFormatInfo(dateFormat_);
    return QString::fromLatin1(leadingZeros_ ? f->caption : f->patternWithoutZeros);
}

QString DisplayFormats::formatDate(const QDate& date) const {
    return formatDate(date, shortDateFormat(), dateSeparator());
}

QDate DisplayFormats::parseDate(const QString& text, const QDate& today) const {
    return parseDate(text, shortDateFormat(), dateSeparator(), today);
}

QString DisplayFormats::formatDate(const QDate& date, const QString& pattern, QChar separator) {
    if (!date.isValid())
        return QString();
    QString out;
    for (qsizetype i = 0; i < pattern.size();) {
        QChar c = pattern.at(i);
        if (!isPatternLetter(c)) {
            out += (c == u'/' || c == u'-' || c == u'.') ? separator : c;
            ++i;
            continue;
        }
        QChar l = c.toLower();
        qsizetype n = 0;
        while (i + n < pattern.size() && pattern.at(i + n).toLower() == l)
            ++n;
        i += n;
        if (l == u'd')
            out += n >= 2 ? QStringLiteral("%1").arg(date.day(), 2, 10, QChar(u'0'))
                          : QString::number(date.day());
        else if (l == u'm')
            out += n >= 2 ? QStringLiteral("%1").arg(date.month(), 2, 10, QChar(u'0'))
                          : QString::number(date.month());
        else if (n >= 3)
            out += QStringLiteral("%1").arg(date.year(), 4, 10, QChar(u'0'));
        else
            out += QStringLiteral("%1").arg(((date.year() % 100) + 100) % 100, 2, 10, QChar(u'0'));
    }
    return out;
}

QDate DisplayFormats::parseDate(const QString& text, const QString& pattern, QChar separator,
                                const QDate& today) {
    QStringList tokens = patternTokens(pattern);
    QStringList parts = text.trimmed().split(separator);
    if (tokens.size() != 3 || parts.size() != 3)
        return QDate();
    int day = 0;
    int month = 0;
    int year = 0;
    bool twoDigitYear = false;
    for (qsizetype i = 0; i < 3; ++i) {
        QString part = parts.at(i).trimmed();
        if (part.isEmpty() || part.size() > 4)
            return QDate();
        for (QChar c : part) {
            if (c < u'0' || c > u'9')
                return QDate();
        }
        int value = part.toInt();
        QChar kind = tokens.at(i).at(0);
        if (kind == u'd') {
            day = part.size() <= 2 ? value : 0;
        } else if (kind == u'm') {
            month = part.size() <= 2 ? value : 0;
        } else {
            year = value;
            twoDigitYear = part.size() <= 2;
        }
    }
    if (twoDigitYear) {
        int base = today.year() - today.year() % 100;
        year += base;
        if (year > today.year() + 49)
            year -= 100;
        else if (year < today.year() - 50)
            year += 100;
    }
    if (year < 1)
        return QDate();
    return QDate(year, month, day); // invalid when the day or month is out of range
}

QString DisplayFormats::decimalText(int width, int decimals, double x) {
    int d = decimals < 0 ? 0 : (decimals > 30 ? 30 : decimals);
    if (!std::isfinite(x))
        return QString::number(x).rightJustified(width, u' ');

    // The shortest decimal form that reads back as x, then rounding by hand.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::fixed);
    std::string shortest(buf, res.ptr);
    std::string whole = shortest;
    std::string frac;
    if (auto dot = shortest.find('.'); dot != std::string::npos) {
        whole = shortest.substr(0, dot);
        frac = shortest.substr(dot + 1);
    }
    bool up = frac.size() > static_cast<std::size_t>(d) && frac[static_cast<std::size_t>(d)] >= '5';
    frac.resize(static_cast<std::size_t>(d), '0');
    std::string digits = whole + frac;
    if (up)
        incrementDigits(digits);
    std::string intPart = digits.substr(0, digits.size() - static_cast<std::size_t>(d));
    std::string text = intPart;
    if (d > 0)
        text += '.' + digits.substr(digits.size() - static_cast<std::size_t>(d));
    bool zero = digits.find_first_not_of('0') == std::string::npos;
    if (x < 0 && !zero)
        text.insert(text.begin(), '-');
    return QString::fromLatin1(text).rightJustified(width, u' ');
}

QString DisplayFormats::group(const QString& text, int decimals, QChar thousands, int width) {
    QString s = text;
    qsizetype lead = 0;
    while (lead < s.size() && s.at(lead) == u' ')
        ++lead;
    s.remove(0, lead);
    qsizetype fromEnd = decimals > 0 ? decimals + 4 : 3;
    while (fromEnd < s.size()) {
        s.insert(s.size() - fromEnd, thousands);
        fromEnd += 4;
    }
    if (s.size() >= 2 && s.at(0) == u'-' && s.at(1) == thousands)
        s.remove(1, 1);
    return s.rightJustified(width, u' ');
}

QString DisplayFormats::plainNumber(int width, int decimals, double x) const {
    QString text = decimalText(width, decimals, x);
    if (numericFormat_ == Windows)
        text.replace(u'.', intl_.decimalChar);
    return text;
}

QString DisplayFormats::groupedNumber(int width, int decimals, double x) const {
    int d = decimals < 0 ? 0 : decimals;
    QString text = decimalText(width, d, x);
    if (numericFormat_ != Windows)
        return group(text, d, u',', width);
    text.replace(u'.', intl_.decimalChar);
    return group(text, d, intl_.thousandsChar, width);
}

QString DisplayFormats::money(int width, double x) const {
    if (currencyFormat_ != Windows)
        return group(decimalText(width, 2, x), 2, u',', width);
    int d = intl_.moneyDigits < 0 ? 0 : intl_.moneyDigits;
    QString text = decimalText(width, d, x);
    text.replace(u'.', intl_.decimalChar);
    return group(text, d, intl_.thousandsChar, width);
}

} // namespace shelvix::db
