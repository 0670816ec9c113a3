// A lock-key pane of the status bar: as wide as its text in the font in use, with a space's
// width either side, so that no glyph touches the frame at any scale or in any font.
#pragma once

#include <QLabel>

class CLockPane : public QLabel {
public:
    CLockPane(const QString& text, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
};
