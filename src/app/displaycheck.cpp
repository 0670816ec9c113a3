#include "displaycheck.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QString>

#include <xcb/xcb.h>

namespace {

struct DisplayText {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

// Found before any translation is loaded: worded when the message is printed.
const char* const kNoDisplaySet =
    QT_TRANSLATE_NOOP("CommandLine", "DISPLAY も WAYLAND_DISPLAY も設定されていません");

QString Env(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

bool WaylandSocketExists(const QString& display) {
    if (display.startsWith(QLatin1Char('/')))
        return QFileInfo::exists(display);
    const QString runtime = Env("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QLatin1Char('/') + display);
}

// An X server without -noreset starts afresh when its last client leaves, and then refuses
// connections for a moment: the look stays connected until Qt's own connection is up.
xcb_connection_t* g_pLook = nullptr;

bool XDisplayOpens(const QString& display) {
    ReleaseDisplayCheck();
    g_pLook = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    return xcb_connection_has_error(g_pLook) == 0;
}

} // namespace

void ReleaseDisplayCheck() {
    if (g_pLook)
        xcb_disconnect(g_pLook);
    g_pLook = nullptr;
}

QString DisplayProblem() {
    const QString platform = Env("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")) &&
        !platform.startsWith(QLatin1String("wayland")))
        return {}; // offscreen, vnc, … need no display of ours to look for
    const QString wayland = Env("WAYLAND_DISPLAY");
    const QString x11 = Env("DISPLAY");
    if (!wayland.isEmpty() && !platform.startsWith(QLatin1String("xcb")) &&
        WaylandSocketExists(wayland))
        return {};
    if (!x11.isEmpty() && !platform.startsWith(QLatin1String("wayland")))
        return XDisplayOpens(x11) ? QString() : QStringLiteral("DISPLAY=") + x11;
    if (!wayland.isEmpty())
        return QStringLiteral("WAYLAND_DISPLAY=") + wayland;
    return QString::fromUtf8(kNoDisplaySet);
}

QString DescribeDisplayProblem(const QString& problem) {
    return problem == QString::fromUtf8(kNoDisplaySet) ? DisplayText::tr(kNoDisplaySet) : problem;
}
