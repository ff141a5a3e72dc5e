#include "reports/paint/pagebatch.h"

#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

namespace shelvix::reports {

namespace {

// Rules along one axis merged where they overlap or meet: `along` gives a
// rule's position across the axis, `from`/`to` its extent on it.
template <typename Across, typename Start, typename End, typename Make>
void mergeRules(std::vector<QLineF>& rules, std::vector<QLineF>& out, Across across, Start from,
                End to, Make make) {
    std::sort(rules.begin(), rules.end(), [&](const QLineF& a, const QLineF& b) {
        return across(a) != across(b) ? across(a) < across(b) : from(a) < from(b);
    });
    for (std::size_t i = 0; i < rules.size();) {
        const double at = across(rules[i]);
        double lo = from(rules[i]), hi = to(rules[i]);
        std::size_t j = i + 1;
        for (; j < rules.size() && across(rules[j]) == at && from(rules[j]) <= hi; ++j)
            hi = std::max(hi, to(rules[j]));
        out.push_back(make(at, lo, hi));
        i = j;
    }
}

} // namespace

PageBatch::PageBatch(QPainter& painter, QPen rulePen)
    : painter_(painter), rulePen_(std::move(rulePen)),
      glyphRuns_(painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Pdf) {}

PageBatch::~PageBatch() = default;

void PageBatch::line(const QLineF& l) {
    if (!runs_.empty() && runColor_ != rulePen_.color())
        flushTexts();
    lines_.push_back(l);
}

void PageBatch::fill(const QRectF& rect, QColor color) {
    flush();
    painter_.fillRect(rect, color);
}

void PageBatch::text(const QPointF& at, const QString& text, const QFont& font, QColor color) {
    if (!runs_.empty() && (color != runColor_ || font != runFont_))
        flushTexts();
    if (color != rulePen_.color())
        flushLines();
    const Shaped* shaped = shape(text, font);
    if (!shaped) {
        draw(text, at, font, color);
        return;
    }
    runFont_ = font;
    runColor_ = color;
    const QPointF offset(at.x(), at.y() - shaped->ascent);
    for (const QGlyphRun& g : shaped->runs) {
        const QRawFont raw = g.rawFont();
        auto run =
            std::find_if(runs_.begin(), runs_.end(), [&](const Run& r) { return r.font == raw; });
        if (run == runs_.end())
            run = runs_.insert(runs_.end(), Run{raw, {}, {}});
        run->glyphs += g.glyphIndexes();
        for (const QPointF& p : g.positions())
            run->positions.push_back(p + offset);
    }
}

std::optional<qreal> PageBatch::advance(const QString& text, const QFont& font) {
    const Shaped* shaped = shape(text, font);
    return shaped ? std::optional<qreal>(shaped->advance) : std::nullopt;
}

const PageBatch::Shaped* PageBatch::shape(const QString& text, const QFont& font) {
    for (const Shaped& s : shaped_)
        if (s.text == text && !s.runs.isEmpty() && s.font == font)
            return &s;
    if (!asGlyphs(text, font))
        return nullptr;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    // Else the layout forgets its glyphs at endLayout and shapes again.
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return nullptr;
    Shaped& s = shaped_[nextShaped_];
    nextShaped_ = (nextShaped_ + 1) % shaped_.size();
    s.runs = layout.glyphRuns();
    if (s.runs.isEmpty())
        return nullptr;
    s.text = text;
    s.font = font;
    s.advance = line.horizontalAdvance();
    s.ascent = line.ascent();
    return &s;
}

void PageBatch::flush() {
    flushLines();
    flushTexts();
}

void PageBatch::flushLines() {
    if (lines_.empty())
        return;
    std::vector<QLineF> across, down, merged;
    merged.reserve(lines_.size());
    for (const QLineF& l : lines_) {
        if (l.y1() == l.y2())
            across.push_back(l);
        else if (l.x1() == l.x2())
            down.push_back(l);
        else
            merged.push_back(l);
    }
    mergeRules(
        across, merged, [](const QLineF& l) { return l.y1(); },
        [](const QLineF& l) { return std::min(l.x1(), l.x2()); },
        [](const QLineF& l) { return std::max(l.x1(), l.x2()); },
        [](double y, double x1, double x2) { return QLineF(x1, y, x2, y); });
    mergeRules(
        down, merged, [](const QLineF& l) { return l.x1(); },
        [](const QLineF& l) { return std::min(l.y1(), l.y2()); },
        [](const QLineF& l) { return std::max(l.y1(), l.y2()); },
        [](double x, double y1, double y2) { return QLineF(x, y1, x, y2); });
    lines_.clear();
    painter_.setPen(rulePen_);
    painter_.drawLines(merged.data(), int(merged.size()));
}

void PageBatch::flushTexts() {
    if (runs_.empty())
        return;
    painter_.setPen(QPen(runColor_, rulePen_.widthF(), Qt::SolidLine, Qt::FlatCap));
    for (const Run& r : runs_) {
        QGlyphRun run;
        run.setRawFont(r.font);
        run.setGlyphIndexes(r.glyphs);
        run.setPositions(r.positions);
        painter_.drawGlyphRun(QPointF(), run);
    }
    runs_.clear();
}

bool PageBatch::asGlyphs(const QString& text, const QFont& font) const {
    if (!glyphRuns_ || font.underline() || font.strikeOut() || font.overline())
        return false;
    for (const QChar c : text) {
        const QChar::Category kind = c.category();
        if ((kind >= QChar::Separator_Line && kind <= QChar::Other_NotAssigned))
            return false;
        switch (c.direction()) {
        case QChar::DirL:
        case QChar::DirEN:
        case QChar::DirES:
        case QChar::DirET:
        case QChar::DirCS:
        case QChar::DirON:
        case QChar::DirWS:
        case QChar::DirNSM:
            break;
        default:
            return false;
        }
    }
    return true;
}

void PageBatch::draw(const QString& text, const QPointF& at, const QFont& font, QColor color) {
    if (painter_.font() != font)
        painter_.setFont(font);
    // Text takes only the pen's colour; one pen for text and rules keeps a
    // recorded page from switching pens at every cell.
    painter_.setPen(QPen(color, rulePen_.widthF(), Qt::SolidLine, Qt::FlatCap));
    painter_.drawText(at, text);
}

} // namespace shelvix::reports
