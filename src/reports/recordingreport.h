#pragma once

#include "reports/reportengine.h"

#include <vector>

// An output device for tests: fixed, easily computed metrics (a character is
// size/120 inch wide, a line size × 1.2 points high) and a record of every
// page, text and line drawn.
namespace shelvix::reports {

class RecordingReport : public TBaseReport {
public:
    struct Text {
        int page;
        double x;
        double baseline;
        QString text;
        ReportFont font;
    };
    struct Line {
        int page;
        double x1, y1, x2, y2;
    };

    // Paper in portrait, inches; landscape swaps them.
    double paperWidth = 8.5;
    double paperHeight = 11;
    QStringList printers;
    bool failToStart = false;

    std::vector<Text> texts;
    std::vector<Line> lines;
    int pages = 0;  // pages produced by the last run
    int begins = 0; // device opened
    int ends = 0;   // device closed

    QStringList PrinterNameList() const override { return printers; }

    // The texts of `page` (1-based) line by line from the top; texts sharing
    // a baseline are joined by tabs, left to right.
    QStringList pageLines(int page) const;
    std::vector<Line> pageRules(int page) const;

protected:
    double devicePageWidth() const override;
    double devicePageHeight() const override;
    FontMetrics deviceMetrics(const ReportFont& font) const override;
    double deviceTextWidth(const ReportFont& font, const QString& text) const override;
    bool deviceBegin() override;
    void deviceNewPage() override { ++pages; }
    void deviceEnd() override { ++ends; }
    void deviceText(double x, double baseline, const QString& text,
                    const ReportFont& font) override;
    void deviceLine(double x1, double y1, double x2, double y2) override;
    void deviceShade(double, double, double, double, int) override {}
};

} // namespace shelvix::reports
