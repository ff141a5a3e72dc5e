#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace shelvix::db {

// Index key types of a dBASE IV production index.
enum class KeyType : char { Character = 'C', Numeric = 'N', Date = 'D' };

inline constexpr int kNumericKeyLength = 12;
inline constexpr int kDateKeyLength = 8;
inline constexpr int kMaxCharacterKeyLength = 100;

// A calendar date; a blank date field has no value (std::optional<Date> empty).
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const Date&, const Date&) = default;
};

// Julian day number (1999-01-15 -> 2451194) and back. Proleptic Gregorian.
std::int32_t julianDay(const Date& date);
Date dateFromJulianDay(std::int32_t jd);
bool isValidDate(const Date& date);

// 12-byte dBASE BCD key of a number (12.5 -> 36 0d 12 50 00 ...).
void encodeNumericKey(double value, std::uint8_t out[kNumericKeyLength]);
double decodeNumericKey(const std::uint8_t key[kNumericKeyLength]);

// 8-byte little-endian IEEE double holding the Julian day; a blank date is 0.
void encodeDateKey(const std::optional<Date>& date, std::uint8_t out[kDateKeyLength]);
std::optional<Date> decodeDateKey(const std::uint8_t key[kDateKeyLength]);

// Orders two encoded keys of `length` bytes the way dBASE does: unsigned bytes
// for C, sign/exponent/digits for N (tolerating the byte-1 variants other
// writers use), the double's value for D. <0, 0, >0.
int compareKeys(KeyType type, const std::uint8_t* a, const std::uint8_t* b, std::size_t length);

} // namespace shelvix::db
