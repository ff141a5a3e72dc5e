#pragma once

#include "reports/paint/qtreport.h"
#include "reports/reportrender.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;

namespace shelvix::app {
struct AppContext;
}

namespace shelvix::reports {

// "Report Status Screen": runs the report once when first shown, with the
// page being printed in `Label1` and Cancel in `BitBtn1`, which becomes OK
// when the run is over. The form stays until OK is pressed.
class TReportForm : public QDialog {
    Q_OBJECT
public:
    TReportForm(app::AppContext& context, const ReportDefinition& definition, ReportMode mode,
                QWidget* parent = nullptr);
    ~TReportForm() override;

    ReportRenderer& renderer() { return *renderer_; }
    TReportPrinter MyReportPrinter;
    TReportFiler MyReportFiler;
    // Mode 1 the printer, else the filer.
    TBaseReport& engine();
    // Copies drawn by a print run, each a run of its own.
    int Copies = 1;

    bool Canceled() const { return canceled_; }
    bool Finished() const { return finished_; }
    QLabel* Label1 = nullptr;
    QPushButton* BitBtn1 = nullptr;

    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormActivate();
    void showStatus(const QString& status);

    app::AppContext& ctx_;
    ReportMode mode_;
    std::unique_ptr<ReportRenderer> renderer_;
    bool started_ = false;
    bool finished_ = false;
    bool canceled_ = false;
};

} // namespace shelvix::reports
