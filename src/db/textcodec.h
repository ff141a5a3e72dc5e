#pragma once

#include <QString>
#include <string>
#include <string_view>

// QString bridges to the Windows-1252 bytes our files hold.
namespace shelvix::db {

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

} // namespace shelvix::db
