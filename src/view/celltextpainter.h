// Draws the list's cp932 text on its character grid: one cell per byte, two for a double-byte
// character, whatever the font's own advances.
#pragma once

#include <QFont>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QRawFont>

#include <cstdint>
#include <string>

class QPainter;

class CCellTextPainter {
public:
    /// `cellWidth` is the list's character width; `ascent` puts the baseline in a row.
    CCellTextPainter(const QFont& font, int cellWidth, int ascent);

    /// Draws `bytes` with the top-left of its first cell at (x, y) in the painter's pen.
    void Draw(QPainter& painter, int x, int y, const std::string& bytes);

private:
    quint32 GlyphOf(uint16_t code);

    QRawFont m_rawFont;
    int m_nCellWidth;
    int m_nAscent;
    QHash<uint16_t, quint32> m_glyphIndexes; // cp932 code to glyph of the list font, 0: none
    QList<quint32> m_runIndexes;             // reused between calls: painting allocates nothing
    QList<QPointF> m_runPositions;
};
