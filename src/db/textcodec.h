#pragma once

#include "core/codec.h"

#include <QString>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

// Where stored bytes become QString and back: record fields in the code page
// their table's language driver names (Table::codePage()), the settings and
// list files in Windows-1252, paths, and the engine's error messages.
namespace shelvix::db {

// Stored bytes as text, through a table lookup (cheap enough for every cell
// the grid paints).
QString decodeField(std::string_view bytes, core::CodePage cp);
// Text as bytes of the code page; nothing when a character has no byte there
// (storing '?' instead would change the user's data unseen). `bad`, when
// given, receives the first such character.
std::optional<std::string> encodeField(const QString& text, core::CodePage cp,
                                       QChar* bad = nullptr);

QString fromWindows1252(std::string_view bytes);
// Characters outside Windows-1252 are written as '?'; *lost (when given)
// receives how many there were, so the caller can tell the user.
std::string toWindows1252(const QString& text, int* lost = nullptr);

// Paths in settings files. A path that Windows-1252 can hold is stored in it,
// as older tools expect; any other is stored as UTF-8 rather than lose
// characters (file names on Linux are UTF-8). Reading takes non-ASCII bytes
// that form valid UTF-8 as UTF-8, everything else as Windows-1252.
std::string encodePath(const QString& path);
QString decodePath(std::string_view bytes);

// The text of an error for the user. Messages are UTF-8 (DatabaseError says
// so); a byte that is not part of a UTF-8 character, as a message from a
// writer that quoted stored bytes would hold, reads as Windows-1252 rather
// than as a replacement mark.
QString errorText(const std::exception& error);
QString errorText(std::string_view message);

} // namespace shelvix::db
