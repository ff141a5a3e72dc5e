#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The report output engine: inch units, a list of cells for the current line,
// bands, fonts, status text and the page cycle of five events. TBaseReport
// keeps the layout; a device (printer, PDF, recorded stream, or the recording
// fake of the tests) only measures and draws what it is told.
namespace shelvix::reports {

enum TOrientation { poPortrait, poLandScape };

// Cell justification and border bits.
enum CellJustify { pjCenter = 0, pjLeft = 1, pjRight = 2, pjBlock = 3 };
enum CellBorder { pbLeft = 1, pbRight = 2, pbTop = 4, pbBottom = 8 };

// A cell at this position starts where the previous one ends.
inline constexpr double kAfterPrevious = -32768;

struct ReportFont {
    QString name = QStringLiteral("Arial");
    double size = 10; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    int color = 0; // Windows 0x00BBGGRR

    bool operator==(const ReportFont&) const = default;
};

// What a device tells of a font, in inches.
struct FontMetrics {
    double ascent = 0;
    double descent = 0;
    double lineHeight = 0;
};

struct ReportCell {
    int justify = pjLeft;
    int borders = 0;
    int shade = 0;       // percent grey
    double margin = 0;   // inches on each side
    double width = 0;    // inches
    double position = 0; // inches from the paper's left edge
};

class TBaseReport {
public:
    TBaseReport();
    virtual ~TBaseReport();
    TBaseReport(const TBaseReport&) = delete;
    TBaseReport& operator=(const TBaseReport&) = delete;

    // Properties.
    double MarginLeft = 0.5;
    double MarginRight = 0.5;
    double MarginTop = 0.5;
    double MarginBottom = 0.5;
    TOrientation Orientation = poPortrait;
    QString Title = QStringLiteral("Test Report");
    QString StatusFormat = QStringLiteral("Printing Page %p");
    QStringList StatusText;
    // Receives the expanded status whenever it changes (the status label).
    std::function<void(const QString&)> StatusLabel;

    // Events, called with this engine.
    std::function<void(TBaseReport&)> OnBeforePrint;
    std::function<void(TBaseReport&)> OnPrintHeader;
    std::function<bool(TBaseReport&, int page)> OnPrintPage;
    std::function<void(TBaseReport&)> OnPrintFooter;
    std::function<void(TBaseReport&)> OnAfterPrint;

    // Position and bands.
    void ResetPosition();
    void SetBandTop(double y);
    void SetBandBottom(double y);
    double PageWidthInches() const;
    double PageHeightInches() const;
    int LinesRemaining() const;
    double LineTop() const { return lineTop_; }
    double XPos() const { return x_; }

    // Text.
    void ApplyFont(const QString& name, double size, bool bold, bool italic, bool underline,
                   bool strikeout, int color);
    void ApplyFont(const ReportFont& font);
    const ReportFont& Font() const { return font_; }
    double MeasureText(const QString& text) const;
    double LineHeight() const { return metrics().lineHeight; }

    // Cells; `margin` in hundredths of an inch.
    void RemoveAllCells();
    void AddCell(int justify, int borders, int shade, double margin, double width, double position);
    int CellCount() const { return static_cast<int>(cells_.size()); }
    const ReportCell& Cell(int n) const { return cells_.at(n - 1); } // 1-based
    double CellTextWidth(int n) const;

    void PrintCells(const QString& text);
    void PrintCellsLine(const QString& text);
    void AdvanceLine();
    void PrintCentredAt(const QString& text, double x);
    void PrintOnBandBottom(const QString& text, int justify);

    // Device choice: -1 is the system default.
    virtual void ChoosePrinter(int index) { printerIndex_ = index; }
    int PrinterIndex() const { return printerIndex_; }
    virtual QStringList PrinterNameList() const { return {}; }

    // The page cycle; false when the device could not be started (no page
    // was produced and no event called).
    bool RunReport();
    void CancelReport() { canceled_ = true; }
    bool Canceled() const { return canceled_; }
    bool Running() const { return running_; }
    int CurrentPage() const { return currentPage_; }
    void RefreshStatus();
    QString ExpandedStatus() const;

protected:
    // Paper of the chosen device and orientation, in inches.
    virtual double devicePageWidth() const = 0;
    virtual double devicePageHeight() const = 0;
    virtual FontMetrics deviceMetrics(const ReportFont& font) const = 0;
    virtual double deviceTextWidth(const ReportFont& font, const QString& text) const = 0;
    virtual bool deviceBegin() = 0;
    virtual void deviceNewPage() = 0;
    virtual void deviceEnd() = 0;
    // Text with its left end at x and its baseline at y.
    virtual void deviceText(double x, double baseline, const QString& text,
                            const ReportFont& font) = 0;
    virtual void deviceLine(double x1, double y1, double x2, double y2) = 0;
    virtual void deviceShade(double x, double y, double width, double height, int percent) = 0;

private:
    FontMetrics metrics() const;
    void startPage();
    void textAt(double left, double right, int justify, const QString& text);
    void cellFrame(const ReportCell& cell);

    ReportFont font_;
    mutable bool metricsValid_ = false;
    mutable FontMetrics metrics_;
    std::vector<ReportCell> cells_;
    int nextCell_ = 0; // cells used on the current line
    double bandTop_ = 0;
    double bandBottom_ = 0;
    double lineTop_ = 0;
    double x_ = 0;
    int printerIndex_ = -1;
    int currentPage_ = 0;
    bool canceled_ = false;
    bool running_ = false;
};

// A status template expanded: %p (either case) the page, %n line n of `lines`.
QString expandStatus(const QString& format, int page, const QStringList& lines);

} // namespace shelvix::reports
