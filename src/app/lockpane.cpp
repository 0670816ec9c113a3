#include "lockpane.h"

#include <algorithm>

CLockPane::CLockPane(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
}

QSize CLockPane::sizeHint() const {
    QSize size = QLabel::sizeHint();
    const QFontMetrics metrics = fontMetrics();
    // A glyph's ink may reach past its advance; the wider of the two decides.
    const int textWidth =
        std::max(metrics.horizontalAdvance(text()), metrics.boundingRect(text()).width());
    const int padding = metrics.horizontalAdvance(QLatin1Char(' '));
    size.setWidth(textWidth + 2 * padding + 2 * frameWidth());
    return size;
}
