// The staff's glyphs (sharp, natural, flat, open note head) in two forms: the 1x pixel strip
// for a screen at one device pixel per pixel, and outlines drawn to match its cells for every
// other resolution (other device pixel ratios, printing), so they stay sharp at any size.
#pragma once

#include "view/staffrules.h"

#include <QColor>
#include <QImage>
#include <QPainterPath>

#include <array>

class QPainter;
class QPoint;

class CStaffGlyphs {
public:
    static constexpr int kCellWidth = 10;
    static constexpr int kCellHeight = 20;

    CStaffGlyphs();

    /// Draws the glyph's cell with its top left at `topLeft`, in `ink`: the strip's pixels
    /// where the painter maps pixels one to one onto a screen's, else the outline, smoothed.
    void Draw(QPainter& painter, const QPoint& topLeft, StaffGlyph glyph, const QColor& ink) const;
    /// The glyph's outline in its cell's coordinates (pixel edges, 10 x 20).
    const QPainterPath& Outline(StaffGlyph glyph) const { return m_outlines[size_t(glyph)]; }
    /// The 1x strip as coverage: the cells side by side, 255 where a glyph has ink.
    const QImage& Mask() const { return m_mask; }

private:
    /// The strip in one colour, made when the ink changes (a palette change).
    const QImage& TintedStrip(const QColor& ink) const;

    QImage m_mask; // Format_Alpha8
    std::array<QPainterPath, 4> m_outlines;
    mutable QImage m_tinted;
    mutable QRgb m_tintedInk = 0;
};
