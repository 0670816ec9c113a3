// Box, label and dotted-line drawing shared by the score view and its panels, with the
// desktop's colour roles standing in for the classic system colours.
#pragma once

#include "view/viewlayout.h"

#include <QColor>
#include <QRect>

class QPainter;
class QPalette;
class QString;

enum class SysColor {
    BtnFace,       // QPalette::Button
    BtnHighlight,  // QPalette::Light
    Light3D,       // QPalette::Midlight
    BtnShadow,     // QPalette::Dark
    DkShadow3D,    // QPalette::Shadow
    Window,        // QPalette::Base
    BtnText,       // QPalette::ButtonText
    Highlight,     // QPalette::Highlight
    HighlightText, // QPalette::HighlightedText
    GrayText,      // the disabled Text colour
};

QColor GetSysColor(const QPalette& palette, SysColor color);

/// Whether the palette is a dark scheme: its buttons darker than their text.
bool IsDarkPalette(const QPalette& palette);
/// The colours for paper: the palette itself when it is light, a light one when it is dark.
QPalette PaperPalette(const QPalette& palette);
/// The staff's glyphs: black on a light palette, as they always were; the button text's
/// colour on a dark one.
QColor GlyphInkColor(const QPalette& palette);
/// The staff's cursor line: red, brighter on a dark palette so that it stands out there too.
QColor CursorLineColor(const QPalette& palette);
/// The box of the row being played: green, brighter on a dark palette.
QColor PlayMarkColor(const QPalette& palette);

inline QRect ToQRect(const PixelRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

enum FrameStyle {
    kFrameRaised = 0,
    kFrameSunken = 1,
    kFrameFlatRaised = 2,
    kFrameFlatSunken = 3,
    kFrameField = 4
};

/// One ring of a box: top and left in `topLeft`, bottom and right in `bottomRight`.
void Draw3dRect(QPainter& painter, const PixelRect& rect, const QColor& topLeft,
                const QColor& bottomRight);
/// A box in one of the five styles; `rect` shrinks by one pixel per ring drawn.
void DrawFrameBox(QPainter& painter, const QPalette& palette, int style, PixelRect& rect,
                  bool fill);
/// A filled box with a text inside, two pixels in from its edges.
void DrawLabelBox(QPainter& painter, const QPalette& palette, int style, const PixelRect& rect,
                  const QString& text, int alignment);
/// Every second pixel of a line, starting with the first: horizontal when `direction` is 1,
/// else vertical.
void DrawDottedLine(QPainter& painter, int x, int y, int length, const QColor& color,
                    int direction);
