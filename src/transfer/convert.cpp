#include "transfer/convert.h"

#include "app/displayformats.h"
#include "db/engine/value.h"

#include <cmath>
#include <cstdlib>

namespace shelvix::transfer {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexDigit(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendNumber(std::string& out, int value, int width) {
    char buf[12];
    int n = 0;
    do {
        buf[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int i = n; i < width; ++i)
        out += '0';
    while (n > 0)
        out += buf[--n];
}

} // namespace

std::string_view trimBlanks(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ')
        ++b;
    while (e > b && text[e - 1] == ' ')
        --e;
    return text.substr(b, e - b);
}

DateStyle::DateStyle(const app::DisplayFormats& formats, const QDate& today) : today_(today) {
    const QString pattern = formats.shortDateFormat();
    int n = 0;
    for (qsizetype i = 0; i < pattern.size() && n < 3;) {
        const char c = char(pattern.at(i).toLower().unicode());
        if (c != 'd' && c != 'm' && c != 'y') {
            ++i;
            continue;
        }
        order_[n++] = c;
        while (i < pattern.size() && pattern.at(i).toLower().unicode() == char16_t(c))
            ++i;
    }
    zeros_ = formats.leadingZeros();
    qseparator_ = formats.dateSeparator();
    separator_ = char(qseparator_.unicode());
    pattern_ = pattern;
}

void DateStyle::format(const db::Date& date, std::string& out) const {
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            out += separator_;
        switch (order_[i]) {
        case 'd':
            appendNumber(out, date.day, zeros_ ? 2 : 1);
            break;
        case 'm':
            appendNumber(out, date.month, zeros_ ? 2 : 1);
            break;
        default:
            appendNumber(out, date.year, 4);
        }
    }
}

std::string DateStyle::format(const db::Date& date) const {
    std::string out;
    format(date, out);
    return out;
}

std::optional<db::Date> DateStyle::parse(std::string_view text) const {
    const QDate d = app::DisplayFormats::parseDate(QString::fromLatin1(text.data(), text.size()),
                                                   pattern_, qseparator_, today_);
    if (!d.isValid() || d.year() > 9999)
        return std::nullopt;
    return db::Date{d.year(), d.month(), d.day()};
}

std::optional<double> readWholeNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i == text.size())
        return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-')
        negative = text[i++] == '-';
    double value = 0;
    if (i < text.size() && text[i] == '$') {
        for (++i; i < text.size() && hexDigit(text[i]) >= 0; ++i)
            value = value * 16 + hexDigit(text[i]);
    } else {
        for (; i < text.size() && isDigit(text[i]); ++i)
            value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::optional<double> readDecimalNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        ++digits;
    if (i < text.size() && text[i] == '.')
        for (++i; i < text.size() && isDigit(text[i]); ++i)
            ++digits;
    if (digits == 0)
        return std::nullopt;
    // An exponent counts only when digits follow it.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    const std::string number(text.substr(start, i - start));
    const double value = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string generalNumberText(std::string_view stored) {
    db::DecimalNumber n;
    if (!db::decimalFromText(stored, n))
        return std::string(trimBlanks(db::trimBoth(stored)));
    char buf[db::kMaxFixedText];
    const int decimals = std::max(0, n.count - n.exponent);
    return std::string(buf, db::formatFixed(n, decimals, buf));
}

std::string recode(std::string_view bytes, core::CodePage from, core::CodePage to) {
    if (from == to)
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
            continue;
        }
        const int e = core::encodeChar(core::decodeByte(b, from), to);
        out += e < 0 ? c : char(e);
    }
    return out;
}

} // namespace shelvix::transfer
