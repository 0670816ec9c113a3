// The score view for screen readers: the view is a pane holding the header's tempo and title
// (buttons that open their dialogs), the event list as a table of cells that say their
// contents in words, the staff panel and the key guide as text, and a notification that
// speaks a refused action. The cursor's cell is the focused cell.
#pragma once

#include <QAccessibleWidget>
#include <QPointer>
#include <QString>

#include <map>
#include <utility>

class CKesView;
class CEventListAccessible;
class CViewPartAccessible;

class CKesViewAccessible : public QAccessibleWidget {
public:
    explicit CKesViewAccessible(CKesView* view);
    ~CKesViewAccessible() override;

    /// Makes Qt ask this file for the score view's accessible interface.
    static void InstallFactory();
    /// Also hands each event the view sends to `observer` (null: none). Qt passes events on
    /// only while a reader listens, which a window without a desktop cannot have.
    using EventObserver = void (*)(QAccessibleEvent* event);
    static void ObserveEvents(EventObserver observer);
    /// After a key, click, command, undo step or scroll: tells the screen reader what changed,
    /// once.
    static void Sync(CKesView* view);
    /// The cursor's cell takes the focus (the view has just got the keyboard focus).
    static void FocusCursorCell(CKesView* view);
    /// Speaks a message at once without moving the focus (a refused action).
    static void Announce(CKesView* view, const QString& text);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    CKesView* View() const;
    CEventListAccessible* List() const { return m_pList; }

private:
    enum Part { kTempo, kTitle, kList, kStaff, kKeyGuide, kMessage, kPartCount };
    QAccessibleInterface* Part(int index) const;
    void DoSync();
    void SendFocusToCursorCell(bool fresh);

    CEventListAccessible* m_pList;
    CViewPartAccessible* m_pParts[kPartCount] = {};

    // What the screen reader was last told.
    bool m_bSynced = false;
    int m_nRow = -1;
    int m_nColumn = -1;
    unsigned m_nSongSerial = 0;
    QString m_strPending;
    std::pair<int, int> m_selection{0, 0};
    QString m_strTempo;
    QString m_strTitle;
    QString m_strStaff;
};
