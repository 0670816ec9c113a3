// The status bar's lock-key panes on a real X server (CTest runs this under xvfb-run):
// Caps Lock and Num Lock pressed with xdotool light their panes and put them out again.
#include "app/lockkeys.h"
#include "app/mainframe.h"
#include "document/kesdoc.h"
#include "settings/envsettings.h"

#include <QApplication>
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
};

QTEST_MAIN(LockKeysTest)
#include "lockkeys_test.moc"
