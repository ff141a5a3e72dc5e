#include "edit/forms/recordprint.h"

#include "app/appinfo.h"
#include "app/forms/qtprompter.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

namespace shelvix::edit {

bool RecordPrinter::print(const QStringList& lines, app::Prompter& prompter) {
    if (printing_) {
        prompter.error(QStringLiteral("Other print job currently in progress."));
        return false;
    }
    const std::optional<app::PrintSetup> chosen = prompter.choosePrinter({setup_, 0});
    if (!chosen)
        return false;
    setup_ = *chosen;

    printing_ = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QPrinter printer(QPrinter::HighResolution);
    app::configurePrinter(printer, setup_);
    printer.setDocName(QString::fromLatin1(app::kProductName));
    const bool ok = paintRecord(printer, lines, std::max(1, setup_.copies));
    QGuiApplication::restoreOverrideCursor();
    printing_ = false;
    if (!ok)
        prompter.error(QStringLiteral("The printer could not be started."));
    return ok;
}

bool paintRecord(QPrinter& printer, const QStringList& lines, int copies) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const int x = printer.width() / 17;
    const int y0 = printer.height() / 22;
    painter.setFont(QFont(QStringLiteral("Arial"), 10));
    const QFontMetrics metrics = painter.fontMetrics();
    const int h = int(
        std::lround(metrics.size(Qt::TextSingleLine, QStringLiteral("ABCDEWjky")).height() * 1.1));
    for (int copy = 0; copy < copies; ++copy) {
        for (int i = 0; i < lines.size(); ++i)
            painter.drawText(x, y0 + int(i) * h + metrics.ascent(), lines[i]);
        if (copy + 1 < copies)
            printer.newPage();
    }
    return painter.end();
}

} // namespace shelvix::edit
