#include "reports/forms/treplayout.h"

#include "app/forms/colors.h"
#include "app/forms/placement.h"
#include "app/paint/fontfaces.h"
#include "reports/forms/treportpart.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>
#include <cmath>

namespace shelvix::reports {

TRepLayout::TRepLayout(app::AppContext& context, ReportDefinition& current, int lineWidth,
                       bool useTotals, QWidget* parent)
    : QDialog(parent), ctx_(context), current_(current), copy_(current), lineWidth_(lineWidth),
      useTotals_(useTotals), geometry_(context.screenFactor) {
    setObjectName(QStringLiteral("TRepLayout"));
    setWindowTitle(QStringLiteral("Specify Report Layout"));
    resize(633, 450);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setGeometry(4, 6, 625, 30);
    reportNameLabel_ = new QLabel(panel);
    reportNameLabel_->setObjectName(QStringLiteral("ReportNameLabel"));
    reportNameLabel_->setGeometry(8, 6, 600, 18);
    reportNameLabel_->setText((QStringLiteral("Report: ") + fromStored(copy_.name)).left(38));

    bodyLabel_ = new QLabel(QStringLiteral("Report Body"), this);
    bodyLabel_->setObjectName(QStringLiteral("ReportBodyLabel"));
    bodyLabel_->setGeometry(4, 52, 200, 18);
    totalsLabel_ = new QLabel(QStringLiteral("Report Totals"), this);
    totalsLabel_->setObjectName(QStringLiteral("ReportTotalsLabel"));
    totalsLabel_->setGeometry(4, 333, 200, 18);

    auto* note = new QLabel(QStringLiteral("Using the left mouse button, click on the area where "
                                           "you would like to add or change the report layout."),
                            this);
    note->setObjectName(QStringLiteral("NoteLabel"));
    note->setGeometry(4, 382, 625, 20);
    note->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(220, 412, 90, 28);
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(322, 412, 90, 28);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    bodyLabel_->setVisible(copy_.lineCount > 0);
    totalsLabel_->setVisible(useTotals_);
}

void TRepLayout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        app::placeDialog(this, ctx_);
        app::applyColorSet(this, ctx_, app::ColorGroup::Report);
        geometry_ = LayoutGeometry(ctx_.screenFactor);
        setFixedSize(size());
    }
}

LayoutHit TRepLayout::CalcPosition(int x, int y) const {
    return hitTest(copy_, lineWidth_, geometry_, x, y);
}

QString TRepLayout::partText(const ReportPartEntry& part, bool totalsRow) const {
    if (part.isFiller())
        return QStringLiteral("Filler");
    if (part.isLabel())
        return fromStored(part.label);
    if (!totalsRow) {
        const auto& names = ReportFieldNames();
        for (std::size_t i = 0; i < names.size(); ++i)
            if (part.name == names[i])
                return ctx_.database.fieldNames[i];
    }
    return fromStored(part.name);
}

void TRepLayout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    BuildLayout(painter);
}

void TRepLayout::BuildLayout(QPainter& painter) {
    QFont font(app::installedFace(QStringLiteral("Arial")));
    font.setPointSize(std::max(1, int(std::lround(8 * geometry_.factor))));
    painter.setFont(font);
    painter.setBrush(Qt::white);
    const int count = std::clamp<int>(copy_.lineCount, 0, kBodyLines);
    bodyLabel_->setVisible(count > 0);
    for (int line = 1; line <= count; ++line)
        drawRow(painter, copy_.lines[std::size_t(line - 1)], geometry_.rowTop(line), false);
    totalsLabel_->setVisible(useTotals_);
    if (useTotals_)
        drawRow(painter, copy_.totalsLine, geometry_.totalsTop, true);
}

void TRepLayout::drawRow(QPainter& painter, const ReportLine& line, int top, bool totalsRow) {
    const int height = geometry_.rowHeight;
    const QFontMetrics metrics = painter.fontMetrics();
    for (const PartBox& box : partBoxes(line, lineWidth_, geometry_.left, geometry_.right)) {
        const ReportPartEntry& part = line[std::size_t(box.part - 1)];
        const QRect rect(box.left, top, box.right - box.left, height);
        painter.setPen(Qt::black);
        painter.drawRect(rect);
        QString text = partText(part, totalsRow);
        const int room = rect.width() - 1;
        Qt::Alignment align = part.isFiller()  ? Qt::AlignHCenter
                              : part.isLabel() ? Qt::AlignRight
                                               : Qt::AlignLeft;
        if (metrics.horizontalAdvance(text) > room) {
            while (!text.isEmpty() && metrics.horizontalAdvance(text) > room)
                text.chop(1);
            align = Qt::AlignLeft;
        }
        painter.setPen(part.isFiller()  ? QColor(Qt::darkGreen)
                       : part.isLabel() ? QColor(Qt::red)
                                        : QColor(Qt::black));
        painter.drawText(rect.adjusted(1, 0, -1, 0), int(align | Qt::AlignVCenter), text);
    }
}

void TRepLayout::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    selected_ = CalcPosition(at.x(), at.y());
}

void TRepLayout::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const LayoutHit hit = CalcPosition(at.x(), at.y());
    if (hit.line > 0 && hit.part > 0 && hit == selected_) {
        TReportPart part(ctx_, copy_, hit.line, hit.part, lineWidth_, this);
        part.exec();
        update();
    }
}

void TRepLayout::OkButtonClick() {
    current_ = copy_;
    accept();
}

} // namespace shelvix::reports
