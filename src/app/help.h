#pragma once

#include <QString>
#include <QStringList>

namespace shelvix::app {

// The help topics are HTML pages, one per keyword the windows ask for; the
// file name is the keyword in lower case with blanks as hyphens
// ("Backup and Restore" -> backup-and-restore.html).
inline constexpr const char* kHelpContentsFile = "contents.html";

// The topic file for `keyword`, or the contents page for "" and for a keyword
// that is not a plain phrase (letters, digits, blanks, hyphens), so that a
// keyword can never name a file outside the help.
QString helpTopicFile(const QString& keyword);

// Where to look for the topics, first match wins: the help installed beside
// the program (`applicationDir`/../share/shelvix-books/help), then the copy
// built into the program (":/help").
QStringList helpSearchPaths(const QString& applicationDir);

} // namespace shelvix::app
