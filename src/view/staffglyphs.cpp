#include "staffglyphs.h"

#include <QPainter>
#include <QPainterPathStroker>

namespace {

// Every stroke of the glyphs is one pixel wide, as in the strip.
QPainterPath Stroked(const QPainterPath& centreLines) {
    QPainterPathStroker stroker;
    stroker.setWidth(1.0);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath outline = stroker.createStroke(centreLines);
    outline.setFillRule(Qt::WindingFill);
    return outline;
}

// The centre lines follow the strip's pixels: a stroke over column 3 runs along x 3.5.
QPainterPath Sharp() {
    QPainterPath lines;
    for (const qreal x : {3.5, 6.5}) {
        lines.moveTo(x, 2);
        lines.lineTo(x, 18);
    }
    // The cross bars rise to the right over three rows: 7 to 5, and 12 to 10.
    for (const qreal y : {7.5, 12.5}) {
        lines.moveTo(1, y);
        lines.lineTo(9, y - 2);
    }
    return Stroked(lines);
}

QPainterPath Natural() {
    QPainterPath lines;
    lines.moveTo(3.5, 2);
    lines.lineTo(3.5, 14);
    lines.moveTo(7.5, 6);
    lines.lineTo(7.5, 18);
    for (const qreal y : {7.5, 12.5}) {
        lines.moveTo(3, y);
        lines.lineTo(8, y);
    }
    return Stroked(lines);
}

QPainterPath Flat() {
    QPainterPath lines;
    lines.moveTo(3.5, 0);
    lines.lineTo(3.5, 16);
    // The bowl leaves the stem at row 8, is widest at column 7 and closes on row 13.
    lines.moveTo(3.5, 9.5);
    lines.cubicTo(4.5, 7.0, 7.5, 7.0, 7.5, 9.5);
    lines.cubicTo(7.5, 11.5, 5.5, 13.0, 3.5, 14.0);
    return Stroked(lines);
}

QPainterPath OpenHead() {
    // Rows 6 to 14, columns 0 to 9, around the middle of row 10: flat on top and bottom over
    // columns 3 to 6 and on the sides over rows 8 to 12, as the strip's ring is.
    QPainterPath lines;
    lines.addRoundedRect(QRectF(0.5, 6.5, 9, 8), 4.5, 3);
    return Stroked(lines);
}

/// Whether the painter puts each pixel of the strip onto one pixel of a screen.
bool MapsPixelsOneToOne(const QPainter& painter) {
    const int type = painter.device()->devType();
    if (type == QInternal::Printer || type == QInternal::Picture)
        return false;
    const QTransform transform = painter.deviceTransform();
    return transform.type() <= QTransform::TxTranslate &&
           transform.dx() == qRound(transform.dx()) && transform.dy() == qRound(transform.dy());
}

} // namespace

CStaffGlyphs::CStaffGlyphs() {
    // The strip is black glyphs on white.
    const QImage strip =
        QImage(QStringLiteral(":/glyphs.png")).convertToFormat(QImage::Format_RGB32);
    m_mask = QImage(strip.size(), QImage::Format_Alpha8);
    for (int y = 0; y < strip.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
        uchar* out = m_mask.scanLine(y);
        for (int x = 0; x < strip.width(); ++x)
            out[x] = qGray(in[x]) > 128 ? 0 : 255;
    }
    m_outlines[kGlyphSharp] = Sharp();
    m_outlines[kGlyphNatural] = Natural();
    m_outlines[kGlyphFlat] = Flat();
    m_outlines[kGlyphHead] = OpenHead();
}

const QImage& CStaffGlyphs::TintedStrip(const QColor& ink) const {
    if (m_tinted.isNull() || m_tintedInk != ink.rgba()) {
        // Painted through the mask, so each glyph pixel is the ink and the rest transparent.
        m_tinted = QImage(m_mask.size(), QImage::Format_ARGB32_Premultiplied);
        m_tinted.fill(Qt::transparent);
        QPainter painter(&m_tinted);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, m_mask);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(m_tinted.rect(), ink);
        painter.end();
        m_tintedInk = ink.rgba();
    }
    return m_tinted;
}

void CStaffGlyphs::Draw(QPainter& painter, const QPoint& topLeft, StaffGlyph glyph,
                        const QColor& ink) const {
    if (MapsPixelsOneToOne(painter)) {
        painter.drawImage(topLeft, TintedStrip(ink),
                          QRect(kCellWidth * int(glyph), 0, kCellWidth, kCellHeight));
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(topLeft);
    painter.fillPath(Outline(glyph), ink);
    painter.restore();
}
