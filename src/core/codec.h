#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Conversion between the 8-bit code pages of our files and UTF-8.
//
// Windows-1252 is what every file we write holds. Its five undefined bytes
// (0x81 0x8D 0x8F 0x90 0x9D) decode to the control characters of the same
// number and encode back, so any byte string survives a round trip.
// Cp437 is read from, and written back to, foreign dBASE files whose language
// driver names it.
namespace shelvix::core {

enum class CodePage { Windows1252, Cp437 };

// The character a byte stands for.
char32_t decodeByte(unsigned char byte, CodePage cp);
// The byte for a character, or -1 when the code page has none.
int encodeChar(char32_t ch, CodePage cp);

// Bytes -> UTF-8. Never fails.
std::string decode(std::string_view bytes, CodePage cp = CodePage::Windows1252);

struct Encoded {
    std::string bytes;
    // Every character that had no byte and was written as '?', in text order.
    // Malformed UTF-8 input is reported as U+FFFD, one per bad byte.
    std::vector<char32_t> unmappable;

    bool lossless() const { return unmappable.empty(); }
};

// UTF-8 -> bytes; characters without a byte become '?' and are reported.
Encoded encode(std::string_view utf8, CodePage cp = CodePage::Windows1252);

bool isValidUtf8(std::string_view text);

// Appends the UTF-8 form of one character.
void appendUtf8(std::string& out, char32_t ch);

// The code page of a dBASE language driver byte (header offset 29): 0x01 and
// 0x1B are DOS cp437; everything else, unknown 0x00 included, is read as
// Windows-1252.
CodePage codePageForLanguageDriver(std::uint8_t driver);

} // namespace shelvix::core
