#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// ISBNs as users type and store them: "0-306-40615-2", "978 0 306 40615 7",
// a spreadsheet's ="9780306406157", a cataloguing site's [0306406152].
// Bytes in, bytes out: an ISBN is ASCII, and any other byte makes the text
// something else.
namespace shelvix::db::isbn {

// The text without its ="..." or [...] wrapper, its blanks and hyphens, an x
// made X. Other characters are kept, so what is left may be no ISBN.
std::string normalise(std::string_view text);

// Empty: nothing but blanks, hyphens and a wrapper. Malformed: neither 10
// characters (nine digits, then a digit or X) nor 13 digits from 978 or 979.
// WrongCheckDigit: the shape of an ISBN whose last character does not match.
enum class Status { Empty, Malformed, WrongCheckDigit, Valid };
Status check(std::string_view text);

// The 13-digit form of a valid ISBN of either length.
std::optional<std::string> toIsbn13(std::string_view text);
// The 10-character form of a valid ISBN-10, or of a valid ISBN-13 from 978
// (those from 979 have none).
std::optional<std::string> toIsbn10(std::string_view text);

// What two records must share to hold the same book: the 13-digit form of a
// valid ISBN (an ISBN-10 and its ISBN-13 are one book), the normalised text
// of one whose check digit is wrong (the same slip twice is still the same
// book), nothing for any other text.
std::optional<std::string> bookKey(std::string_view text);
// The same as a number, equal exactly when the keys are: for passes over
// every record, which compare without building texts.
std::optional<std::uint64_t> bookNumber(std::string_view text);

} // namespace shelvix::db::isbn
