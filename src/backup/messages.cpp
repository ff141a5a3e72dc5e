#include "backup/messages.h"

namespace shelvix::backup {

const QString Messages::identicalBackup = QStringLiteral(
    "Destination File and Source File are identical.  You cannot copy a file  over top of "
    "itself.  Please choose a different directory/folder to backup to.");
const QString Messages::identicalBackupReports = QStringLiteral(
    "Destination File and Source File are identical.  You cannot copy a file  over top of "
    "itself.  Please choose a different directory to backup to.");
const QString Messages::exclusiveBackup = QStringLiteral(
    "Backing up the database requires exclusive use of the DBase File.  Make sure that the "
    "DBase File is not in use by another program  or that no other users are running the "
    "software or that no other copies of the software are in use.");
const QString Messages::noRoomBackup = QStringLiteral(
    "There is not enough room on the destination drive to perform a backup.  If you are "
    "already using blank empty media, then you will need to use the ASCII Delimited "
    "Import/Export functions for backup and restore purposes.");
const QString Messages::noRoomBackupReports = QStringLiteral(
    "There is not enough room on the destination drive to backup this file.  You will need to "
    "free up space on the destination drive or use an alternative method to backup the "
    "\"SHVBOOK.URP\" file.");
const QString Messages::backupFailed =
    QStringLiteral("An error occurred during backup.  Backup not completed.");
const QString Messages::backupDone = QStringLiteral("Backup completed successfully.");

const QString Messages::identicalRestore = QStringLiteral(
    "Destination File and Source File are identical.  You cannot copy a file  over top of "
    "itself.  Please choose a different directory/folder to restore from.");
const QString Messages::inUseRestore = QStringLiteral(
    "Unable to restore the database.  Make sure the database is not in use by any other users "
    "or by another copy of the software.");
const QString Messages::noRoomRestore = QStringLiteral(
    "There is not enough room on the destination drive to perform a restore.  You will need to "
    "free up hard drive space before completing the restore.");
const QString Messages::restoreFailed =
    QStringLiteral("An error occurred during restore.  Restore not completed.");
const QString Messages::restoreDone = QStringLiteral("Restore completed successfully.");
const QString Messages::listsRestored =
    QStringLiteral("ALL proper \"Data List\" files restored successfully.");
const QString Messages::listsMissing = QStringLiteral(
    "One or more files were not restored.  Restore may not have completed successfully.");
const QString Messages::settingsRestored =
    QStringLiteral("Configuration File restored successfully.");
const QString Messages::reportsMissing =
    QStringLiteral("The Report Definitions file \"SHVBOOK.URP\" could not be  located on the "
                   "specified source drive.");

QString Messages::missingFile(const QString& name) {
    return QStringLiteral("The following file \"%1\" could not be located on the specified "
                          "source drive.")
        .arg(name);
}

const QString Messages::convertVersion2 = QStringLiteral(
    "A database from a previous version (2.X) has been detected.  Would you like to convert it "
    "now?  NOTE: After conversion the old file will be deleted.  You may wish to make a copy of "
    "\"B2LOG.DBF\" first.");
const QString Messages::convertVersion1 = QStringLiteral(
    "A database from a previous version (1.X) has been detected.  Would you like to convert it "
    "now?  NOTE: After conversion the old file will be deleted.  You may wish to make a copy of "
    "\"BLOG.DBF\" first.");

} // namespace shelvix::backup
