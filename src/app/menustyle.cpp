#include "menustyle.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

CMenuStyle::CMenuStyle() : QProxyStyle(QApplication::style()->name()) {}

QSize CMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                   const QWidget* widget) const {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type != CT_MenuItem)
        return result;
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item && item->text.contains(QLatin1Char('&')))
        result.rwidth() += item->fontMetrics.horizontalAdvance(QLatin1Char('&'));
    return result;
}

void InstallMenuStyle() {
    // A style that cannot be made a second time by its name (one set by a program, not a
    // plug-in) is left as it is.
    const QStyle* style = QApplication::style();
    if (qobject_cast<const CMenuStyle*>(style) ||
        !QStyleFactory::keys().contains(style->name(), Qt::CaseInsensitive))
        return;
    QApplication::setStyle(new CMenuStyle);
}
