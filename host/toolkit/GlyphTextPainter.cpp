#include "host/toolkit/GlyphTextPainter.h"

#include <QtGui/QGlyphRun>
#include <QtGui/QPainter>

namespace XP {

namespace {
// Characters drawn without shaping: no joining, no combining marks, no bidi.
bool isSimple(ushort c) {
    return (c >= 0x20 && c < 0x7f) || (c >= 0x4e00 && c <= 0x9fff) || (c >= 0x3000 && c <= 0x303f)
           || (c >= 0xff01 && c <= 0xff5e);
}
} // namespace

CGlyphTextPainter::CGlyphTextPainter() = default;
CGlyphTextPainter::~CGlyphTextPainter() = default;

CGlyphTextPainter::FontGlyphs* CGlyphTextPainter::glyphsFor(const QFont& font) {
    if (m_pLast && m_pLast->font == font)
        return m_pLast;
    for (const auto& f : m_fonts) {
        if (f->font == font)
            return m_pLast = f.get();
    }
    auto f = std::make_unique<FontGlyphs>();
    f->font = font;
    f->raw = QRawFont::fromFont(font);
    if (f->raw.isValid()) {
        f->ascent = f->raw.ascent();
        f->descent = f->raw.descent();
        for (ushort c = 0x20; c < 0x7f; ++c) {
            const QChar ch(c);
            quint32 glyph = 0;
            int n = 1;
            if (f->raw.glyphIndexesForChars(&ch, 1, &glyph, &n) && n == 1 && glyph) {
                QPointF advance;
                f->raw.advancesForGlyphIndexes(&glyph, &advance, 1);
                f->ascii[c] = glyph;
                f->asciiAdvance[c] = advance.x();
            }
        }
    }
    // a handful of fonts per table: keep them all until the style changes them
    if (m_fonts.size() >= 16)
        m_fonts.erase(m_fonts.begin());
    m_fonts.push_back(std::move(f));
    return m_pLast = m_fonts.back().get();
}

bool CGlyphTextPainter::lookup(FontGlyphs& f, ushort c, quint32* glyph, qreal* advance) {
    if (c < 0x80) {
        *glyph = f.ascii[c];
        *advance = f.asciiAdvance[c];
        return *glyph != 0;
    }
    auto it = f.other.constFind(c);
    if (it == f.other.constEnd()) {
        const QChar ch(c);
        quint32 g = 0;
        int n = 1;
        QPointF a;
        if (!f.raw.glyphIndexesForChars(&ch, 1, &g, &n) || n != 1)
            g = 0;
        if (g)
            f.raw.advancesForGlyphIndexes(&g, &a, 1);
        it = f.other.insert(c, qMakePair(g, a.x()));
    }
    *glyph = it->first;
    *advance = it->second;
    return *glyph != 0;
}

void CGlyphTextPainter::draw(QPainter& p, const QFont& font, const QRect& rect, int align,
                             const QString& text) {
    const int n = text.size();
    if (n == 0)
        return;
    FontGlyphs* f = glyphsFor(font);
    bool simple = f->raw.isValid();
    qreal width = 0;
    if (simple) {
        if (m_glyphs.size() < size_t(n)) {
            m_glyphs.resize(size_t(n));
            m_positions.resize(size_t(n));
            m_advances.resize(size_t(n));
        }
        const QChar* chars = text.constData();
        for (int i = 0; i < n && simple; ++i) {
            const ushort c = chars[i].unicode();
            simple = isSimple(c) && lookup(*f, c, &m_glyphs[size_t(i)], &m_advances[size_t(i)]);
            width += m_advances[size_t(i)];
        }
    }
    if (!simple || width > rect.width()) {
        p.setFont(font);
        p.drawText(rect, align, text);
        return;
    }
    // the placement of QPainter::drawText for one line
    qreal x = rect.left();
    if (align & Qt::AlignRight)
        x = rect.left() + rect.width() - width;
    else if (align & Qt::AlignHCenter)
        x = rect.left() + (rect.width() - width) / 2;
    const qreal height = f->ascent + f->descent;
    qreal y = rect.top() + f->ascent;
    if (align & Qt::AlignBottom)
        y = rect.top() + rect.height() - height + f->ascent;
    else if (align & Qt::AlignVCenter)
        y = rect.top() + (rect.height() - height) / 2 + f->ascent;
    for (int i = 0; i < n; ++i) {
        m_positions[size_t(i)] = QPointF(x, y);
        x += m_advances[size_t(i)];
    }
    QGlyphRun run;
    run.setRawFont(f->raw);
    run.setRawData(m_glyphs.data(), m_positions.data(), n);
    p.drawGlyphRun(QPointF(0, 0), run);
    ++m_nGlyphRuns;
}

} // namespace XP
