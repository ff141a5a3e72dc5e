#include "reports/reportengine.h"

#include <cmath>

namespace shelvix::reports {

namespace {
// Lines that end a hair past the band still count, as rounding in inches
// would otherwise lose the last line of a band measured to fit exactly.
constexpr double kSlack = 1e-9;
} // namespace

QString expandStatus(const QString& format, int page, const QStringList& lines) {
    QString out;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const QChar n = format[i + 1];
        if (n == u'p' || n == u'P') {
            out += QString::number(page);
        } else if (n.isDigit()) {
            out += lines.value(n.digitValue());
        } else if (n == u'%') {
            out += u'%';
        } else {
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}

TBaseReport::TBaseReport() = default;
TBaseReport::~TBaseReport() = default;

FontMetrics TBaseReport::metrics() const {
    if (!metricsValid_) {
        metrics_ = deviceMetrics(font_);
        metricsValid_ = true;
    }
    return metrics_;
}

void TBaseReport::ResetPosition() {
    lineTop_ = bandTop_;
    x_ = MarginLeft;
    nextCell_ = 0;
}

void TBaseReport::SetBandTop(double y) {
    bandTop_ = y;
    if (lineTop_ < bandTop_) {
        lineTop_ = bandTop_;
    }
}

void TBaseReport::SetBandBottom(double y) {
    bandBottom_ = y;
    if (lineTop_ >= bandBottom_) {
        lineTop_ = bandTop_;
    }
}

double TBaseReport::PageWidthInches() const {
    return devicePageWidth();
}
double TBaseReport::PageHeightInches() const {
    return devicePageHeight();
}

int TBaseReport::LinesRemaining() const {
    const double lh = metrics().lineHeight;
    if (lh <= 0) {
        return 0;
    }
    const double n = std::floor((bandBottom_ - lineTop_) / lh + kSlack);
    return n > 0 ? static_cast<int>(n) : 0;
}

void TBaseReport::ApplyFont(const QString& name, double size, bool bold, bool italic,
                            bool underline, bool strikeout, int color) {
    ApplyFont(ReportFont{name, size, bold, italic, underline, strikeout, color});
}

void TBaseReport::ApplyFont(const ReportFont& font) {
    if (!(font == font_)) {
        font_ = font;
        metricsValid_ = false;
    }
}

double TBaseReport::MeasureText(const QString& text) const {
    return text.isEmpty() ? 0.0 : deviceTextWidth(font_, text);
}

void TBaseReport::RemoveAllCells() {
    cells_.clear();
    nextCell_ = 0;
}

void TBaseReport::AddCell(int justify, int borders, int shade, double margin, double width,
                          double position) {
    ReportCell cell{justify, borders, shade, margin / 100.0, width, position};
    if (position == kAfterPrevious) {
        cell.position = cells_.empty() ? MarginLeft : cells_.back().position + cells_.back().width;
    }
    cells_.push_back(cell);
}

double TBaseReport::CellTextWidth(int n) const {
    if (n < 1 || n > CellCount()) {
        return 0;
    }
    const ReportCell& c = cells_[n - 1];
    return c.width - 2 * c.margin;
}

void TBaseReport::textAt(double left, double right, int justify, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    const double w = MeasureText(text);
    double x = left;
    if (justify == pjCenter) {
        x = left + (right - left - w) / 2;
    } else if (justify == pjRight) {
        x = right - w;
    }
    deviceText(x, lineTop_ + metrics().ascent, text, font_);
}

void TBaseReport::cellFrame(const ReportCell& c) {
    const double top = lineTop_;
    const double bottom = lineTop_ + metrics().lineHeight;
    const double left = c.position;
    const double right = c.position + c.width;
    if (c.shade > 0) {
        deviceShade(left, top, c.width, bottom - top, c.shade);
    }
    if (c.borders & pbLeft) {
        deviceLine(left, top, left, bottom);
    }
    if (c.borders & pbRight) {
        deviceLine(right, top, right, bottom);
    }
    if (c.borders & pbTop) {
        deviceLine(left, top, right, top);
    }
    if (c.borders & pbBottom) {
        deviceLine(left, bottom, right, bottom);
    }
}

void TBaseReport::PrintCells(const QString& text) {
    const QStringList pieces = text.split(u'\t');
    // Text before the first tab goes where the line stands.
    if (!pieces.front().isEmpty()) {
        const double w = MeasureText(pieces.front());
        textAt(x_, x_ + w, pjLeft, pieces.front());
        x_ += w;
    }
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        if (nextCell_ >= CellCount()) {
            break; // more tabs than cells: nowhere to put the rest
        }
        const ReportCell& c = cells_[nextCell_++];
        cellFrame(c);
        const int justify = c.justify == pjBlock ? pjLeft : c.justify;
        textAt(c.position + c.margin, c.position + c.width - c.margin, justify, pieces[i]);
        x_ = c.position + c.width;
    }
}

void TBaseReport::PrintCellsLine(const QString& text) {
    PrintCells(text);
    AdvanceLine();
}

void TBaseReport::AdvanceLine() {
    lineTop_ += metrics().lineHeight;
    x_ = MarginLeft;
    nextCell_ = 0;
}

void TBaseReport::PrintCentredAt(const QString& text, double x) {
    const double w = MeasureText(text);
    textAt(x - w / 2, x + w / 2, pjLeft, text);
}

void TBaseReport::PrintOnBandBottom(const QString& text, int justify) {
    const double saved = lineTop_;
    lineTop_ = bandBottom_ - metrics().lineHeight;
    textAt(MarginLeft, PageWidthInches() - MarginRight, justify, text);
    lineTop_ = saved;
}

void TBaseReport::startPage() {
    bandTop_ = MarginTop;
    bandBottom_ = PageHeightInches() - MarginBottom;
    RemoveAllCells();
    ResetPosition();
    RefreshStatus();
}

QString TBaseReport::ExpandedStatus() const {
    return expandStatus(StatusFormat, currentPage_, StatusText);
}

void TBaseReport::RefreshStatus() {
    if (StatusLabel) {
        StatusLabel(ExpandedStatus());
    }
}

bool TBaseReport::RunReport() {
    if (running_) {
        return false;
    }
    canceled_ = false;
    currentPage_ = 0;
    if (!deviceBegin()) {
        return false;
    }
    running_ = true;
    // The device is closed however the run ends, so a failed run never
    // leaves a printer job or stream half open.
    struct Close {
        TBaseReport* r;
        ~Close() {
            r->running_ = false;
            r->deviceEnd();
        }
    } close{this};

    currentPage_ = 1;
    if (OnBeforePrint) {
        OnBeforePrint(*this);
    }
    for (;;) {
        startPage();
        if (OnPrintHeader) {
            OnPrintHeader(*this);
        }
        const bool more = OnPrintPage ? OnPrintPage(*this, currentPage_) : false;
        if (OnPrintFooter) {
            OnPrintFooter(*this);
        }
        if (!more || canceled_) {
            break;
        }
        deviceNewPage();
        ++currentPage_;
    }
    if (OnAfterPrint) {
        OnAfterPrint(*this);
    }
    return true;
}

} // namespace shelvix::reports
