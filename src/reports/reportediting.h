#pragma once

#include "reports/reportdefinition.h"

#include <QString>
#include <vector>

// The rules of the definition editor and the layout designer that need no
// window: line fitting, what the typed numbers mean, the boxes of a line.
namespace shelvix::reports {

// Makes the parts of `line` add up to exactly `width` characters: zero-width
// parts are given `width`, the part where the sum reaches `width` is cut to
// it, and every part after it gets width 0. A line of 20 parts that stays
// short has its last part widened.
void FitLineToWidth(ReportLine& line, int width);
// Fits the first `def.lineCount` body lines (never the totals line).
void FitLinesToWidth(ReportDefinition& def, int width);

// Stored text (Windows-1252 bytes) for showing, and typed text for storing:
// trimmed and cut to `capacity` characters.
QString fromStored(const std::string& bytes);
std::string toStored(const QString& text, int capacity);

// A typed whole number: trimmed, an optional sign, then its leading digits;
// 0 when there are none.
int leadingNumber(const QString& text);
// A typed margin in inches; text that is not a number gives 0, and a margin
// is held to the 0 to 50 inches a definitions file may hold.
double marginValue(const QString& text);
QString marginText(double inches);

// A report font as the editor shows it: "Arial 8pt".
QString fontText(const ReportFontSpec& font);

// Line widths the editor offers.
int lineWidthFor(int charsPerLine); // 150, 120, or 90 for anything else

// One part of a line as the designer draws it: its number (1..20) and its
// left and right pixel edges.
struct PartBox {
    int part = 0;
    int left = 0;
    int right = 0;
};

// The boxes of `line` across [left, right]: parts of width 0 or less are
// skipped, each box's right edge is in proportion to the running sum of
// widths, and the last part drawn reaches `right`. Edges never pass `right`.
std::vector<PartBox> partBoxes(const ReportLine& line, int lineWidth, int left, int right);

// The designer's geometry at a screen factor.
struct LayoutGeometry {
    explicit LayoutGeometry(double factor = 1.0);
    int scaled(int value) const;

    double factor;
    int left, right; // drawing area
    int bodyTop, rowHeight;
    int totalsTop, totalsBottom;

    // The top of body row `line` (1-based).
    int rowTop(int line) const { return bodyTop + (line - 1) * rowHeight; }
};

// Where a click at (x, y) falls: body line 1..lineCount or 100 for the
// totals row, and part 1..20; -1 and -1 outside.
struct LayoutHit {
    int line = -1;
    int part = -1;
    bool operator==(const LayoutHit&) const = default;
};
inline constexpr int kTotalsLineNo = 100;
LayoutHit hitTest(const ReportDefinition& def, int lineWidth, const LayoutGeometry& geometry, int x,
                  int y);

} // namespace shelvix::reports
