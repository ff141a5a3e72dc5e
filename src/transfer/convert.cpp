#include "transfer/convert.h"

#include "db/displayformats.h"
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

DateStyle::DateStyle(const db::DisplayFormats& formats, const QDate& today) : today_(today) {
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
    separator_ = char(formats.dateSeparator().unicode());
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

// The typed-date rule of the display formats, on bytes: three groups split
// by the separator, each one to four digits with blanks around, day and month
// of at most two; a year of one or two digits takes the century window.
std::optional<db::Date> DateStyle::parse(std::string_view text) const {
    int values[3] = {};
    int digits[3] = {};
    std::size_t at = 0;
    for (int part = 0; part < 3; ++part) {
        std::size_t end = text.find(separator_, at);
        if ((part < 2) != (end != std::string_view::npos))
            return std::nullopt;
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view group = trimBlanks(text.substr(at, end - at));
        if (group.empty() || group.size() > 4)
            return std::nullopt;
        for (char c : group) {
            if (!isDigit(c))
                return std::nullopt;
            values[part] = values[part] * 10 + (c - '0');
        }
        digits[part] = int(group.size());
        at = end + 1;
    }
    db::Date d;
    for (int part = 0; part < 3; ++part) {
        switch (order_[part]) {
        case 'd':
            d.day = digits[part] <= 2 ? values[part] : 0;
            break;
        case 'm':
            d.month = digits[part] <= 2 ? values[part] : 0;
            break;
        default:
            d.year = values[part];
            if (digits[part] <= 2) {
                const int year = today_.year();
                d.year += year - year % 100;
                if (d.year > year + 49)
                    d.year -= 100;
                else if (d.year < year - 50)
                    d.year += 100;
            }
        }
    }
    if (d.year < 1 || !db::isValidDate(d))
        return std::nullopt;
    return d;
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
