#pragma once

#include "app/appcontext.h"

#include <QDialog>

class QRadioButton;

namespace shelvix::transfer {

// "Import Format": the kind of file, then the file, then the import window.
// It closes with the import window; cancelling a file dialog leaves it open.
class TImportFormat : public QDialog {
    Q_OBJECT
public:
    explicit TImportFormat(app::AppContext& context, QWidget* parent = nullptr);

    // 1 delimited text, 2 dBASE: the kind last chosen with Select File.
    int kind() const { return kind_; }

    void FileButtonClick();
    void CancelButtonClick();
    void done(int result) override; // FormClose

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void SetColors();
    void DoAscii();
    void DoDBF();

    app::AppContext& ctx_;
    QRadioButton* ascii_ = nullptr;
    QRadioButton* dbf_ = nullptr;
    int kind_ = 1;
};

} // namespace shelvix::transfer
