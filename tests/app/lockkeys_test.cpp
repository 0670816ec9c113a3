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

    // Masks as Qt's Wayland plug-in gives them: Lock 0x02, Mod2 (Num Lock) 0x10.
    void keyEventMasksLightCapsAndNum() {
        CLockKeys locks(nullptr, CLockKeys::Source::KeyEvents);
        QWidget target;
        // A lock key's own events carry the masks from before it.
        const struct {
            QEvent::Type type;
            int key;
            quint32 masks;
            bool caps, num;
        } steps[] = {{QEvent::KeyPress, Qt::Key_A, 0x12, true, true},
                     {QEvent::KeyPress, Qt::Key_CapsLock, 0x12, false, true},
                     {QEvent::KeyRelease, Qt::Key_CapsLock, 0x12, false, true},
                     {QEvent::KeyPress, Qt::Key_NumLock, 0x10, false, false},
                     {QEvent::KeyPress, Qt::Key_CapsLock, 0x00, true, false},
                     {QEvent::KeyPress, Qt::Key_B, 0x10, false, true}};
        for (const auto& step : steps) {
            QKeyEvent event(step.type, step.key, Qt::NoModifier, 0, 0, step.masks);
            QApplication::sendEvent(&target, &event);
            QCOMPARE(locks.IsOn(CLockKeys::Caps), step.caps);
            QCOMPARE(locks.IsOn(CLockKeys::Num), step.num);
        }
    }
};

QTEST_MAIN(LockKeysTest)
#include "lockkeys_test.moc"
