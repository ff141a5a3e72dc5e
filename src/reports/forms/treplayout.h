#pragma once

#include "app/appcontext.h"
#include "reports/reportdefinition.h"
#include "reports/reportediting.h"

#include <QDialog>

class QLabel;

namespace shelvix::reports {

// "Specify Report Layout": the body lines and the totals line as rows of
// boxes; a click on a box opens the part dialog. Works on a copy of
// `current`, copied back on Ok.
class TRepLayout : public QDialog {
    Q_OBJECT
public:
    TRepLayout(app::AppContext& context, ReportDefinition& current, int lineWidth, bool useTotals,
               QWidget* parent = nullptr);

    const ReportDefinition& layoutCopy() const { return copy_; }
    const LayoutGeometry& geometry() const { return geometry_; }
    LayoutHit CalcPosition(int x, int y) const;
    void OkButtonClick();

    // The text a part shows and its colour.
    QString partText(const ReportPartEntry& part, bool totalsRow) const;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void BuildLayout(QPainter& painter);
    void drawRow(QPainter& painter, const ReportLine& line, int top, bool totalsRow);

    app::AppContext& ctx_;
    ReportDefinition& current_;
    ReportDefinition copy_;
    int lineWidth_;
    bool useTotals_;
    LayoutGeometry geometry_;
    LayoutHit selected_;
    QLabel* reportNameLabel_ = nullptr;
    QLabel* bodyLabel_ = nullptr;
    QLabel* totalsLabel_ = nullptr;
};

} // namespace shelvix::reports
