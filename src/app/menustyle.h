// The menus' captions shown whole. A caption such as "Midi接続ﾊﾞｰ(&M)" is sized by the menu
// without its '&', but Qt's elision (the Fusion style elides menu captions) counts the '&'
// as a character when Japanese text comes right before it: the widest caption of a menu
// was cut short in the middle. This style gives each such item that width back.
#pragma once

#include <QProxyStyle>

class CMenuStyle : public QProxyStyle {
    Q_OBJECT
public:
    /// Wraps a fresh instance of the style the application uses now.
    CMenuStyle();

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
};

/// Puts a CMenuStyle around the application's style (the application owns it).
void InstallMenuStyle();
