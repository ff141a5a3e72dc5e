#pragma once

#include "app/forms/placement.h"
#include "reports/reportdefinition.h"
#include "reports/reportrender.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace shelvix::app {
struct AppContext;
class SearchBracket;
} // namespace shelvix::app

namespace shelvix::reports {

struct ReportStream;

// "Reports": the report list, made at start-up and kept. The main window's
// Reports and Print commands call DoReports. A report runs to the screen,
// the printer (through the print dialog) or a file (text, or PDF).
class TMyReport : public QDialog {
    Q_OBJECT
public:
    TMyReport(app::AppContext& context, app::SearchBracket& search, QWidget* parent = nullptr);

    // Shows the list modally.
    void DoReports();
    // The names of SHVBOOK.URP, in file order.
    void LoadReportBox();

    void DoView();
    void DoPrint();
    void DoPrintToFile();
    void DoNew();
    void DoModify();
    void DoHelp();
    void DoPrinterSetup();

    // The definition last loaded, and what the editor is told.
    ReportDefinition CurrentReport;
    bool IsNewReport = false;
    int EditedReportIndex = -1;
    // The definition editor; New and Modify stay disabled until it is given.
    void setEditor(std::function<void()> showEditor);
    // The installed printers, in index order (tests give their own).
    std::function<QStringList()> printerNames;

    QLabel* SortOrderLabel = nullptr;
    QRadioButton* ExportEntire = nullptr;
    QRadioButton* ExportSearch = nullptr;
    QListWidget* ReportBox = nullptr;
    QPushButton* ViewButton = nullptr;
    QPushButton* PrintButton = nullptr;
    QPushButton* FileButton = nullptr;
    QPushButton* HelpButton = nullptr;
    QPushButton* ExitButton = nullptr;
    QPushButton* ModifyButton = nullptr;
    QPushButton* NewButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

public:
    void done(int result) override;

private:
    struct Output;
    void FormShow();
    // The selected definition into CurrentReport; false (said) when there is none.
    bool loadSelected();
    void DoIt(ReportMode mode, const Output& output);
    void showPages(const ReportStream& stream);
    void showEditor();

    app::AppContext& ctx_;
    app::SearchBracket& search_;
    app::FormGeometry geometry_;
    std::function<void()> showEditor_;
    std::vector<QAction*> editorActions_;
    std::size_t damageShown_ = 0; // the unusable records the last load named
};

} // namespace shelvix::reports
