#pragma once

#include <QString>
#include <QStringList>

namespace shelvix::shell {

// The default data lists built into the program (data/shelvix.qrc).
inline constexpr const char* kBuiltInListsDir = ":/lists";

struct SeedResult {
    QStringList copied; // files created in the data directory
    QStringList failed; // files that were missing and could not be created
};

// Gives the data directory every default data list it lacks, copied from
// `sourceDir`. A list the user already has (in any case of its extension) is
// never replaced. Creates the data directory when missing.
SeedResult seedDataDirectory(const QString& dataDir,
                             const QString& sourceDir = QString::fromLatin1(kBuiltInListsDir));

} // namespace shelvix::shell
