#pragma once

#include "backup/forms/backupcommands.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace shelvix::backup {

// "Backup": copies the open database's table, its data lists or its
// settings file, or the report definitions, into a directory of any mounted
// volume. The window stays open for another backup.
class TMyBackup : public QDialog {
    Q_OBJECT
public:
    TMyBackup(BackupHost& host, QWidget* parent = nullptr);

    // The directory DirBox is in.
    QString directory() const { return directory_; }

    void DriveBoxChange();
    void StartButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void SetColors();
    void setDirectory(const QString& path);
    void backupDatabase(const QString& dir);
    void backupLists(const QString& dir);
    void backupSettings(const QString& dir);
    void backupReports(const QString& dir);
    void succeeded();
    void error(const QString& text);

    BackupHost& host_;
    QRadioButton* backDbf_ = nullptr;
    QRadioButton* backLst_ = nullptr;
    QRadioButton* backIni_ = nullptr;
    QRadioButton* backUrp_ = nullptr;
    QComboBox* driveBox_ = nullptr;
    QLabel* dirLabel_ = nullptr;
    QListWidget* dirBox_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QString directory_;
};

// The busy cursor for as long as it lives, or until release().
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void release();

private:
    bool on_ = true;
};

} // namespace shelvix::backup
