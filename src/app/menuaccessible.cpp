#include "menuaccessible.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>

namespace {

class CMenuAccessible;

// One item of a menu or of the menu bar.
class CMenuItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    CMenuItemAccessible(QWidget* owner, QAction* action) : m_pOwner(owner), m_pAction(action) {}

    bool isValid() const override { return m_pOwner && m_pAction; }
    QObject* object() const override { return m_pAction; }
    QWindow* window() const override {
        return m_pOwner ? m_pOwner->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_pOwner);
    }
    QAccessibleInterface* child(int index) const override {
        return index == 0 && m_pAction->menu()
                   ? QAccessible::queryAccessibleInterface(m_pAction->menu())
                   : nullptr;
    }
    int childCount() const override { return m_pAction->menu() ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && m_pAction->menu() && child->object() == m_pAction->menu() ? 0 : -1;
    }
    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return SpokenMenuCaption(m_pAction->text());
        case QAccessible::Description:
            return m_pAction->statusTip();
        case QAccessible::Accelerator:
            return m_pAction->shortcut().toString(QKeySequence::NativeText);
        default:
            return QString();
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        QRect geometry;
        if (const auto* menu = qobject_cast<const QMenu*>(m_pOwner.data()))
            geometry = menu->actionGeometry(m_pAction);
        else if (const auto* bar = qobject_cast<const QMenuBar*>(m_pOwner.data()))
            geometry = bar->actionGeometry(m_pAction);
        return QRect(m_pOwner->mapToGlobal(geometry.topLeft()), geometry.size());
    }
    QAccessible::Role role() const override {
        return m_pAction->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        QAction* active = nullptr;
        if (const auto* menu = qobject_cast<const QMenu*>(m_pOwner.data()))
            active = menu->activeAction();
        else if (const auto* bar = qobject_cast<const QMenuBar*>(m_pOwner.data()))
            active = bar->activeAction();
        state.focusable = true;
        state.focused = state.hotTracked = active == m_pAction;
        state.disabled = !m_pAction->isEnabled();
        state.invisible = !m_pAction->isVisible();
        state.checkable = m_pAction->isCheckable();
        state.checked = m_pAction->isChecked();
        state.hasPopup = m_pAction->menu() != nullptr;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override {
        if (!m_pAction->isEnabled() || m_pAction->isSeparator())
            return {};
        return {m_pAction->menu() ? showMenuAction() : pressAction()};
    }
    void doAction(const QString& actionName) override {
        if (!m_pAction->isEnabled())
            return;
        if (actionName == pressAction()) {
            m_pAction->trigger();
        } else if (actionName == showMenuAction()) {
            if (auto* bar = qobject_cast<QMenuBar*>(m_pOwner.data()))
                bar->setActiveAction(m_pAction);
            else if (auto* menu = qobject_cast<QMenu*>(m_pOwner.data()))
                menu->setActiveAction(m_pAction);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override {
        const QKeySequence shortcut = m_pAction->shortcut();
        return shortcut.isEmpty() ? QStringList()
                                  : QStringList{shortcut.toString(QKeySequence::NativeText)};
    }

private:
    QPointer<QWidget> m_pOwner;
    QPointer<QAction> m_pAction;
};

// A menu or the menu bar: its children are its actions.
class CMenuAccessible : public QAccessibleWidget {
public:
    CMenuAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            if (const auto* menu = qobject_cast<const QMenu*>(widget()))
                return SpokenMenuCaption(menu->title());
        }
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return int(widget()->actions().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QAction*> actions = widget()->actions();
        return index >= 0 && index < actions.size() ? ItemFor(actions[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->role() != QAccessible::PopupMenu
                   ? int(widget()->actions().indexOf(qobject_cast<QAction*>(child->object())))
                   : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* item = child(i);
            if (item->rect().contains(x, y))
                return item;
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        QAction* active = nullptr;
        if (const auto* menu = qobject_cast<const QMenu*>(widget()))
            active = menu->activeAction();
        else if (const auto* bar = qobject_cast<const QMenuBar*>(widget()))
            active = bar->activeAction();
        return active ? ItemFor(active) : nullptr;
    }
    QAccessibleInterface* parent() const override {
        // A menu opened from the menu bar or another menu sits under the item that opens it.
        if (const auto* menu = qobject_cast<const QMenu*>(widget())) {
            for (QObject* owner : menu->menuAction()->associatedObjects()) {
                if (qobject_cast<QMenuBar*>(owner) || qobject_cast<QMenu*>(owner)) {
                    auto* iface =
                        static_cast<CMenuAccessible*>(QAccessible::queryAccessibleInterface(owner));
                    if (iface)
                        return iface->ItemFor(menu->menuAction());
                }
            }
        }
        return QAccessibleWidget::parent();
    }

    /// One interface per action, kept while the action lives.
    QAccessibleInterface* ItemFor(QAction* action) const {
        if (QAccessibleInterface* item = QAccessible::accessibleInterface(m_items.value(action)))
            return item;
        auto* item = new CMenuItemAccessible(widget(), action);
        m_items.insert(action, QAccessible::registerAccessibleInterface(item));
        return item;
    }

private:
    mutable QHash<QAction*, QAccessible::Id> m_items;
};

QAccessibleInterface* CreateMenuInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("QMenu"))
        return new CMenuAccessible(static_cast<QWidget*>(object), QAccessible::PopupMenu);
    if (className == QLatin1String("QMenuBar"))
        return new CMenuAccessible(static_cast<QWidget*>(object), QAccessible::MenuBar);
    return nullptr;
}

} // namespace

QString SpokenMenuCaption(const QString& caption) {
    static const QRegularExpression mnemonic(QStringLiteral("\\(&[^)]\\)"));
    QString spoken = caption;
    spoken.remove(mnemonic);
    // "&&" is a '&' shown; a single '&' marks the mnemonic of a caption such as "&Open".
    spoken.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    spoken.remove(QLatin1Char('&'));
    spoken.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return spoken.trimmed();
}

void InstallMenuAccessibility() {
    QAccessible::installFactory(CreateMenuInterface);
}
