#include "db/engine/value.h"

#include "db/engine/error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace shelvix::db {

namespace {

bool isPad(char c) {
    return c == ' ' || c == '\0';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A plain decimal number, optionally signed, with an optional exponent.
// Stricter than strtod: no "inf", "nan", hex or surrounding text.
bool isPlainNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            ++i;
        }
        if (i == s.size() || !isDigit(s[i])) {
            return false;
        }
        while (i < s.size() && isDigit(s[i])) {
            ++i;
        }
    }
    return i == s.size();
}

std::optional<double> readPlainNumber(std::string_view s) {
    if (!isPlainNumber(s)) {
        return std::nullopt;
    }
    if (s.front() == '+') {
        s.remove_prefix(1);
    }
    double value = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string_view trimRight(std::string_view raw) {
    std::size_t n = raw.size();
    while (n > 0 && isPad(raw[n - 1])) {
        --n;
    }
    return raw.substr(0, n);
}

std::string_view trimBoth(std::string_view raw) {
    raw = trimRight(raw);
    std::size_t i = 0;
    while (i < raw.size() && isPad(raw[i])) {
        ++i;
    }
    return raw.substr(i);
}

void formatCharacterField(std::string_view text, int length, char* out) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(std::max(length, 0)));
    std::memcpy(out, text.data(), n);
    std::memset(out + n, ' ', static_cast<std::size_t>(length) - n);
}

StoredNumber parseNumberField(std::string_view raw) {
    const std::string_view text = trimBoth(raw);
    if (text.empty()) {
        return {};
    }
    if (const auto value = readPlainNumber(text)) {
        return {StoredNumber::State::Number, *value};
    }
    return {StoredNumber::State::Invalid, 0.0};
}

std::optional<double> parseNumberText(std::string_view text, std::string_view fieldName,
                                      core::CodePage cp) {
    const std::string_view trimmed = trimBoth(text);
    if (trimmed.empty()) {
        return std::nullopt;
    }
    if (const auto value = readPlainNumber(trimmed)) {
        return value;
    }
    throw DatabaseError(core::decode("'" + std::string(text) +
                                         "' is not a valid floating point value for field '" +
                                         std::string(fieldName) + "'",
                                     cp),
                        DatabaseError::Kind::InvalidValue);
}

bool decimalFromDouble(double value, DecimalNumber& out) {
    out = DecimalNumber{};
    if (!std::isfinite(value)) {
        return false;
    }
    if (value == 0.0) {
        return true;
    }
    out.negative = value < 0;
    char sci[48];
    const auto r =
        std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific);
    const char* p = sci;
    for (; p != r.ptr && *p != 'e'; ++p) {
        if (isDigit(*p) && out.count < DecimalNumber::kMaxDigits) {
            out.digits[out.count++] = static_cast<std::uint8_t>(*p - '0');
        }
    }
    int e = 0;
    if (p != r.ptr) {
        ++p;
        if (*p == '+') {
            ++p;
        }
        std::from_chars(p, r.ptr, e);
    }
    out.exponent = e + 1;
    while (out.count > 0 && out.digits[out.count - 1] == 0) {
        --out.count;
    }
    return true;
}

bool decimalFromText(std::string_view text, DecimalNumber& out) {
    out = DecimalNumber{};
    const std::string_view s = trimBoth(text);
    if (!isPlainNumber(s)) {
        return false;
    }
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') {
        out.negative = s[i] == '-';
        ++i;
    }
    int point = 0; // digits seen before the decimal point, counting from the first non-zero
    bool afterPoint = false;
    bool started = false;
    for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.') {
            afterPoint = true;
            continue;
        }
        const int d = s[i] - '0';
        if (!started && d == 0) {
            if (afterPoint) {
                --point;
            }
            continue;
        }
        started = true;
        if (!afterPoint) {
            ++point;
        }
        if (out.count < DecimalNumber::kMaxDigits) {
            out.digits[out.count++] = static_cast<std::uint8_t>(d);
        }
    }
    int exponent = 0;
    if (i < s.size()) {
        std::string_view e = s.substr(i + 1);
        if (e.front() == '+') {
            e.remove_prefix(1);
        }
        if (std::from_chars(e.data(), e.data() + e.size(), exponent).ec != std::errc() ||
            exponent > 400 || exponent < -400) {
            return false;
        }
    }
    while (out.count > 0 && out.digits[out.count - 1] == 0) {
        --out.count;
    }
    if (out.count == 0) {
        out = DecimalNumber{};
        return true;
    }
    out.exponent = point + exponent;
    if (out.exponent > 309) {
        return false;
    }
    return true;
}

std::size_t formatFixed(const DecimalNumber& number, int decimals, char* out) {
    decimals = std::clamp(decimals, 0, 100);
    const int exponent = number.count == 0 ? 1 : number.exponent;

    // One output digit per place from the highest integer place down to the
    // last decimal; slot 0 is kept free for a carry.
    const int intDigits = std::max(exponent, 1);
    const int total = intDigits + decimals;
    char place[kMaxFixedText];
    place[0] = 0;
    for (int j = 0; j < total; ++j) {
        const int i = exponent - intDigits + j;
        place[j + 1] = static_cast<char>((i >= 0 && i < number.count) ? number.digits[i] : 0);
    }
    const int next = exponent + decimals; // first digit dropped
    if (next >= 0 && next < number.count && number.digits[next] >= 5) {
        int j = total;
        while (place[j] == 9) {
            place[j--] = 0;
        }
        ++place[j];
    }

    const int first = place[0] != 0 ? 0 : 1;
    const bool nonZero = std::any_of(place, place + total + 1, [](char d) { return d != 0; });
    std::size_t n = 0;
    if (number.negative && nonZero) {
        out[n++] = '-';
    }
    for (int j = first; j <= total; ++j) {
        if (j == intDigits + 1) {
            out[n++] = '.';
        }
        out[n++] = static_cast<char>('0' + place[j]);
    }
    return n;
}

std::size_t formatFixed(double value, int decimals, char* out) {
    DecimalNumber number;
    if (!decimalFromDouble(value, number)) {
        return 0;
    }
    return formatFixed(number, decimals, out);
}

void formatNumberField(double value, int length, int decimals, std::string_view fieldName,
                       char* out) {
    char text[kMaxFixedText];
    const std::size_t n = formatFixed(value, decimals, text);
    if (n == 0 || n > static_cast<std::size_t>(std::max(length, 0))) {
        std::string shown;
        if (n == 0) {
            shown = std::isnan(value) ? "NaN" : (value < 0 ? "-Infinity" : "Infinity");
        } else {
            shown.assign(text, n);
        }
        throw DatabaseError("The value " + shown + " does not fit field '" +
                                std::string(fieldName) + "' (N " + std::to_string(length) + "," +
                                std::to_string(decimals) + ")",
                            DatabaseError::Kind::InvalidValue);
    }
    const std::size_t pad = static_cast<std::size_t>(length) - n;
    std::memset(out, ' ', pad);
    std::memcpy(out + pad, text, n);
}

std::string formatNumberField(double value, int length, int decimals, std::string_view fieldName) {
    std::string out(static_cast<std::size_t>(std::max(length, 0)), ' ');
    formatNumberField(value, length, decimals, fieldName, out.data());
    return out;
}

std::optional<Date> parseDateField(std::string_view raw) {
    const std::string_view text = trimBoth(raw);
    if (text.size() != 8 || !std::all_of(text.begin(), text.end(), isDigit)) {
        return std::nullopt;
    }
    auto number = [&](std::size_t pos, std::size_t len) {
        int v = 0;
        for (std::size_t i = pos; i < pos + len; ++i) {
            v = v * 10 + (text[i] - '0');
        }
        return v;
    };
    const Date date{number(0, 4), number(4, 2), number(6, 2)};
    if (!isValidDate(date)) {
        return std::nullopt;
    }
    return date;
}

void formatDateField(const std::optional<Date>& date, char out[8]) {
    if (!date) {
        std::memset(out, ' ', 8);
        return;
    }
    if (!isValidDate(*date)) {
        throw DatabaseError("The date " + std::to_string(date->year) + "-" +
                                std::to_string(date->month) + "-" + std::to_string(date->day) +
                                " cannot be stored",
                            DatabaseError::Kind::InvalidValue);
    }
    int parts[] = {date->year, date->month, date->day};
    int widths[] = {4, 2, 2};
    int pos = 0;
    for (int k = 0; k < 3; ++k) {
        int v = parts[k];
        for (int i = widths[k] - 1; i >= 0; --i) {
            out[pos + i] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
        pos += widths[k];
    }
}

std::string formatDateField(const std::optional<Date>& date) {
    std::string out(8, ' ');
    formatDateField(date, out.data());
    return out;
}

std::optional<bool> parseLogicalField(std::string_view raw) {
    const std::string_view text = trimBoth(raw);
    if (text.empty()) {
        return std::nullopt;
    }
    switch (text.front()) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        return false;
    default:
        return std::nullopt;
    }
}

} // namespace shelvix::db
