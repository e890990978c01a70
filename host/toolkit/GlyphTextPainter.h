#pragma once
// Draws the single-line texts of table cells. Texts made only of simple characters
// (printable ASCII, CJK ideographs and full-width forms) that the font itself covers are
// drawn as a glyph run from cached glyph indexes and advances, skipping the text
// layout's itemizing and shaping that QPainter::drawText does for every call; any other
// text, or one wider than its rectangle, goes to QPainter::drawText.

#include <QtCore/QHash>
#include <QtCore/QPointF>
#include <QtGui/QFont>
#include <QtGui/QRawFont>
#include <memory>
#include <vector>

class QPainter;
class QRect;
class QString;

namespace XP {

class CGlyphTextPainter {
public:
    CGlyphTextPainter();
    ~CGlyphTextPainter();

    // align: Qt alignment flags, as for QPainter::drawText. Uses the painter's pen.
    void draw(QPainter& p, const QFont& font, const QRect& rect, int align, const QString& text);
    // Glyph-run draws since construction (the rest went to drawText); for tests.
    quint64 glyphRunCount() const { return m_nGlyphRuns; }

private:
    struct FontGlyphs {
        QFont font;
        QRawFont raw;
        qreal ascent = 0;
        qreal descent = 0;
        quint32 ascii[128] = {};
        qreal asciiAdvance[128] = {};
        QHash<ushort, QPair<quint32, qreal>> other; // looked up once per character
    };
    FontGlyphs* glyphsFor(const QFont& font);
    bool lookup(FontGlyphs& f, ushort c, quint32* glyph, qreal* advance);

    std::vector<std::unique_ptr<FontGlyphs>> m_fonts;
    FontGlyphs* m_pLast = nullptr;
    std::vector<quint32> m_glyphs;    // reused by every call
    std::vector<QPointF> m_positions; // reused by every call
    std::vector<qreal> m_advances;    // reused by every call
    quint64 m_nGlyphRuns = 0;
};

} // namespace XP
