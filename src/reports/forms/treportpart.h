#pragma once

#include "app/appcontext.h"
#include "reports/reportdefinition.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace shelvix::reports {

// "Select Report Part": what part `partNo` of body line `lineNo` (or of
// the totals line, 100) of `layout` shows, and its width. Works on a copy of
// the line, fitted to `lineWidth` and copied back on Ok.
class TReportPart : public QDialog {
    Q_OBJECT
public:
    TReportPart(app::AppContext& context, ReportDefinition& layout, int lineNo, int partNo,
                int lineWidth, QWidget* parent = nullptr);

    void RadioFillerClick();
    void RadioLabelClick();
    void RadioFieldClick();
    void OkButtonClick();

    static int GetField(const std::string& name);
    static int GetTotField(const std::string& name);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool totals() const;

    app::AppContext& ctx_;
    ReportDefinition& layout_;
    int lineNo_;
    int partNo_;
    int lineWidth_;
    ReportLine line_;

    QRadioButton* radioFiller_ = nullptr;
    QRadioButton* radioLabel_ = nullptr;
    QRadioButton* radioField_ = nullptr;
    QListWidget* fieldList_ = nullptr;
    QLineEdit* fieldWidth_ = nullptr;
    QLineEdit* labelName_ = nullptr;
    QLabel* selPartLabel_ = nullptr;
};

} // namespace shelvix::reports
