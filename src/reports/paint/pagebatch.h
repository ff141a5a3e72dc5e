#pragma once

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QLineF>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <array>
#include <optional>
#include <vector>

class QPainter;

namespace shelvix::reports {

// What a report draws on a page, gathered and drawn in few strokes: the
// rules as one path, a rule two cells share once and a rule across a row of
// cells as one line; on a PDF page the texts of one font and colour as one
// text object. Qt's PDF writer costs by the operators it writes, and a page
// of cells drew four rules and a saved and restored text state per cell.
//
// The page looks as it did: rules and texts of the rules' colour cover the
// same ink in either order, so only those change places; a text of another
// colour, a new font and a shade keep their place among the rest.
class PageBatch {
public:
    // Rules are drawn with `rulePen`, texts with a pen of their colour. Texts
    // go as glyph runs only to a PDF page, which takes them as they are;
    // recorded onto a QPicture they would become outlines, so other devices
    // get each text as it comes.
    PageBatch(QPainter& painter, QPen rulePen);
    ~PageBatch();
    PageBatch(const PageBatch&) = delete;
    PageBatch& operator=(const PageBatch&) = delete;

    // In the painter's coordinates.
    void line(const QLineF& line);
    void text(const QPointF& baselineLeft, const QString& text, const QFont& font, QColor color);
    void fill(const QRectF& rect, QColor color);
    // Draws everything that waits; before the page ends.
    void flush();
    // The advance of `text` in `font` where texts go as glyph runs: it is
    // shaped once, for the measure and the drawing that follows it (what
    // QFontMetricsF::horizontalAdvance gives, to the bit); nothing elsewhere.
    std::optional<qreal> advance(const QString& text, const QFont& font);

private:
    struct Run {
        QRawFont font;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    struct Shaped {
        QString text;
        QFont font;
        qreal advance = 0;
        qreal ascent = 0;
        QList<QGlyphRun> runs;
    };
    // The glyphs of `text`, or nothing for a text drawn as it stands.
    const Shaped* shape(const QString& text, const QFont& font);
    void flushLines();
    void flushTexts();
    // False for a text drawn as it stands: what glyph runs would draw
    // differently (decorations, tabs, soft hyphens, right-to-left text).
    bool asGlyphs(const QString& text, const QFont& font) const;
    void draw(const QString& text, const QPointF& at, const QFont& font, QColor color);

    QPainter& painter_;
    QPen rulePen_;
    bool glyphRuns_;
    std::vector<QLineF> lines_;
    std::vector<Run> runs_;
    QFont runFont_;
    QColor runColor_;
    // A text is measured, then drawn: the last few shaped.
    std::array<Shaped, 4> shaped_;
    std::size_t nextShaped_ = 0;
};

} // namespace shelvix::reports
