// Real key events in the main window: the frame's accelerators come before the step editor,
// Tab stays in the view, the live settings decide the bindings and the title shows edits;
// the commands a screen reader's user reaches by keys, and the menus' spoken names.
#include "app/commandids.h"
#include "app/kesapp.h"
#include "app/mainframe.h"
#include "app/menuaccessible.h"
#include "document/kesdoc.h"
#include "view/kesview.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <string>

namespace {

using KeyMods = Qt::KeyboardModifiers;
} // namespace

class FrameKeysTest : public QObject {
    Q_OBJECT

private:
    CKesApp* m_app = nullptr;

    CKesView* view() { return m_app->GetView(); }
    Song& song() { return m_app->GetDocument()->GetSong(); }
    EnvSettings& settings() { return m_app->GetSettings(); }
    std::string Pending() { return std::string(view()->GetEditor().PendingInput()); }

    // A fresh three-event song, cursor on row 1 in the pitch column, "3" typed.
    void StartWithPendingText() {
        Song fresh;
        for (uint8_t pitch : {51, 53, 55})
            fresh.events[size_t(fresh.count++)] = {0, 0xC4, pitch};
        song() = fresh;
        view()->OnSongReplaced();
        m_app->GetDocument()->SetModifiedFlag(false);
        view()->setFocus();
        QTest::keyClick(view(), Qt::Key_Up, Qt::ControlModifier);
        QTest::keyClick(view(), Qt::Key_Down);
        while (view()->Cursor().column != 1)
            QTest::keyClick(view(), Qt::Key_Right);
        QTest::keyClick(view(), Qt::Key_3);
        QCOMPARE(view()->Cursor().row, 1);
        QCOMPARE(Pending(), std::string("3"));
        QVERIFY(!m_app->GetDocument()->IsModified());
    }

private Q_SLOTS:
    void initTestCase() {
        m_app = qobject_cast<CKesApp*>(QCoreApplication::instance());
        QVERIFY(m_app);
        QVERIFY(m_app->InitInstance({}));
        m_app->GetMainFrame()->resize(900, 600);
        m_app->GetMainFrame()->show();
        QVERIFY(QTest::qWaitForWindowActive(m_app->GetMainFrame()));
    }
    void init() { settings().SetDefaults(); }

    // Even with an edit function bound to Shift+INS, Ctrl+INS or Shift+DEL, and even while
    // the commands are disabled, the accelerators leave the song and the typed text alone.
    void accelerators_neverReachTheEditor_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("command");
        const int ctrl = int(Qt::ControlModifier);
        QTest::newRow("Ctrl+N") << int(Qt::Key_N) << ctrl << int(cmd::FileNew);
        QTest::newRow("Ctrl+O") << int(Qt::Key_O) << ctrl << int(cmd::FileOpen);
        QTest::newRow("Ctrl+S") << int(Qt::Key_S) << ctrl << int(cmd::FileSave);
        QTest::newRow("Ctrl+P") << int(Qt::Key_P) << ctrl << int(cmd::FilePrint);
        QTest::newRow("Ctrl+Shift+S")
            << int(Qt::Key_S) << int(Qt::ControlModifier | Qt::ShiftModifier)
            << int(cmd::FileSaveAs);
        QTest::newRow("Ctrl+Q") << int(Qt::Key_Q) << ctrl << int(cmd::AppExit);
        QTest::newRow("Ctrl+,") << int(Qt::Key_Comma) << ctrl << int(cmd::Environment);
        QTest::newRow("Ctrl+Z") << int(Qt::Key_Z) << ctrl << int(cmd::EditUndo);
        QTest::newRow("Ctrl+X") << int(Qt::Key_X) << ctrl << int(cmd::EditCut);
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << ctrl << int(cmd::EditCopy);
        QTest::newRow("Ctrl+V") << int(Qt::Key_V) << ctrl << int(cmd::EditPaste);
        QTest::newRow("Ctrl+Y") << int(Qt::Key_Y) << ctrl << int(cmd::EditRedo);
        QTest::newRow("Ctrl+Shift+Z")
            << int(Qt::Key_Z) << int(Qt::ControlModifier | Qt::ShiftModifier) << int(cmd::EditRedo);
        QTest::newRow("Alt+Backspace")
            << int(Qt::Key_Backspace) << int(Qt::AltModifier) << int(cmd::EditUndo);
        QTest::newRow("Shift+Delete")
            << int(Qt::Key_Delete) << int(Qt::ShiftModifier) << int(cmd::EditCut);
        QTest::newRow("Ctrl+Insert") << int(Qt::Key_Insert) << ctrl << int(cmd::EditCopy);
        QTest::newRow("Shift+Insert")
            << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << int(cmd::EditPaste);
    }
    void accelerators_neverReachTheEditor() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, command);
        StartWithPendingText();
        settings().bindings[1][8] = 13; // SHIFT+INS: insert an event
        settings().bindings[1][9] = 14; // SHIFT+DEL: delete the event
        settings().bindings[2][8] = 16; // CTRL+INS: subtract 1
        QAction* action = m_app->GetMainFrame()->action(command);
        QVERIFY(action);
        const bool wasEnabled = action->isEnabled();
        action->setEnabled(false); // the File commands would open dialogs
        const Song before = song();
        QTest::keyClick(view(), Qt::Key(key), KeyMods(mods));
        action->setEnabled(wasEnabled);
        QVERIFY(song() == before);
        QCOMPARE(Pending(), std::string("3"));
        QCOMPARE(view()->Cursor().row, 1);
        QVERIFY(!m_app->GetDocument()->IsModified());
        // The same binding on a key that is no accelerator does run.
        settings().bindings[1][0] = 13; // SHIFT+Home: insert
        QTest::keyClick(view(), Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(song().count, before.count + 1);
        // Enabled, an Edit accelerator arrives as its command.
        if (command >= cmd::EditCopy && command <= cmd::EditRedo) {
            QSignalSpy triggered(action, &QAction::triggered);
            action->setEnabled(true);
            QTest::keyClick(view(), Qt::Key(key), KeyMods(mods));
            QCOMPARE(triggered.count(), 1);
        }
    }

    // An enabled accelerator runs the frame's command (Ctrl+N: a new, empty song).
    void accelerator_runsTheFrameCommand() {
        StartWithPendingText();
        QTest::keyClick(view(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(song().count, 0);
        QCOMPARE(view()->Cursor().row, 0);
        QCOMPARE(Pending(), std::string());
    }

    // Tab in the main window stays with the view, bound or not.
    void tab_staysInTheView() {
        StartWithPendingText();
        QTest::keyClick(view(), Qt::Key_Escape);
        QTest::keyClick(view(), Qt::Key_Tab);
        QVERIFY(view()->hasFocus());
        QTest::keyClick(view(), Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(view()->hasFocus());
        QCOMPARE(view()->Cursor().row, 1);
        settings().bindings[0][12] = 8; // TAB: one row down
        QTest::keyClick(view(), Qt::Key_Tab);
        QCOMPARE(view()->Cursor().row, 2);
        QVERIFY(view()->hasFocus());
    }

    // The bindings are read from the live settings at each key.
    void bindings_comeFromTheLiveSettings() {
        StartWithPendingText();
        QTest::keyClick(view(), Qt::Key_Escape);
        QTest::keyClick(view(), Qt::Key_End);
        QCOMPARE(view()->Cursor().row, 1);
        settings().bindings[0][1] = 2; // End: cursor to the end row
        QTest::keyClick(view(), Qt::Key_End);
        QCOMPARE(view()->Cursor().row, 3);
        settings().bindings[0][5] = 0; // Down unbound
        QTest::keyClick(view(), Qt::Key_Up);
        QTest::keyClick(view(), Qt::Key_Down);
        QCOMPARE(view()->Cursor().row, 2);
    }

    // The title's modified mark follows edits made with keys, not cursor moves.
    void title_marksKeyEdits() {
        StartWithPendingText();
        CMainFrame* frame = m_app->GetMainFrame();
        QTest::keyClick(view(), Qt::Key_Escape);
        QTest::keyClick(view(), Qt::Key_Down);
        QTest::keyClick(view(), Qt::Key_Up, Qt::ControlModifier);
        QVERIFY(!frame->isWindowModified());
        QTest::keyClick(view(), Qt::Key_PageUp);
        QCOMPARE(song().events[0].pitch, uint8_t(52));
        QVERIFY(frame->isWindowModified());
    }

    // Insert event has a key of its own (a screen reader takes Insert), whatever Insert is
    // bound to.
    void insertEvent_hasAKeyBesideTheBindings() {
        StartWithPendingText();
        QTest::keyClick(view(), Qt::Key_Escape);
        settings().bindings[0][8] = 0; // INS unbound
        QTest::keyClick(view(), Qt::Key_Insert);
        QCOMPARE(song().count, 3);
        QTest::keyClick(view(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(song().count, 4);
        QCOMPARE(song().events[2].pitch, uint8_t(53)); // row 1 doubled
    }

    // The header's dialogs open from the keyboard, with every field named.
    void tempoAndTitle_openFromKeysWithNamedFields() {
        for (const auto& [keys, fields] :
             {std::pair{QKeyCombination(Qt::CTRL | Qt::Key_T), 2},
              std::pair{QKeyCombination(Qt::CTRL | Qt::SHIFT | Qt::Key_T), 1}}) {
            m_app->GetMainFrame()->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m_app->GetMainFrame()));
            QStringList names;
            QTimer::singleShot(0, this, [&names] {
                QWidget* dialog = QApplication::activeModalWidget();
                if (!dialog)
                    return;
                for (QWidget* field : dialog->findChildren<QWidget*>()) {
                    if (qobject_cast<QComboBox*>(field) || qobject_cast<QSpinBox*>(field) ||
                        qobject_cast<QLineEdit*>(field))
                        names << QAccessible::queryAccessibleInterface(field)->text(
                            QAccessible::Name);
                }
                names.removeAll(QString()); // a spin box's own line edit is no field
                static_cast<QDialog*>(dialog)->reject();
            });
            QTest::keyClick(view(), keys.key(), keys.keyboardModifiers());
            QCOMPARE(names.size(), fields);
        }
    }

    // The menus say their captions without the mnemonic in parentheses.
    void menus_areNamedWithoutMnemonics() {
        QCOMPARE(SpokenMenuCaption(QStringLiteral("ﾌｧｲﾙ(&F)")), QStringLiteral("ﾌｧｲﾙ"));
        QCOMPARE(SpokenMenuCaption(QStringLiteral("開く(&O)...")), QStringLiteral("開く..."));
        QCOMPARE(SpokenMenuCaption(QStringLiteral("Save && &Quit")), QStringLiteral("Save & Quit"));
        QMenuBar* bar = m_app->GetMainFrame()->menuBar();
        QAccessibleInterface* menus = QAccessible::queryAccessibleInterface(bar);
        QCOMPARE(menus->childCount(), int(bar->actions().size()));
        QAccessibleInterface* file = menus->child(0);
        QCOMPARE(file->text(QAccessible::Name), SpokenMenuCaption(bar->actions()[0]->text()));
        QVERIFY(!file->text(QAccessible::Name).contains(QLatin1Char('(')));
        QAccessibleInterface* fileMenu = file->child(0);
        QCOMPARE(fileMenu->role(), QAccessible::PopupMenu);
        QAccessibleInterface* newItem = fileMenu->child(0);
        QCOMPARE(newItem->text(QAccessible::Name),
                 SpokenMenuCaption(m_app->GetMainFrame()->action(cmd::FileNew)->text()));
        QCOMPARE(newItem->text(QAccessible::Accelerator),
                 QKeySequence(Qt::CTRL | Qt::Key_N).toString(QKeySequence::NativeText));
        QCOMPARE(newItem->parent()->parent(), file);
    }
};

int main(int argc, char** argv) {
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CKesApp app(argc, argv);
    FrameKeysTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frame_keys_test.moc"
