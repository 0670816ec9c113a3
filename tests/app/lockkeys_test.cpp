// The status bar's lock-key panes on a real X server (CTest runs this under xvfb-run):
// Caps Lock and Num Lock pressed with xdotool light their panes and put them out again.
// The Wayland way, from the key events' modifier masks, runs on any platform.
#include "app/lockkeys.h"
#include "app/mainframe.h"
#include "document/kesdoc.h"
#include "settings/envsettings.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

class LockKeysTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void panesFollowTheLocks() {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("needs an X server");
#ifndef KESV_HAVE_XCB_XKB
        QSKIP("built without xcb-xkb");
#endif
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("needs xdotool");
        CKesDoc doc;
        const EnvSettings settings{};
        CMainFrame frame(&doc, settings);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const auto press = [](const char* key) {
            return QProcess::execute(QStringLiteral("xdotool"),
                                     {QStringLiteral("key"), QString::fromLatin1(key)}) == 0;
        };
        for (const auto& [key, pane] :
             {std::pair{"Caps_Lock", CLockKeys::Caps}, std::pair{"Num_Lock", CLockKeys::Num}}) {
            QLabel* label = frame.lockPane(pane);
            const bool before = label->isEnabled();
            QVERIFY(press(key));
            QTRY_COMPARE(label->isEnabled(), !before);
            QVERIFY(press(key));
            QTRY_COMPARE(label->isEnabled(), before);
        }
    }

    // The masks as Qt's Wayland plug-in gives them: Lock 0x02, Mod2 (Num Lock) 0x10; a lock
    // key's own events carry the masks from before it.
    void keyEventMasksLightCapsAndNum() {
        CLockKeys locks(nullptr, CLockKeys::Source::KeyEvents);
        QVERIFY(locks.IsAvailable());
        QSignalSpy changed(&locks, &CLockKeys::changed);
        QWidget target;
        const auto send = [&](QEvent::Type type, int key, quint32 masks) {
            QKeyEvent event(type, key, Qt::NoModifier, 0, 0, masks);
            QApplication::sendEvent(&target, &event);
        };
        send(QEvent::KeyPress, Qt::Key_A, 0x02 | 0x10);
        QVERIFY(locks.IsOn(CLockKeys::Caps));
        QVERIFY(locks.IsOn(CLockKeys::Num));
        QCOMPARE(changed.count(), 1);
        send(QEvent::KeyRelease, Qt::Key_A, 0x02 | 0x10);
        QCOMPARE(changed.count(), 1); // no change, no signal

        send(QEvent::KeyPress, Qt::Key_CapsLock, 0x02 | 0x10); // turning it off
        QVERIFY(!locks.IsOn(CLockKeys::Caps));
        send(QEvent::KeyRelease, Qt::Key_CapsLock, 0x02 | 0x10); // still held in the masks
        QVERIFY(!locks.IsOn(CLockKeys::Caps));
        send(QEvent::KeyPress, Qt::Key_NumLock, 0x10);
        QVERIFY(!locks.IsOn(CLockKeys::Num));
        send(QEvent::KeyPress, Qt::Key_CapsLock, 0x00); // and on again
        QVERIFY(locks.IsOn(CLockKeys::Caps));
        send(QEvent::KeyPress, Qt::Key_B, 0x00); // another program turned both off
        QVERIFY(!locks.IsOn(CLockKeys::Caps));
        QVERIFY(!locks.IsOn(CLockKeys::Kana));
        QVERIFY(!locks.IsOn(CLockKeys::Scroll));
    }
};

QTEST_MAIN(LockKeysTest)
#include "lockkeys_test.moc"
