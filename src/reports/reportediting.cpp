#include "reports/reportediting.h"

#include "db/textcodec.h"

#include <algorithm>
#include <cmath>

namespace shelvix::reports {

void FitLineToWidth(ReportLine& line, int width) {
    int sum = 0;
    int stop = kPartsPerLine - 1;
    for (int i = 0; i < kPartsPerLine; ++i) {
        ReportPartEntry& part = line[std::size_t(i)];
        if (part.width == 0)
            part.width = std::int16_t(width);
        sum += part.width;
        if (sum >= width) {
            stop = i;
            break;
        }
    }
    // Past the width: the stopping part is cut; short after 20 parts: the
    // last is widened. Either way the sum becomes the width.
    ReportPartEntry& last = line[std::size_t(stop)];
    last.width = std::int16_t(last.width - (sum - width));
    for (int i = stop + 1; i < kPartsPerLine; ++i)
        line[std::size_t(i)].width = 0;
}

void FitLinesToWidth(ReportDefinition& def, int width) {
    const int count = std::clamp<int>(def.lineCount, 0, kBodyLines);
    for (int i = 0; i < count; ++i)
        FitLineToWidth(def.lines[std::size_t(i)], width);
}

QString fromStored(const std::string& bytes) {
    return db::fromWindows1252(bytes);
}

std::string toStored(const QString& text, int capacity) {
    return db::toWindows1252(text.trimmed().left(capacity));
}

int leadingNumber(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    long long value = 0;
    for (; i < t.size() && t[i].isDigit() && t[i].unicode() < 128; ++i) {
        value = value * 10 + (t[i].unicode() - u'0');
        if (value > 1000000000)
            break; // far out of every range asked for
    }
    return int(negative ? -value : value);
}

double marginValue(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    // Past these the definitions file would be read as damaged.
    return ok && std::isfinite(value) ? std::clamp(value, 0.0, 50.0) : 0.0;
}

QString marginText(double inches) {
    return QString::number(inches, 'f', 2);
}

QString fontText(const ReportFontSpec& font) {
    return fromStored(font.name) + QLatin1Char(' ') + QString::number(font.size) +
           QStringLiteral("pt");
}

int lineWidthFor(int charsPerLine) {
    return charsPerLine == 150 ? 150 : charsPerLine == 120 ? 120 : 90;
}

std::vector<PartBox> partBoxes(const ReportLine& line, int lineWidth, int left, int right) {
    std::vector<PartBox> boxes;
    const double perChar = double(right - left) / std::max(1, lineWidth);
    int sum = 0;
    int start = left;
    for (int i = 0; i < kPartsPerLine; ++i) {
        const int width = line[std::size_t(i)].width;
        if (width <= 0)
            continue;
        sum += width;
        const bool last = i == kPartsPerLine - 1 || line[std::size_t(i + 1)].width == 0;
        int end = last ? right : left + int(std::lround(perChar * sum));
        end = std::min(end, right);
        boxes.push_back({i + 1, start, end});
        start = end;
    }
    return boxes;
}

LayoutGeometry::LayoutGeometry(double f)
    : factor(f), left(scaled(4)), right(scaled(629)), bodyTop(scaled(75)), rowHeight(scaled(20)),
      totalsTop(scaled(355)), totalsBottom(scaled(375) + 1) {}

int LayoutGeometry::scaled(int value) const {
    return int(std::lround(value * factor));
}

namespace {

int partAt(const ReportLine& line, int lineWidth, const LayoutGeometry& g, int x) {
    for (const PartBox& box : partBoxes(line, lineWidth, g.left, g.right))
        if (x >= box.left && x <= box.right)
            return box.part;
    return -1;
}

} // namespace

LayoutHit hitTest(const ReportDefinition& def, int lineWidth, const LayoutGeometry& g, int x,
                  int y) {
    const int count = std::clamp<int>(def.lineCount, 0, kBodyLines);
    const bool inX = x >= g.left && x <= g.right;
    const int bodyBottom = g.bodyTop + count * g.rowHeight + 1;
    if (inX && count > 0 && y >= g.bodyTop && y < bodyBottom) {
        // The extra pixel under the last row belongs to that row.
        const int line = std::min(count, (y - g.bodyTop) / g.rowHeight + 1);
        const int part = partAt(def.lines[std::size_t(line - 1)], lineWidth, g, x);
        return part > 0 ? LayoutHit{line, part} : LayoutHit{};
    }
    if (!inX || y < g.totalsTop || y > g.totalsBottom)
        return {};
    const int part = partAt(def.totalsLine, lineWidth, g, x);
    return part > 0 ? LayoutHit{kTotalsLineNo, part} : LayoutHit{};
}

} // namespace shelvix::reports
