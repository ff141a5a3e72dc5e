#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Small text helpers shared by every layer. They work on bytes (Windows-1252
// text as the files hold it); a character is one byte.
namespace shelvix::core {

// Blanks are the space and the control characters (bytes 0x00-0x20), as the
// old tools treated them: a field padded with blanks or a line with a stray
// tab trims the same way.
bool isBlank(char c);

std::string trim(std::string_view s);
std::string trimLeft(std::string_view s);
std::string trimRight(std::string_view s);
// Without leading and trailing spaces (only spaces), as a view into `s`.
std::string_view stripSpaces(std::string_view s);
// What a spreadsheet's cell wrapper holds: the text between `open` and
// `close` once spaces are stripped (="..." and [...] keep a number as text);
// the text itself when it is not so wrapped.
std::string_view unwrapped(std::string_view text, std::string_view open, char close);
// Trims, then keeps at most n characters.
std::string trimCut(std::string_view s, std::size_t n);
std::string removeChar(std::string_view s, char c);
// Pad with blanks to `width`; a longer text is returned whole, never cut.
std::string padRight(std::string_view s, std::size_t width);
std::string padLeft(std::string_view s, std::size_t width);
std::string repeatChar(char c, std::size_t n);
std::string intToText(std::int64_t n);
std::string yesNo(bool flag);

// ASCII-only case helpers for names (fields, sections, keys, commands) and
// the searches that fold a to z only: every other byte stays as it is.
constexpr char toUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string toUpperAscii(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace shelvix::core
