#include "reports/recordingreport.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace shelvix::reports {

double RecordingReport::devicePageWidth() const {
    return Orientation == poLandScape ? paperHeight : paperWidth;
}

double RecordingReport::devicePageHeight() const {
    return Orientation == poLandScape ? paperWidth : paperHeight;
}

FontMetrics RecordingReport::deviceMetrics(const ReportFont& font) const {
    return {font.size * 0.9 / 72, font.size * 0.3 / 72, font.size * 1.2 / 72};
}

double RecordingReport::deviceTextWidth(const ReportFont& font, const QString& text) const {
    return static_cast<double>(text.size()) * font.size / 120;
}

bool RecordingReport::deviceBegin() {
    if (failToStart) {
        return false;
    }
    ++begins;
    texts.clear();
    lines.clear();
    pages = 1;
    return true;
}

void RecordingReport::deviceText(double x, double baseline, const QString& text,
                                 const ReportFont& font) {
    texts.push_back({pages, x, baseline, text, font});
}

void RecordingReport::deviceLine(double x1, double y1, double x2, double y2) {
    lines.push_back({pages, x1, y1, x2, y2});
}

QStringList RecordingReport::pageLines(int page) const {
    // Baselines in millionths of an inch, so float noise does not split a line.
    std::map<long long, std::vector<const Text*>> byLine;
    for (const Text& t : texts) {
        if (t.page == page) {
            byLine[std::llround(t.baseline * 1e6)].push_back(&t);
        }
    }
    QStringList out;
    for (auto& [y, items] : byLine) {
        std::stable_sort(items.begin(), items.end(),
                         [](const Text* a, const Text* b) { return a->x < b->x; });
        QStringList parts;
        for (const Text* t : items) {
            parts << t->text;
        }
        out << parts.join(u'\t');
    }
    return out;
}

std::vector<RecordingReport::Line> RecordingReport::pageRules(int page) const {
    std::vector<Line> out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                 [page](const Line& l) { return l.page == page; });
    return out;
}

} // namespace shelvix::reports
