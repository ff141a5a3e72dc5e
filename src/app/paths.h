#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace shelvix::app {

// Where the program keeps its files, from the command line and the
// environment (passed in, so tests never see the user's own).
//
//   data directory    --home DIR, else $SHELVIX_HOME, else
//                     $XDG_DATA_HOME/shelvix-books, else
//                     ~/.local/share/shelvix-books
//                     (MASTER.DBF, default data lists, report definitions)
//   config directory  --home DIR itself, else $XDG_CONFIG_HOME/shelvix-books,
//                     else ~/.config/shelvix-books
//                     (SHVBOOK.INI, and SHVINV.INI, which is only ever read)
//
// Relative XDG values are ignored, as the XDG rules ask; a relative --home
// or $SHELVIX_HOME counts from the current directory.
struct AppPaths {
    QString dataDir;
    QString configDir;
    // The current directory at start-up; the default of the last import and
    // export file.
    QString startDir;
    // The first argument other than --home DIR is /BROWSE, in any capitals.
    bool browseMode = false;

    // `arguments` as QCoreApplication::arguments() gives them, program name
    // first. Accepts "--home DIR" and "--home=DIR".
    static AppPaths resolve(const QStringList& arguments, const QProcessEnvironment& env,
                            const QString& currentDir);

    QString globalSettingsFile() const;      // configDir/SHVBOOK.INI
    QString newDatabaseSettingsFile() const; // configDir/SHVINV.INI
    QString masterDatabase() const;          // dataDir/MASTER.DBF

    // Creates both directories when missing; false with *error on failure.
    bool makeDirectories(QString* error = nullptr) const;
};

} // namespace shelvix::app
