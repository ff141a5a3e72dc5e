#pragma once

#include "core/codec.h"
#include "db/engine/keys.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace shelvix::db {

// Conversions between the bytes of a DBF field and values. Stored text is
// Windows-1252 and is passed through unchanged; a blank field is empty.

// The bytes without trailing (or leading and trailing) blanks; NULs, which
// some writers pad with, count as blanks.
std::string_view trimRight(std::string_view raw);
std::string_view trimBoth(std::string_view raw);

// C field: the text without its padding. Leading blanks are data and stay.
inline std::string_view parseCharacterField(std::string_view raw) {
    return trimRight(raw);
}
// Left-aligned and blank-padded into `length` bytes; longer text is cut.
void formatCharacterField(std::string_view text, int length, char* out);

// N or F field. Bytes that are not a number are reported as such, never
// guessed at ("12,5", "***", "1 000").
struct StoredNumber {
    enum class State { Blank, Number, Invalid };
    State state = State::Blank;
    double value = 0.0; // 0 unless state is Number

    bool isNumber() const { return state == State::Number; }
};
StoredNumber parseNumberField(std::string_view raw);

// Text typed by the user for the numeric field `fieldName`: blank text gives
// no value; anything else must be a plain decimal number ("-12.5", "1e3";
// '.' is the decimal point), otherwise DatabaseError (InvalidValue)
// "'<text>' is not a valid floating point value for field '<fieldName>'".
// The message shows `text` decoded from `cp`.
std::optional<double> parseNumberText(std::string_view text, std::string_view fieldName,
                                      core::CodePage cp = core::CodePage::Windows1252);

// A number as decimal digits: 0.d0 d1 ... d(count-1) x 10^exponent, without
// leading or trailing zeros (zero has no digits).
struct DecimalNumber {
    static constexpr int kMaxDigits = 40;
    bool negative = false;
    int count = 0;
    int exponent = 0;
    std::uint8_t digits[kMaxDigits] = {};
};

// The shortest decimal text that reads back as the same double, so 2.675 is
// 2.675 although the double lies just below. False for NaN and infinities.
bool decimalFromDouble(double value, DecimalNumber& out);
// A plain decimal number as stored in an N field (blanks around allowed);
// exact, with no trip through a double. False when it is blank or junk.
// Digits beyond kMaxDigits are dropped.
bool decimalFromText(std::string_view text, DecimalNumber& out);

// Longest text formatFixed() writes.
inline constexpr std::size_t kMaxFixedText = 420;

// The number with exactly `decimals` decimals (0..100), rounded half away
// from zero on its decimal value. No padding; "-" only when a non-zero digit
// remains. Returns the length written to `out` (room for kMaxFixedText).
std::size_t formatFixed(const DecimalNumber& number, int decimals, char* out);
// Same for a double (2.675 gives "2.68"); NaN and infinities write nothing.
std::size_t formatFixed(double value, int decimals, char* out);

// The `length` bytes of `value` in an N(length, decimals) field:
// right-aligned, blank-padded, with all decimals. A value that does not fit
// throws DatabaseError (InvalidValue) naming `fieldName`: stored data never
// holds asterisks.
void formatNumberField(double value, int length, int decimals, std::string_view fieldName,
                       char* out);
std::string formatNumberField(double value, int length, int decimals, std::string_view fieldName);

// D field, YYYYMMDD. Blank and impossible dates ("20010231", "00000000",
// junk) read as no date.
std::optional<Date> parseDateField(std::string_view raw);
// Eight bytes; no date gives eight blanks. A date outside years 1..9999 throws
// DatabaseError (InvalidValue).
void formatDateField(const std::optional<Date>& date, char out[8]);
std::string formatDateField(const std::optional<Date>& date);

// L field: T t Y y true, F f N n false, blank or '?' unknown.
std::optional<bool> parseLogicalField(std::string_view raw);
inline char formatLogicalField(std::optional<bool> value) {
    return value ? (*value ? 'T' : 'F') : ' ';
}

} // namespace shelvix::db
