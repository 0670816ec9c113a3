#include "drawhelpers.h"

#include <QPainter>
#include <QPalette>
#include <QString>

QColor GetSysColor(const QPalette& palette, SysColor color) {
    switch (color) {
    case SysColor::BtnFace:
        return palette.color(QPalette::Active, QPalette::Button);
    case SysColor::BtnHighlight:
        return palette.color(QPalette::Active, QPalette::Light);
    case SysColor::Light3D:
        return palette.color(QPalette::Active, QPalette::Midlight);
    case SysColor::BtnShadow:
        return palette.color(QPalette::Active, QPalette::Dark);
    case SysColor::DkShadow3D:
        return palette.color(QPalette::Active, QPalette::Shadow);
    case SysColor::Window:
        return palette.color(QPalette::Active, QPalette::Base);
    case SysColor::BtnText:
        return palette.color(QPalette::Active, QPalette::ButtonText);
    case SysColor::Highlight:
        return palette.color(QPalette::Active, QPalette::Highlight);
    case SysColor::HighlightText:
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case SysColor::GrayText:
        return palette.color(QPalette::Disabled, QPalette::Text);
    }
    return {};
}

bool IsDarkPalette(const QPalette& palette) {
    return qGray(palette.color(QPalette::Active, QPalette::Button).rgb()) <
           qGray(palette.color(QPalette::Active, QPalette::ButtonText).rgb());
}

QPalette PaperPalette(const QPalette& palette) {
    // Built from a light button colour, as the classic grey desktop.
    return IsDarkPalette(palette) ? QPalette(QColor(240, 240, 240)) : palette;
}

QColor GlyphInkColor(const QPalette& palette) {
    return IsDarkPalette(palette) ? GetSysColor(palette, SysColor::BtnText) : QColor(0, 0, 0);
}

QColor CursorLineColor(const QPalette& palette) {
    return IsDarkPalette(palette) ? QColor(255, 96, 96) : QColor(255, 0, 0);
}

QColor PlayMarkColor(const QPalette& palette) {
    return IsDarkPalette(palette) ? QColor(64, 200, 64) : QColor(0, 150, 0);
}

void Draw3dRect(QPainter& painter, const PixelRect& r, const QColor& topLeft,
                const QColor& bottomRight) {
    const int w = r.Width();
    const int h = r.Height();
    if (w <= 0 || h <= 0)
        return;
    painter.fillRect(r.left, r.top, w - 1, 1, topLeft);
    painter.fillRect(r.left, r.top, 1, h - 1, topLeft);
    painter.fillRect(r.right - 1, r.top, 1, h, bottomRight);
    painter.fillRect(r.left, r.bottom - 1, w, 1, bottomRight);
}

void DrawFrameBox(QPainter& painter, const QPalette& palette, int style, PixelRect& rect,
                  bool fill) {
    auto ring = [&](SysColor topLeft, SysColor bottomRight) {
        Draw3dRect(painter, rect, GetSysColor(palette, topLeft), GetSysColor(palette, bottomRight));
        rect.DeflateRect(1, 1);
    };
    auto fillWith = [&](SysColor color) {
        if (rect.Width() > 0 && rect.Height() > 0)
            painter.fillRect(ToQRect(rect), GetSysColor(palette, color));
    };
    switch (style) {
    case kFrameRaised:
        ring(SysColor::BtnHighlight, SysColor::DkShadow3D);
        ring(SysColor::Light3D, SysColor::BtnShadow);
        if (fill)
            fillWith(SysColor::BtnFace);
        break;
    case kFrameSunken:
        ring(SysColor::DkShadow3D, SysColor::BtnHighlight);
        ring(SysColor::BtnShadow, SysColor::Light3D);
        if (fill)
            fillWith(SysColor::BtnFace);
        break;
    case kFrameFlatRaised:
        fillWith(SysColor::BtnFace);
        rect.DeflateRect(1, 1);
        ring(SysColor::Light3D, SysColor::BtnShadow);
        break;
    case kFrameFlatSunken:
        fillWith(SysColor::BtnFace);
        rect.DeflateRect(1, 1);
        ring(SysColor::BtnShadow, SysColor::Light3D);
        break;
    case kFrameField:
        ring(SysColor::BtnFace, SysColor::BtnFace);
        ring(SysColor::DkShadow3D, SysColor::BtnHighlight);
        if (fill)
            fillWith(SysColor::Window);
        break;
    default:
        break;
    }
}

void DrawLabelBox(QPainter& painter, const QPalette& palette, int style, const PixelRect& rect,
                  const QString& text, int alignment) {
    PixelRect box = rect;
    DrawFrameBox(painter, palette, style, box, true);
    PixelRect inner = rect;
    inner.DeflateRect(2, 2);
    painter.setPen(GetSysColor(palette, SysColor::BtnText));
    painter.save();
    painter.setClipRect(ToQRect(inner), Qt::IntersectClip);
    painter.drawText(ToQRect(inner), alignment | Qt::TextSingleLine, text);
    painter.restore();
}

void DrawDottedLine(QPainter& painter, int x, int y, int length, const QColor& color,
                    int direction) {
    QPoint points[64];
    int count = 0;
    painter.save();
    QPen pen(color, 1);
    pen.setCapStyle(Qt::SquareCap);
    painter.setPen(pen);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < length; i += 2) {
        points[count++] = direction == 1 ? QPoint(x + i, y) : QPoint(x, y + i);
        if (count == 64) {
            painter.drawPoints(points, count);
            count = 0;
        }
    }
    if (count > 0)
        painter.drawPoints(points, count);
    painter.restore();
}
