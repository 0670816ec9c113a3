#include "disabledprompts.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusTipEvent>

CDisabledPrompts::CDisabledPrompts(QObject* window) : QObject(window), m_pWindow(window) {}

CDisabledPrompts::~CDisabledPrompts() = default;

void CDisabledPrompts::Watch(QMenu* menu) {
    menu->installEventFilter(this);
}

bool CDisabledPrompts::eventFilter(QObject* watched, QEvent* event) {
    auto* menu = qobject_cast<QMenu*>(watched);
    if (!menu)
        return false;
    QAction* disabled = nullptr;
    if (event->type() == QEvent::MouseMove) {
        QAction* action = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (action && !action->isEnabled() && !action->isSeparator())
            disabled = action;
    } else if (event->type() != QEvent::Leave && event->type() != QEvent::Hide) {
        return false;
    }
    if (disabled == m_pDisabledHover)
        return false;
    m_pDisabledHover = disabled;
    // Leaving a disabled item for an enabled one: Qt's own prompt follows; else clear.
    if (disabled || !menu->activeAction()) {
        QStatusTipEvent tip(disabled ? disabled->statusTip() : QString());
        QCoreApplication::sendEvent(m_pWindow, &tip);
    }
    return false;
}
