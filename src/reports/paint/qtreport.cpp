#include "reports/paint/qtreport.h"

#include "app/paint/fontfaces.h"
#include "app/paint/printers.h"
#include "app/prompter.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace shelvix::reports {

namespace {

const QString kNoPrinters = QStringLiteral("No printers are defined, aborting print job.");

// Half a point: thin, yet still seen on paper.
constexpr double kPenWidth = kUnitsPerInch / 144;
// A PDF file's resolution when nothing asks for the screen's.
constexpr int kPdfDpi = 1200;

QPageSize defaultPdfPageSize() {
    return QLocale::system().measurementSystem() == QLocale::MetricSystem
               ? QPageSize(QPageSize::A4)
               : QPageSize(QPageSize::Letter);
}

app::PrinterRequest requestOf(const PrinterChoice& c) {
    return {c.index, c.pageSize, c.orientation, c.title, c.screenResolution};
}

// Measuring builds font metrics, which costs; a report uses few fonts.
struct MetricsCache {
    ReportFont key;
    std::optional<QFontMetricsF> metrics;
    const QFontMetricsF& get(const ReportFont& font) {
        if (!metrics || !(key == font)) {
            key = font;
            metrics.emplace(qtFont(font));
        }
        return *metrics;
    }
};

MetricsCache& metricsCache() {
    static MetricsCache cache;
    return cache;
}

// Making a QFont costs; a report switches between few.
const QFont& drawingFont(const ReportFont& font) {
    static ReportFont lastFont;
    static QFont lastQFont = qtFont(lastFont);
    if (!(font == lastFont)) {
        lastFont = font;
        lastQFont = qtFont(font);
    }
    return lastQFont;
}

} // namespace

QFont qtFont(const ReportFont& f) {
    QFont font(app::installedFace(f.name));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(f.size * kUnitsPerInch / 72))));
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeout);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QColor qtColor(int c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

void ReportStream::playPage(QPainter& painter, int page, double dpiX, double dpiY) const {
    if (page < 1 || page > PageCount()) {
        return;
    }
    painter.save();
    painter.scale(dpiX / kUnitsPerInch, dpiY / kUnitsPerInch);
    painter.drawPicture(0, 0, pages[static_cast<std::size_t>(page - 1)]);
    painter.restore();
}

QStringList installedPrinterNames() {
    const app::Printers* printers = app::printers();
    return printers ? printers->names() : QStringList();
}

std::unique_ptr<QPagedPaintDevice> PrinterChoice::makeDevice() const {
    if (pdfFile.isEmpty()) {
        const app::Printers* printers = app::printers();
        return printers ? printers->open(requestOf(*this)) : nullptr;
    }
    auto pdf = std::make_unique<QPdfWriter>(pdfFile);
    // A picture's resolution is the one Qt takes for the screen.
    pdf->setResolution(screenResolution ? QPicture().logicalDpiY() : kPdfDpi);
    pdf->setPageLayout(
        QPageLayout(pageSize.value_or(defaultPdfPageSize()), orientation, QMarginsF()));
    pdf->setTitle(title);
    return pdf;
}

QSizeF PrinterChoice::paperInches() const {
    QPageSize size = pageSize.value_or(QPageSize());
    const app::Printers* printers = app::printers();
    if (!size.isValid() && pdfFile.isEmpty() && printers)
        size = printers->defaultPaper(index);
    if (!size.isValid()) {
        size = defaultPdfPageSize();
    }
    QSizeF s = size.size(QPageSize::Inch);
    if (orientation == QPageLayout::Landscape) {
        s.transpose();
    }
    return s;
}

// QtPaintReport

double QtPaintReport::devicePageWidth() const {
    const QSizeF p = paperPortrait();
    return Orientation == poLandScape ? p.height() : p.width();
}

double QtPaintReport::devicePageHeight() const {
    const QSizeF p = paperPortrait();
    return Orientation == poLandScape ? p.width() : p.height();
}

FontMetrics QtPaintReport::deviceMetrics(const ReportFont& font) const {
    const QFontMetricsF& m = metricsCache().get(font);
    return {m.ascent() / kUnitsPerInch, m.descent() / kUnitsPerInch,
            m.lineSpacing() / kUnitsPerInch};
}

double QtPaintReport::deviceTextWidth(const ReportFont& font, const QString& text) const {
    if (batch_) {
        if (const std::optional<qreal> advance = batch_->advance(text, drawingFont(font)))
            return *advance / kUnitsPerInch;
    }
    return metricsCache().get(font).horizontalAdvance(text) / kUnitsPerInch;
}

void QtPaintReport::deviceText(double x, double baseline, const QString& text,
                               const ReportFont& font) {
    if (!batch_) {
        return;
    }
    batch_->text(QPointF(x * kUnitsPerInch, baseline * kUnitsPerInch), text, drawingFont(font),
                 qtColor(font.color));
}

void QtPaintReport::deviceLine(double x1, double y1, double x2, double y2) {
    if (batch_) {
        batch_->line(
            QLineF(x1 * kUnitsPerInch, y1 * kUnitsPerInch, x2 * kUnitsPerInch, y2 * kUnitsPerInch));
    }
}

void QtPaintReport::deviceShade(double x, double y, double width, double height, int percent) {
    if (!batch_) {
        return;
    }
    const int level = std::clamp(255 - percent * 255 / 100, 0, 255);
    batch_->fill(
        QRectF(x * kUnitsPerInch, y * kUnitsPerInch, width * kUnitsPerInch, height * kUnitsPerInch),
        QColor(level, level, level));
}

QtPaintReport::~QtPaintReport() = default;

void QtPaintReport::startDrawing(QPainter& painter) {
    batch_ = std::make_unique<PageBatch>(painter,
                                         QPen(Qt::black, kPenWidth, Qt::SolidLine, Qt::FlatCap));
}

void QtPaintReport::flushDrawing() {
    if (batch_) {
        batch_->flush();
    }
}

void QtPaintReport::stopDrawing() {
    flushDrawing();
    batch_.reset();
}

// TReportPrinter

TReportPrinter::~TReportPrinter() = default;

void TReportPrinter::ChoosePrinter(int index) {
    TBaseReport::ChoosePrinter(index);
    choice_.index = index;
    choice_.pdfFile.clear();
}

void TReportPrinter::ChoosePdfFile(const QString& path, std::optional<QPageSize> size) {
    choice_.pdfFile = path;
    choice_.pageSize = size;
}

QSizeF TReportPrinter::paperPortrait() const {
    PrinterChoice portrait = choice_;
    portrait.orientation = QPageLayout::Portrait;
    return portrait.paperInches();
}

bool TReportPrinter::deviceBegin() {
    choice_.orientation =
        Orientation == poLandScape ? QPageLayout::Landscape : QPageLayout::Portrait;
    choice_.title = Title;
    device_ = choice_.makeDevice();
    if (!device_) {
        if (prompter_) {
            prompter_->beep(app::Beep::Error);
            prompter_->error(kNoPrinters);
        }
        return false;
    }
    ownPainter_ = std::make_unique<QPainter>();
    if (!ownPainter_->begin(device_.get())) {
        if (prompter_) {
            prompter_->error(
                choice_.pdfFile.isEmpty()
                    ? QStringLiteral("The printer could not be started.")
                    : QStringLiteral("The file %1 could not be written.").arg(choice_.pdfFile));
        }
        ownPainter_.reset();
        device_.reset();
        return false;
    }
    ownPainter_->scale(device_->logicalDpiX() / kUnitsPerInch,
                       device_->logicalDpiY() / kUnitsPerInch);
    startDrawing(*ownPainter_);
    return true;
}

void TReportPrinter::deviceNewPage() {
    if (device_) {
        flushDrawing();
        device_->newPage();
    }
}

void TReportPrinter::deviceEnd() {
    stopDrawing();
    if (ownPainter_) {
        ownPainter_->end();
    }
    ownPainter_.reset();
    device_.reset();
}

// TReportFiler

TReportFiler::TReportFiler() = default;
TReportFiler::~TReportFiler() = default;

void TReportFiler::ChoosePrinter(int index) {
    TBaseReport::ChoosePrinter(index);
    PrinterChoice choice;
    choice.index = index;
    paper_ = choice.paperInches();
}

void TReportFiler::ChoosePaper(const QPageSize& size) {
    paper_ = size.size(QPageSize::Inch);
}

bool TReportFiler::deviceBegin() {
    if (paper_.isEmpty()) {
        ChoosePrinter(PrinterIndex());
    }
    if (CountOnly) {
        return true;
    }
    if (!stream_) {
        throw std::logic_error("StreamMode is smUser but Stream is nil");
    }
    stream_->pages.clear();
    stream_->paperInches = QSizeF(devicePageWidth(), devicePageHeight());
    openPage();
    return true;
}

void TReportFiler::openPage() {
    if (CountOnly) {
        return;
    }
    stream_->pages.emplace_back();
    pagePainter_ = std::make_unique<QPainter>(&stream_->pages.back());
    startDrawing(*pagePainter_);
}

void TReportFiler::closePage() {
    stopDrawing();
    if (pagePainter_) {
        pagePainter_->end();
        pagePainter_.reset();
    }
}

void TReportFiler::deviceNewPage() {
    closePage();
    openPage();
}

void TReportFiler::deviceEnd() {
    closePage();
}

// TFilePrinter

bool TFilePrinter::PrintRange(int first, int last, int copies) {
    if (!stream_ || busy_) {
        return false;
    }
    first = std::max(1, first);
    last = std::min(last, stream_->PageCount());
    if (first > last) {
        return false;
    }
    PrinterChoice choice = choice_;
    const QSizeF paper = stream_->paperInches;
    const bool landscape = paper.width() > paper.height();
    choice.orientation = landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    // The pages were laid out for this paper; print them on it.
    choice.pageSize = QPageSize(landscape ? paper.transposed() : paper, QPageSize::Inch, QString(),
                                QPageSize::FuzzyOrientationMatch);
    choice.screenResolution = true;
    const std::unique_ptr<QPagedPaintDevice> printer = choice.makeDevice();
    if (!printer) {
        if (prompter_) {
            prompter_->beep(app::Beep::Error);
            prompter_->error(kNoPrinters);
        }
        return false;
    }
    busy_ = true;
    struct Idle {
        bool& b;
        ~Idle() { b = false; }
    } idle{busy_};
    QPainter painter;
    if (!painter.begin(printer.get())) {
        if (prompter_) {
            prompter_->error(QStringLiteral("The printer could not be started."));
        }
        return false;
    }
    bool firstPage = true;
    for (int c = 0; c < std::max(1, copies); ++c) {
        for (int page = first; page <= last; ++page) {
            if (!firstPage) {
                printer->newPage();
            }
            firstPage = false;
            stream_->playPage(painter, page, printer->logicalDpiX(), printer->logicalDpiY());
            QCoreApplication::processEvents();
        }
    }
    return painter.end();
}

} // namespace shelvix::reports
