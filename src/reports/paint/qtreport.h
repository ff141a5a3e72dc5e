#pragma once

#include "reports/paint/pagebatch.h"
#include "reports/reportengine.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPicture>
#include <QSizeF>
#include <memory>
#include <optional>
#include <vector>

namespace shelvix::app {
class Prompter;
}

// The output engine on Qt's painting. Everything is drawn in units of
// 1/1200 inch with fonts sized in those units, so a page measures and lays
// out the same on paper, in a PDF file, in the recorded stream and on screen.
namespace shelvix::reports {

inline constexpr double kUnitsPerInch = 1200.0;

// The font a report font draws with, sized in 1/1200 inch.
QFont qtFont(const ReportFont& font);
QColor qtColor(int windowsColor);

// The report stream: one recorded picture per page, drawn in 1/1200 inch
// from the paper's top left corner, with the paper it was laid out for.
struct ReportStream {
    QSizeF paperInches; // as oriented for the run
    std::vector<QPicture> pages;

    int PageCount() const { return static_cast<int>(pages.size()); }
    // Plays page `page` (1-based) on `painter`, whose coordinates are the
    // device's; `dotsPerInch` is the device's resolution at the wanted size.
    // Qt scales a picture by the device's resolution against the screen's,
    // so the device must have the screen's resolution (a QImage, a printer
    // or PDF file asked for screenResolution).
    void playPage(QPainter& painter, int page, double dotsPerInchX, double dotsPerInchY) const;
};

// Which printer to use: an index into the installed printers (-1 the
// default), or a PDF file. A PDF file is written with QtGui alone; printers
// are the ones the program installed (app/paint/printers.h).
struct PrinterChoice {
    int index = -1;
    QString pdfFile;                   // when set, the output is this PDF file
    std::optional<QPageSize> pageSize; // paper for a PDF; else the printer's own
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QString title;
    // Recorded pages play back true to size only on a device of the
    // resolution they were recorded at, the screen's.
    bool screenResolution = false;

    // The device for this choice, full page, or nothing when there is no
    // printer at all (and no PDF asked for).
    std::unique_ptr<QPagedPaintDevice> makeDevice() const;
    // The paper of the chosen printer or PDF, in inches as oriented.
    QSizeF paperInches() const;
};

QStringList installedPrinterNames();

// The common painting of printer and filer.
class QtPaintReport : public TBaseReport {
public:
    ~QtPaintReport() override;
    QStringList PrinterNameList() const override { return installedPrinterNames(); }

protected:
    double devicePageWidth() const override;
    double devicePageHeight() const override;
    FontMetrics deviceMetrics(const ReportFont& font) const override;
    double deviceTextWidth(const ReportFont& font, const QString& text) const override;
    void deviceText(double x, double baseline, const QString& text,
                    const ReportFont& font) override;
    void deviceLine(double x1, double y1, double x2, double y2) override;
    void deviceShade(double x, double y, double width, double height, int percent) override;

    // The paper of the device in inches, portrait.
    virtual QSizeF paperPortrait() const = 0;
    // What is drawn goes to `painter` (in 1/1200 inch), gathered into few
    // strokes; flushDrawing draws what waits, before a page ends, and
    // stopDrawing does so for the last time, before the painter ends.
    void startDrawing(QPainter& painter);
    void flushDrawing();
    void stopDrawing();

private:
    std::unique_ptr<PageBatch> batch_;
};

// Pages straight onto a printer, or into a PDF file.
class TReportPrinter : public QtPaintReport {
public:
    explicit TReportPrinter(app::Prompter* prompter = nullptr) : prompter_(prompter) {}
    ~TReportPrinter() override;

    void ChoosePrinter(int index) override;
    // Writes the pages to this PDF file instead of a printer.
    void ChoosePdfFile(const QString& path, std::optional<QPageSize> size = std::nullopt);
    const PrinterChoice& Choice() const { return choice_; }

protected:
    QSizeF paperPortrait() const override;
    bool deviceBegin() override;
    void deviceNewPage() override;
    void deviceEnd() override;

private:
    app::Prompter* prompter_;
    PrinterChoice choice_;
    std::unique_ptr<QPagedPaintDevice> device_;
    std::unique_ptr<QPainter> ownPainter_;
};

// Pages recorded into a report stream, laid out for the chosen printer's paper.
class TReportFiler : public QtPaintReport {
public:
    TReportFiler();
    ~TReportFiler() override;

    void ChoosePrinter(int index) override;
    void ChoosePaper(const QPageSize& size);
    // The stream the run fills; a run starts it afresh.
    void SetStream(ReportStream* stream) { stream_ = stream; }
    // Lays the pages out and counts them, keeping nothing (a text-file run,
    // whose lines go elsewhere but break pages as printed ones would).
    bool CountOnly = false;
    ReportStream* Stream() const { return stream_; }

protected:
    QSizeF paperPortrait() const override { return paper_; }
    bool deviceBegin() override;
    void deviceNewPage() override;
    void deviceEnd() override;

private:
    void openPage();
    void closePage();

    ReportStream* stream_ = nullptr;
    QSizeF paper_;
    std::unique_ptr<QPainter> pagePainter_;
};

// Prints pages of a stream on a printer or into a PDF file, without running
// the report again.
class TFilePrinter {
public:
    explicit TFilePrinter(app::Prompter* prompter = nullptr) : prompter_(prompter) {}

    void SetStream(const ReportStream* stream) { stream_ = stream; }
    void ChoosePrinter(int index) { choice_.index = index; }
    void ChoosePdfFile(const QString& path) { choice_.pdfFile = path; }
    void SetTitle(const QString& title) { choice_.title = title; }

    // Pages first..last (1-based, held to the stream) in `copies` copies;
    // false when nothing was printed.
    bool PrintRange(int first, int last, int copies = 1);
    bool Print() { return stream_ && PrintRange(1, stream_->PageCount(), 1); }
    // True while a job of this printer is being produced.
    bool Busy() const { return busy_; }

private:
    app::Prompter* prompter_;
    const ReportStream* stream_ = nullptr;
    PrinterChoice choice_;
    bool busy_ = false;
};

} // namespace shelvix::reports
