#include "celltextpainter.h"

#include "text/cp932.h"

#include <QGlyphRun>
#include <QPainter>

namespace {

bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace

CCellTextPainter::CCellTextPainter(const QFont& font, int cellWidth, int ascent)
    : m_rawFont(QRawFont::fromFont(font)), m_nCellWidth(cellWidth), m_nAscent(ascent) {}

quint32 CCellTextPainter::GlyphOf(uint16_t code) {
    const auto found = m_glyphIndexes.constFind(code);
    if (found != m_glyphIndexes.constEnd())
        return *found;
    QString text;
    if (code < 0x100) {
        const char byte = char(code);
        text = DecodeCp932(&byte, 1);
    } else {
        const char bytes[2] = {char(code >> 8), char(code & 0xFF)};
        text = DecodeCp932(bytes, 2);
    }
    const QList<quint32> indexes = m_rawFont.glyphIndexesForString(text);
    const quint32 glyph = indexes.size() == 1 ? indexes.constFirst() : 0;
    m_glyphIndexes.insert(code, glyph);
    return glyph;
}

void CCellTextPainter::Draw(QPainter& painter, int x, int y, const std::string& bytes) {
    // Glyphs are placed on the cell grid directly: no text layout.
    const int cw = m_nCellWidth;
    const int baseline = y + m_nAscent;
    m_runIndexes.clear();
    m_runPositions.clear();
    const size_t n = bytes.size();
    int cell = 0;
    for (size_t i = 0; i < n; ++cell) {
        const auto b = uint8_t(bytes[i]);
        uint16_t code = b;
        int width = 1;
        if (IsLeadByte(b) && i + 1 < n) {
            code = uint16_t(b << 8 | uint8_t(bytes[i + 1]));
            width = 2;
        }
        if (b != ' ') {
            const quint32 glyph = GlyphOf(code);
            if (glyph != 0) {
                m_runIndexes.append(glyph);
                m_runPositions.append(QPointF(cell * cw, 0));
            } else { // a character the list font lacks: let font fallback find one
                painter.drawText(QPoint(x + cell * cw, baseline),
                                 DecodeCp932(bytes.data() + i, width));
            }
        }
        i += size_t(width);
        cell += width - 1;
    }
    if (m_runIndexes.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(m_rawFont);
    run.setGlyphIndexes(m_runIndexes);
    run.setPositions(m_runPositions);
    painter.drawGlyphRun(QPointF(x, baseline), run);
}
