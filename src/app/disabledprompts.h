// Shows the prompt of a disabled menu item in the status bar: Qt shows the prompts of
// enabled items only.
#pragma once

#include <QObject>

class QAction;
class QMenu;

class CDisabledPrompts : public QObject {
    Q_OBJECT
public:
    /// The prompts go to `window` as status-tip events, the way Qt sends the others.
    explicit CDisabledPrompts(QObject* window);
    ~CDisabledPrompts() override;

    void Watch(QMenu* menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* m_pWindow;
    QAction* m_pDisabledHover = nullptr; // the disabled item whose prompt is shown
};
