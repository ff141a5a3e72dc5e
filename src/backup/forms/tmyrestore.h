#pragma once

#include "backup/forms/backupcommands.h"

#include <QDialog>

class QPushButton;
class QRadioButton;

namespace shelvix::backup {

// "Restore": brings a backed-up table, a database's data lists or settings
// file, or the report definitions back. A restored table becomes the open
// database, as opening it would make it.
class TMyRestore : public QDialog {
    Q_OBJECT
public:
    TMyRestore(BackupHost& host, QWidget* parent = nullptr);

    void StartButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void SetColors();
    void restoreDatabase(const QString& picked);
    void restoreLists(const QString& picked);
    void restoreSettings(const QString& picked);
    void restoreReports(const QString& picked);
    void ended();
    void notice(const QString& text);
    void warning(const QString& text);

    BackupHost& host_;
    QRadioButton* restoreDbf_ = nullptr;
    QRadioButton* restoreLst_ = nullptr;
    QRadioButton* restoreIni_ = nullptr;
    QRadioButton* restoreUrp_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace shelvix::backup
