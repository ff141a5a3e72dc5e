#pragma once

#include <QString>

namespace shelvix::backup {

// The texts backup, restore and conversion show, double blanks and all.
struct Messages {
    static const QString identicalBackup;
    static const QString identicalBackupReports;
    static const QString exclusiveBackup;
    static const QString noRoomBackup;
    static const QString noRoomBackupReports;
    static const QString backupFailed;
    static const QString backupDone;

    static const QString identicalRestore;
    static const QString inUseRestore;
    static const QString noRoomRestore;
    static const QString restoreFailed;
    static const QString restoreDone;
    static const QString listsRestored;
    static const QString listsMissing;
    static const QString settingsRestored;
    static const QString reportsMissing;
    // "The following file "NAME" could not be located on the specified
    // source drive."
    static QString missingFile(const QString& name);

    static const QString convertVersion2;
    static const QString convertVersion1;
};

} // namespace shelvix::backup
