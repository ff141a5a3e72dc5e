#include "edit/forms/recordprint.h"

#include "app/appinfo.h"
#include "app/prompter.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <cmath>

namespace shelvix::edit {

RecordPrinter::RecordPrinter() {
    dialog_ = [](QPrinter& printer, QWidget* parent) {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    };
}

RecordPrinter::~RecordPrinter() = default;

QPrinter& RecordPrinter::printer() {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

bool RecordPrinter::print(QWidget* parent, const QStringList& lines, app::Prompter& prompter) {
    QPrinter& p = printer();
    if (printing_ || p.printerState() == QPrinter::Active) {
        prompter.error(QStringLiteral("Other print job currently in progress."));
        return false;
    }
    if (!dialog_(p, parent))
        return false;

    printing_ = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // The copies are drawn here, one page each, so the driver must not
    // multiply them again; the dialog still offers the count next time.
    const int copies = std::max(1, p.copyCount());
    p.setCopyCount(1);
    p.setDocName(QString::fromLatin1(app::kProductName));
    const bool ok = paintRecord(p, lines, copies);
    p.setCopyCount(copies);
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
