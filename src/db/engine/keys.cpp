#include "db/engine/keys.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace shelvix::db {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (valid for any year).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::int64_t kJulianDayOfUnixEpoch = 2440588;

constexpr int kExponentBias = 52;
constexpr int kDigitBytes = kNumericKeyLength - 2;
constexpr int kMaxDigits = kDigitBytes * 2;

void storeDouble(double value, std::uint8_t out[8]) {
    auto bits = std::bit_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i) {
        out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

double loadDouble(const std::uint8_t in[8]) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | in[i];
    }
    return std::bit_cast<double>(bits);
}

bool digitsAreZero(const std::uint8_t* key) {
    for (int i = 2; i < kNumericKeyLength; ++i) {
        if (key[i] != 0) {
            return false;
        }
    }
    return true;
}

// -1, 0 or 1. Zero is recognised by its digits: writers disagree on the
// exponent and count bytes they give it.
int numericSign(const std::uint8_t* key) {
    if (digitsAreZero(key)) {
        return 0;
    }
    return (key[1] & 0x80) ? -1 : 1;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

std::int32_t julianDay(const Date& date) {
    return static_cast<std::int32_t>(daysFromCivil(date.year, static_cast<unsigned>(date.month),
                                                   static_cast<unsigned>(date.day)) +
                                     kJulianDayOfUnixEpoch);
}

Date dateFromJulianDay(std::int32_t jd) {
    const std::int64_t z = static_cast<std::int64_t>(jd) - kJulianDayOfUnixEpoch + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    return Date{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

bool isValidDate(const Date& date) {
    if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1) {
        return false;
    }
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    const int last = kDays[date.month - 1] + (date.month == 2 && leap ? 1 : 0);
    return date.day <= last;
}

void encodeNumericKey(double value, std::uint8_t out[kNumericKeyLength]) {
    std::memset(out, 0, kNumericKeyLength);
    out[0] = kExponentBias;
    out[1] = 0x01;
    if (!std::isfinite(value) || value == 0.0) {
        return;
    }

    // The shortest text that reads back as the same double: 0.1 is stored as
    // the digit 1, not as 0.1000000000000000055...
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific);
    const char* p = text;
    const char* end = result.ptr;
    int digits[kMaxDigits] = {};
    int count = 0;
    for (; p != end && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9' && count < kMaxDigits) {
            digits[count++] = *p - '0';
        }
    }
    int exponent = 0;
    if (p != end) {
        ++p;
        if (*p == '+') {
            ++p;
        }
        std::from_chars(p, end, exponent);
    }
    while (count > 1 && digits[count - 1] == 0) {
        --count;
    }

    const int biased = kExponentBias + exponent + 1;
    if (biased < 0) {
        return; // too small for the format: indistinguishable from zero
    }
    if (biased > 255) {
        // Too large for the format: saturate so it still sorts above the rest.
        out[0] = 255;
        count = kMaxDigits;
        for (int& d : digits) {
            d = 9;
        }
    } else {
        out[0] = static_cast<std::uint8_t>(biased);
    }
    out[1] = static_cast<std::uint8_t>((count << 2) | 0x01 | (value < 0 ? 0x80 : 0));
    for (int i = 0; i < count; ++i) {
        const int shift = (i % 2 == 0) ? 4 : 0;
        out[2 + i / 2] |= static_cast<std::uint8_t>(digits[i] << shift);
    }
}

double decodeNumericKey(const std::uint8_t key[kNumericKeyLength]) {
    if (digitsAreZero(key)) {
        return 0.0;
    }
    // Read every nibble rather than trusting the count in byte 1: some
    // writers put the field width there.
    char text[kMaxDigits + 16];
    char* p = text;
    *p++ = '0';
    *p++ = '.';
    for (int i = 0; i < kMaxDigits; ++i) {
        const int nibble = (key[2 + i / 2] >> ((i % 2 == 0) ? 4 : 0)) & 0x0F;
        *p++ = static_cast<char>('0' + (nibble > 9 ? 9 : nibble));
    }
    *p++ = 'e';
    p = std::to_chars(p, text + sizeof text, static_cast<int>(key[0]) - kExponentBias).ptr;
    double value = 0.0;
    std::from_chars(text, p, value);
    return (key[1] & 0x80) ? -value : value;
}

void encodeDateKey(const std::optional<Date>& date, std::uint8_t out[kDateKeyLength]) {
    storeDouble(date ? static_cast<double>(julianDay(*date)) : 0.0, out);
}

std::optional<Date> decodeDateKey(const std::uint8_t key[kDateKeyLength]) {
    const double jd = loadDouble(key);
    // Anything outside years 1..9999 is not a date a table can hold.
    if (!std::isfinite(jd) || jd < 1721426.0 || jd > 5373484.0) {
        return std::nullopt;
    }
    return dateFromJulianDay(static_cast<std::int32_t>(std::lround(jd)));
}

int compareKeys(KeyType type, const std::uint8_t* a, const std::uint8_t* b, std::size_t length) {
    switch (type) {
    case KeyType::Numeric: {
        const int sa = numericSign(a);
        const int sb = numericSign(b);
        if (sa != sb) {
            return sa < sb ? -1 : 1;
        }
        if (sa == 0) {
            return 0;
        }
        int r = static_cast<int>(a[0]) - static_cast<int>(b[0]);
        if (r == 0) {
            r = std::memcmp(a + 2, b + 2, kDigitBytes);
        }
        return sa * sign(r);
    }
    case KeyType::Date: {
        const double da = loadDouble(a);
        const double db = loadDouble(b);
        return (da > db) - (da < db);
    }
    case KeyType::Character:
        break;
    }
    return sign(std::memcmp(a, b, length));
}

} // namespace shelvix::db
