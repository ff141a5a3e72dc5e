#pragma once

#include "app/appcontext.h"
#include "transfer/exporter.h"

#include <QDialog>

class QCheckBox;
class QProgressBar;
class QRadioButton;
class QTableWidget;

namespace shelvix::transfer {

// "Export": which fields go out and in which order, the file kind, all the
// records or the search result. The choices go to the database settings on
// closing.
class TMyExport : public QDialog {
    Q_OBJECT
public:
    TMyExport(app::AppContext& context, app::SearchBracket& search, QWidget* parent = nullptr);

    QTableWidget* grid() const { return grid_; }
    std::vector<ExportRow> gridRows() const;

    void ExportGridDblClick(int row, int column);
    void UpButtonClick();
    void DownButtonClick();
    void DefaultsButtonClick();
    void FirstRowClick();
    void AsciiFileClick();
    void DBaseFileClick();
    void StartExportButtonClick();
    void ExitButtonClick();
    void HelpButtonClick();
    void done(int result) override; // FormClose

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void SetColors();
    void fillGrid(const std::vector<ExportRow>& rows);
    void UpdateConfigs();
    void run(ExportFormat format, const QString& path, const std::vector<int>& fields);

    app::AppContext& ctx_;
    app::SearchBracket& search_;
    QTableWidget* grid_ = nullptr;
    QCheckBox* firstRow_ = nullptr;
    QRadioButton* entire_ = nullptr;
    QRadioButton* searchOnly_ = nullptr;
    QRadioButton* ascii_ = nullptr;
    QRadioButton* dbase_ = nullptr;
    QProgressBar* gauge_ = nullptr;
    bool running_ = false;
};

} // namespace shelvix::transfer
