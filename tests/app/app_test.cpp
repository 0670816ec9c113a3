// The application shell on the offscreen platform: document files, the save question, the
// frame's bars and their saved layout, the dialogs and the start-up with a song file.
#include "app/commandids.h"
#include "app/kesapp.h"
#include "app/mainframe.h"
#include "app/profile.h"
#include "app/recentfiles.h"
#include "dialogs/aboutdlg.h"
#include "dialogs/envdlg.h"
#include "dialogs/inputdlg.h"
#include "dialogs/tempodlg.h"
#include "document/kesdoc.h"
#include "exchange/songfilemessages.h"
#include "nextmodal.h"
#include "settings/settingsfile.h"
#include "view/kesview.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>

#include <cstdio>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kSongBytes("\xE1\xF0"
                            "abc"
                            "\xFD\xF1\x7E\xC4\x33\xC6\x35\xFF",
                            13);

// Answers the next message box with `button` and keeps its text in `text`.
void AnswerMessageBox(QMessageBox::StandardButton button, QString* text = nullptr) {
    OnNextModal<QMessageBox>([button, text](QMessageBox* box) {
        if (text)
            *text = box->text();
        box->button(button)->click();
    });
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class AppTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    const EnvSettings m_settings{}; // the frames' settings where a test needs no others

    QString Path(const char* name) { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    void document_openSaveAndSaveAs() {
        QVERIFY(WriteFile(Path("a.kes"), kSongBytes));
        CKesDoc doc;
        SongFileError error;
        QVERIFY(doc.OnOpenDocument(Path("a.kes"), &error));
        QCOMPARE(doc.GetSong().title, std::string("abc"));
        QCOMPARE(doc.GetSong().count, 2);
        QCOMPARE(doc.GetTitle(), QStringLiteral("a.kes"));
        doc.GetSong().tempo = 0x84;
        doc.SetModifiedFlag();
        QVERIFY(doc.OnSaveDocument(Path("b.kes"), &error));
        QVERIFY(!doc.IsModified());
        QCOMPARE(doc.GetPathName(), Path("b.kes"));
        QByteArray expected = kSongBytes;
        expected[7] = char(0x84);
        QCOMPARE(ReadFile(Path("b.kes")), expected);
        QCOMPARE(ReadFile(Path("a.kes")), kSongBytes);
    }

    void document_malformedFileLeavesTheSongUntouched_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no header") << QByteArray("\x00\xF1\x7E\xFF", 4);
        QTest::newRow("no tempo") << QByteArray("\xE1\xC4\x33\xFF", 4);
        QTest::newRow("unended title") << QByteArray("\xE1\xF0\x41\x42\xFF", 5);
    }
    void document_malformedFileLeavesTheSongUntouched() {
        QFETCH(QByteArray, bytes);
        QVERIFY(WriteFile(Path("bad.kes"), bytes));
        QVERIFY(WriteFile(Path("good.kes"), kSongBytes));
        CKesDoc doc;
        SongFileError error;
        QVERIFY(doc.OnOpenDocument(Path("good.kes"), &error));
        const Song before = doc.GetSong();
        QVERIFY(!doc.OnOpenDocument(Path("bad.kes"), &error));
        QVERIFY(!DescribeSongFileError(error).isEmpty());
        QVERIFY(doc.GetSong() == before);
        QCOMPARE(doc.GetPathName(), Path("good.kes"));
        QVERIFY(!doc.OnOpenDocument(Path("missing.kes"), &error));
        QVERIFY(doc.GetSong() == before);
    }

    void document_opensRegularFilesUpToTheLimitOnly() {
        QVERIFY(WriteFile(Path("good.kes"), kSongBytes));
        CKesDoc doc;
        SongFileError error;
        QVERIFY(doc.OnOpenDocument(Path("good.kes"), &error));
        const Song before = doc.GetSong();
        // A device never ends, a FIFO would block an ordinary open, a folder reads nothing.
        QVERIFY(::mkfifo(QFile::encodeName(Path("fifo.kes")).constData(), 0600) == 0);
        for (const QString& path : {QStringLiteral("/dev/zero"), Path("fifo.kes"), m_dir.path()}) {
            QVERIFY2(!doc.OnOpenDocument(path, &error), qPrintable(path));
            QVERIFY2(DescribeSongFileError(error).startsWith(
                         QStringLiteral("通常のファイルではありません")),
                     qPrintable(DescribeSongFileError(error)));
            QVERIFY(doc.GetSong() == before);
        }

        // Beyond 1 MiB and 999 events: the first 999 events load.
        QByteArray big("\xE1\xF1\x7E", 3);
        for (int i = 0; i < 600000; ++i)
            big.append(i < kMaxEvents ? "\xC4\x33" : "\xC6\x35", 2);
        big.append('\xFF');
        QVERIFY(WriteFile(Path("big.kes"), big));
        QVERIFY2(doc.OnOpenDocument(Path("big.kes"), &error),
                 qPrintable(DescribeSongFileError(error)));
        QCOMPARE(doc.GetSong().count, kMaxEvents);
        QCOMPARE(doc.GetSong().events[kMaxEvents - 1].code, uint8_t(0xC4));
        QCOMPARE(doc.GetSong().events[kMaxEvents - 1].pitch, uint8_t(0x33));

        const Song loaded = doc.GetSong();
        QFile huge(Path("huge.kes"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize((qint64(64) << 20) + 1));
        huge.close();
        QVERIFY(!doc.OnOpenDocument(Path("huge.kes"), &error));
        QVERIFY2(DescribeSongFileError(error).startsWith(
                     QStringLiteral("曲ファイルとしては大きすぎます")),
                 qPrintable(DescribeSongFileError(error)));
        QVERIFY(doc.GetSong() == loaded);
        QCOMPARE(doc.GetPathName(), Path("big.kes"));
    }

    void document_newStartsAFreshSong() {
        QVERIFY(WriteFile(Path("a.kes"), kSongBytes));
        CKesDoc doc;
        QVERIFY(doc.OnOpenDocument(Path("a.kes"), nullptr));
        doc.SetModifiedFlag();
        doc.OnNewDocument();
        QVERIFY(doc.GetSong() == Song{});
        QCOMPARE(doc.GetSong().tempo, uint8_t(126));
        QVERIFY(!doc.IsModified());
        QVERIFY(doc.GetTitle().isEmpty()); // the frame calls it untitled
    }

    void frame_titleShowsTheNameAndTheModifiedMark() {
        CKesDoc doc;
        CMainFrame frame(&doc, m_settings);
        QCOMPARE(frame.windowTitle(), QStringLiteral("無題[*] - KesV"));
        QVERIFY(!frame.isWindowModified());
        doc.SetModifiedFlag();
        QVERIFY(frame.isWindowModified());
        QVERIFY(WriteFile(Path("song.kes"), kSongBytes));
        QVERIFY(doc.OnOpenDocument(Path("song.kes"), nullptr));
        QCOMPARE(frame.windowTitle(), QStringLiteral("song.kes[*] - KesV"));
        QVERIFY(!frame.isWindowModified());
    }

    void frame_saveQuestion() {
        QVERIFY(WriteFile(Path("q.kes"), kSongBytes));
        CKesDoc doc;
        QVERIFY(doc.OnOpenDocument(Path("q.kes"), nullptr));
        CMainFrame frame(&doc, m_settings);
        QVERIFY(frame.SaveModified()); // nothing changed: no question
        doc.GetSong().tempo = 0x70;
        doc.SetModifiedFlag();
        QString question;
        AnswerMessageBox(QMessageBox::Cancel, &question);
        QVERIFY(!frame.SaveModified());
        QCOMPARE(question, QStringLiteral("q.kes への変更を保存しますか?"));
        QVERIFY(doc.IsModified());
        AnswerMessageBox(QMessageBox::Discard);
        QVERIFY(frame.SaveModified());
        QCOMPARE(ReadFile(Path("q.kes")), kSongBytes);
        AnswerMessageBox(QMessageBox::Save);
        QVERIFY(frame.SaveModified());
        QVERIFY(!doc.IsModified());
        QCOMPARE(uint8_t(ReadFile(Path("q.kes")).at(7)), uint8_t(0x70));
    }

    // Two windows on one song: a save over what the other saved since asks first.
    void frame_saveAsksBeforeOverwritingAChangeMadeElsewhere() {
        QVERIFY(WriteFile(Path("two.kes"), kSongBytes));
        CKesDoc first;
        CKesDoc second;
        QVERIFY(first.OnOpenDocument(Path("two.kes"), nullptr));
        QVERIFY(second.OnOpenDocument(Path("two.kes"), nullptr));
        CMainFrame firstFrame(&first, m_settings);
        CMainFrame secondFrame(&second, m_settings);
        // The answer waits for the next question: the first window's save must not ask, so it
        // is the second window's that it answers.
        QString asked;
        AnswerMessageBox(QMessageBox::Cancel, &asked);
        first.GetSong().tempo = 0x70;
        first.SetModifiedFlag();
        firstFrame.OnFileSave();
        QVERIFY(asked.isEmpty());
        QVERIFY(!first.IsModified());
        const QByteArray firstSaved = ReadFile(Path("two.kes"));

        second.GetSong().tempo = 0x72;
        second.SetModifiedFlag();
        secondFrame.OnFileSave();
        QVERIFY2(asked.contains(QStringLiteral("two.kes")), qPrintable(asked));
        QCOMPARE(ReadFile(Path("two.kes")), firstSaved);
        QVERIFY(secondFrame.isWindowModified());
        AnswerMessageBox(QMessageBox::Save);
        secondFrame.OnFileSave();
        QCOMPARE(uint8_t(ReadFile(Path("two.kes")).at(7)), uint8_t(0x72));
        QVERIFY(!second.IsModified());
        QVERIFY(first.HasFileChangedOnDisk()); // now the first window is behind
    }

    void frame_closeAsksAndCancelKeepsTheWindow() {
        CKesDoc doc;
        CMainFrame frame(&doc, m_settings);
        frame.show();
        doc.SetModifiedFlag();
        AnswerMessageBox(QMessageBox::Cancel);
        QVERIFY(!frame.close());
        QVERIFY(frame.isVisible());
        AnswerMessageBox(QMessageBox::Discard);
        QVERIFY(frame.close());
    }

    void frame_commandsNobodyHandlesAreDisabled() {
        CKesDoc doc;
        CMainFrame frame(&doc, m_settings);
        for (int id : {cmd::EditUndo, cmd::EditRedo, cmd::EditCut, cmd::EditCopy, cmd::EditPaste,
                       cmd::Environment, cmd::MidiPlay, cmd::MidiStop, cmd::MidiRecord}) {
            QVERIFY2(frame.action(id), qPrintable(QString::number(id)));
            QVERIFY2(!frame.action(id)->isEnabled(), qPrintable(QString::number(id)));
        }
        QVERIFY(frame.action(cmd::FileSave)->isEnabled());
        QCOMPARE(frame.action(cmd::FileNew)->statusTip(), QStringLiteral("新規にﾌｧｲﾙを作成"));
        QCOMPARE(frame.action(cmd::FileNew)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(frame.action(cmd::EditPaste)->shortcuts().size(), 2);
        QCOMPARE(frame.messagePane()->text(), QStringLiteral("ﾚﾃﾞｨ"));
    }

    // Qt shows no prompt for a disabled menu item by itself.
    void frame_disabledMenuItemsShowTheirPrompts() {
        CKesDoc doc;
        CMainFrame frame(&doc, m_settings);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QMenu* edit = frame.menuBar()->actions().at(1)->menu();
        edit->popup(frame.mapToGlobal(QPoint(20, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(edit));
        const auto hover = [edit](const QRect& rect) { QTest::mouseMove(edit, rect.center()); };
        QAction* undo = frame.action(cmd::EditUndo);
        hover(edit->actionGeometry(undo));
        QCOMPARE(frame.statusBar()->currentMessage(), QStringLiteral("直前に行った動作を元に戻す"));
        hover(edit->actionGeometry(edit->actions().at(2))); // the separator after redo
        QCOMPARE(frame.statusBar()->currentMessage(), QString());
        hover(edit->actionGeometry(undo));
        edit->hide();
        QCOMPARE(frame.statusBar()->currentMessage(), QString());
    }

    // Each button of both bars names itself in a tool tip and says more in the status bar.
    void frame_toolBarButtonsShowToolTipsAndPrompts() {
        CKesDoc doc;
        CMainFrame frame(&doc, m_settings);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const std::pair<QToolBar*, QString> bars[] = {
            {frame.toolBar(), QStringLiteral("新規ﾌｧｲﾙ")},
            {frame.midiBar(), QStringLiteral("MIDI演奏")}};
        for (const auto& [bar, tip] : bars) {
            QAction* action = bar->actions().constFirst();
            QWidget* button = bar->widgetForAction(action);
            QVERIFY(button);
            QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
            QCoreApplication::sendEvent(button, &help);
            QTRY_VERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), tip);
            QToolTip::hideText();
            QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), button->mapToGlobal(QPointF(2, 2)));
            QCoreApplication::sendEvent(button, &enter);
            QVERIFY(!frame.statusBar()->currentMessage().isEmpty());
            QCOMPARE(frame.statusBar()->currentMessage(), action->statusTip());
        }
    }

    void frame_barLayoutKeptAcrossTwoStartUps() {
        CKesDoc doc;
        {
            CMainFrame frame(&doc, m_settings);
            frame.LoadProfile();
            frame.show();
            QVERIFY(frame.action(cmd::ViewMidiBar)->isChecked());
            QVERIFY(frame.action(cmd::MidiAudition)->isChecked()); // on at first
            frame.action(cmd::ViewMidiBar)->trigger();
            frame.action(cmd::ViewStatusBar)->trigger();
            frame.action(cmd::MidiAudition)->trigger();
            QVERIFY(frame.midiBar()->isHidden());
            QVERIFY(frame.close());
        }
        CMainFrame again(&doc, m_settings);
        again.LoadProfile();
        again.show();
        QVERIFY(again.midiBar()->isHidden());
        QVERIFY(!again.action(cmd::ViewMidiBar)->isChecked());
        QVERIFY(!again.toolBar()->isHidden());
        QVERIFY(again.statusBar()->isHidden());
        QVERIFY(!again.action(cmd::ViewStatusBar)->isChecked());
        QVERIFY(!again.action(cmd::MidiAudition)->isChecked());
        // Put them back for the other tests.
        again.action(cmd::ViewMidiBar)->trigger();
        again.action(cmd::ViewStatusBar)->trigger();
        again.action(cmd::MidiAudition)->trigger();
        QString error;
        QVERIFY2(again.SaveProfile(&error), qPrintable(error));
    }

    // Moved and resized, then never closed (a crash): the next window opens where it was.
    void frame_geometryKeptWithoutAClose() {
        CKesDoc doc;
        QRect placed;
        {
            CMainFrame frame(&doc, m_settings);
            frame.LoadProfile();
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            QSettings().remove(QStringLiteral("MainFrame/Geometry"));
            frame.setGeometry(frame.screen()->availableGeometry().adjusted(40, 30, -60, -50));
            placed = frame.geometry();
            QTRY_VERIFY(QSettings().contains(QStringLiteral("MainFrame/Geometry")));
        }
        CMainFrame again(&doc, m_settings);
        again.LoadProfile();
        QCOMPARE(again.geometry(), placed);
    }

    // The song of the command line that cannot be opened is also named on standard error.
    void frame_commandLineFailureIsPrintedToo() {
        CKesDoc doc;
        CMainFrame frame(&doc, m_settings);
        QTemporaryFile capture;
        QVERIFY(capture.open());
        std::fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        dup2(capture.handle(), STDERR_FILENO);
        QString text;
        frame.SetFailuresToStandardError(true);
        AnswerMessageBox(QMessageBox::Ok, &text);
        const bool opened = frame.OpenDocumentFile(Path("missing.kes"));
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        QVERIFY(!opened);
        QVERIFY(text.contains(QStringLiteral("missing.kes")));
        const QByteArray line =
            "kesv: " + text.replace(QLatin1Char('\n'), QLatin1Char(' ')).toLocal8Bit() + '\n';
        QVERIFY2(ReadFile(capture.fileName()).contains(line), line.constData());
    }

    void tempoDialog_presetTempoStartsOnTheList() {
        CTempoDlg dialog;
        dialog.m_nTempo = 120;
        dialog.OnInitDialog();
        QVERIFY(dialog.presetButton()->isChecked());
        QCOMPARE(dialog.presetList()->currentText(), QStringLiteral("120"));
        QVERIFY(dialog.presetList()->isEnabled());
        QVERIFY(!dialog.freeEdit()->isEnabled());
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.m_nTempo, 120);
    }

    void tempoDialog_otherTempoStartsFree() {
        CTempoDlg dialog;
        dialog.m_nTempo = 124;
        dialog.OnInitDialog();
        QVERIFY(dialog.freeButton()->isChecked());
        QCOMPARE(dialog.freeEdit()->value(), 124);
        QCOMPARE(dialog.presetList()->currentText(), QStringLiteral(" 60"));
        QVERIFY(!dialog.presetList()->isEnabled());
        dialog.presetButton()->click();
        QVERIFY(dialog.presetList()->isEnabled());
        QVERIFY(!dialog.freeEdit()->isEnabled());
        dialog.presetList()->setCurrentIndex(dialog.presetList()->findText(QStringLiteral("144")));
        dialog.accept();
        QCOMPARE(dialog.m_nTempo, 144);
    }

    void tempoDialog_spinArrowsStayWithinTheSpinRange() {
        CTempoDlg dialog;
        dialog.m_nTempo = 186;
        dialog.OnInitDialog();
        dialog.freeEdit()->stepUp();
        QCOMPARE(dialog.freeEdit()->value(), 186);
        dialog.freeEdit()->setValue(60);
        dialog.freeEdit()->stepDown();
        QCOMPARE(dialog.freeEdit()->value(), 60);
        dialog.freeEdit()->setValue(300); // typed values go beyond the arrows' range
        dialog.accept();
        QCOMPARE(dialog.m_nTempo, 300);
    }

    void tempoDialog_refusesTempoTheByteCannotHold_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("59") << QStringLiteral("59");
        QTest::newRow("379") << QStringLiteral("379");
        QTest::newRow("empty") << QString();
    }
    // Typed, then OK clicked (the focus leaves the field first) or Enter pressed in it.
    void tempoDialog_refusesTempoTheByteCannotHold() {
        QFETCH(QString, typed);
        CTempoDlg dialog;
        dialog.m_nTempo = 124;
        dialog.OnInitDialog();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QSpinBox* edit = dialog.freeEdit();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, typed);
        QAbstractButton* ok = dialog.findChild<QDialogButtonBox*>()->buttons().constFirst();
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        for (const bool click : {true, false}) {
            QString message;
            AnswerMessageBox(QMessageBox::Ok, &message);
            if (click)
                QTest::mouseClick(ok, Qt::LeftButton);
            else
                QTest::keyClick(edit, Qt::Key_Return);
            QVERIFY2(message.contains(QStringLiteral("60 から 378")), qPrintable(message));
            QVERIFY(dialog.isVisible());
            QVERIFY(dialog.result() != int(QDialog::Accepted));
            QCOMPARE(dialog.m_nTempo, 124);
            QCOMPARE(edit->text().trimmed(), typed);
        }
    }

    void titleDialog_refusesWhatTheSongFileCannotHold() {
        CInputDlg dialog(QStringLiteral("Title編集"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Title編集"));
        dialog.m_strText = QStringLiteral("old");
        dialog.OnInitDialog();
        QCOMPARE(dialog.edit()->text(), QStringLiteral("old"));

        QString message;
        dialog.edit()->setText(QString(123, QChar(0x3042))); // 246 bytes
        AnswerMessageBox(QMessageBox::Ok, &message);
        dialog.accept();
        QVERIFY(message.contains(QStringLiteral("246")));
        QVERIFY(dialog.result() != int(QDialog::Accepted));
        QCOMPARE(dialog.m_strText, QStringLiteral("old"));

        dialog.edit()->setText(QStringLiteral("한국어"));
        AnswerMessageBox(QMessageBox::Ok, &message);
        dialog.accept();
        QVERIFY(dialog.result() != int(QDialog::Accepted));

        dialog.edit()->setText(QString(122, QChar(0x3042))); // 244 bytes
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.m_strText.size(), 122);
    }

    // Each window writes the list at once, on top of what the others wrote since.
    void recentFiles_writtenAtOnceAndMergedWithOtherWindows() {
        QSettings().remove(QStringLiteral("Recent File List"));
        for (const char* name : {"r1.kes", "r2.kes", "r3.kes"})
            QVERIFY(WriteFile(Path(name), kSongBytes));
        CKesDoc doc;
        CMainFrame frame(&doc, m_settings);
        QVERIFY(frame.OpenDocumentFile(Path("r1.kes")));
        QCOMPARE(LoadRecentFiles(), QStringList{Path("r1.kes")});
        AddRecentFile(Path("r2.kes")); // another window
        QVERIFY(frame.OpenDocumentFile(Path("r3.kes")));
        const QStringList all{Path("r3.kes"), Path("r2.kes"), Path("r1.kes")};
        QCOMPARE(LoadRecentFiles(), all);
        QCOMPARE(frame.GetRecentFiles(), all);
    }

    void aboutBox_showsTheBuildTime() {
        CAboutDlg dialog;
        const QString text = dialog.buildLabel()->text();
        QVERIFY(text.startsWith(QStringLiteral("Built: ")));
        QCOMPARE(text.size(), 7 + 11 + 1 + 8); // "Sep  7 2000" and "20:23:40"
    }

    // Last: InitInstance builds the real window once per process.
    void application_startsWithTheSongOfTheCommandLine() {
        QVERIFY(WriteFile(Path("start.kes"), kSongBytes));
        QSettings().remove(QStringLiteral("Recent File List")); // the other tests' files
        CKesApp* app = qobject_cast<CKesApp*>(QCoreApplication::instance());
        QVERIFY(app);
        QVERIFY(app->InitInstance({Path("start.kes")}));
        QCOMPARE(app->GetDocument()->GetSong().count, 2);
        QCOMPARE(app->GetMainFrame()->windowTitle(), QStringLiteral("start.kes[*] - KesV"));
        QCOMPARE(app->GetMainFrame()->GetRecentFiles().value(0), Path("start.kes"));
        QAction* recent = app->GetMainFrame()->action(cmd::FileMruFirst);
        QVERIFY(recent->isVisible());
        QVERIFY(recent->text().endsWith(QStringLiteral("start.kes")));
        QVERIFY(!app->GetMainFrame()->action(cmd::FileMruFirst + 1)->isVisible());
        QCOMPARE(app->GetView()->Cursor().row, 0);
        // Qt's own dialogs and buttons speak Japanese.
        QVERIFY(QCoreApplication::translate("QPlatformTheme", "Cancel") !=
                QStringLiteral("Cancel"));

        // A file that is not a song: a message naming it, and the song stays.
        QVERIFY(WriteFile(Path("bad.kes"), QByteArray("nope")));
        QString message;
        AnswerMessageBox(QMessageBox::Ok, &message);
        QVERIFY(!app->GetMainFrame()->OpenDocumentFile(Path("bad.kes")));
        QVERIFY(message.contains(QStringLiteral("bad.kes")));
        QCOMPARE(app->GetDocument()->GetSong().count, 2);

        // New: a fresh song with the cursor on row 0.
        app->GetView()->SetCursorRow(2);
        app->GetMainFrame()->OnFileNew();
        QCOMPARE(app->GetDocument()->GetSong().count, 0);
        QCOMPARE(app->GetView()->Cursor().row, 0);
        QCOMPARE(app->GetMainFrame()->windowTitle(), QStringLiteral("無題[*] - KesV"));
    }

    // 表示 → 鍵盤入力 switches the piano method, saves it at once, and the settings sheet
    // shows it.
    void application_firstStartPlaysThroughTheBuiltInSynthesizer() {
        const std::filesystem::path path = QFile::encodeName(Path("first.env")).toStdString();
        QCOMPARE(CKesApp::LoadStartSettings(path).OutputDeviceName(),
                 std::string("KesV Built-in Synth"));
        EnvSettings none;
        none.SetDefaults(); // no output device, saved on purpose
        QVERIFY(SaveSettings(none, path));
        QVERIFY(CKesApp::LoadStartSettings(path).OutputDeviceName().empty());
    }

    void application_pianoInputItemSwitchesTheMethod() {
        CKesApp* app = qobject_cast<CKesApp*>(QCoreApplication::instance());
        QAction* piano = app->GetMainFrame()->action(cmd::PianoInput);
        QVERIFY(piano->isEnabled());
        QVERIFY(!piano->isChecked());
        for (const bool on : {true, false}) {
            piano->trigger();
            QCOMPARE(piano->isChecked(), on);
            QCOMPARE(app->GetSettings().IsPianoInput(), on);
            QCOMPARE(LoadSettings(app->GetSettingsPath()).IsPianoInput(), on);
            bool shown = !on;
            OnNextModal<CEnvDlg>([&shown](CEnvDlg* sheet) {
                shown =
                    sheet->findChild<QRadioButton*>(QStringLiteral("radioKeyboard"))->isChecked();
                sheet->reject();
            });
            app->OnEnvironment();
            QCOMPARE(shown, on);
        }
    }
};

int main(int argc, char** argv) {
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CKesApp app(argc, argv);
    UseProfileFolder(profile.path());
    AppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_test.moc"
