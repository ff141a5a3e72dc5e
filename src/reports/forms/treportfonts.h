#pragma once

#include "app/appcontext.h"
#include "reports/reportdefinition.h"

#include <QDialog>

class QLineEdit;

namespace shelvix::reports {

// "Report Fonts": fonts 1, 2, 3 and 5 of the definition, each changed at
// once through the font dialog. Font 4 is not used by reports.
class TReportFonts : public QDialog {
    Q_OBJECT
public:
    TReportFonts(app::AppContext& context, ReportDefinition& current, QWidget* parent = nullptr);

    // Font index (0-based) of the n-th edit.
    static constexpr int kFontIndex[4] = {0, 1, 2, 4};
    void NewFontClick(int edit);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showFonts();

    app::AppContext& ctx_;
    ReportDefinition& current_;
    QLineEdit* edits_[4] = {};
};

} // namespace shelvix::reports
