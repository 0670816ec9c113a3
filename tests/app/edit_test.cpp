// The Edit menu in the real frame: every kind of edit undone and redone with the cursor,
// the modified flag following the undo stack, and events through the system clipboard.
#include "app/commandids.h"
#include "app/kesapp.h"
#include "app/mainframe.h"
#include "dialogs/inputdlg.h"
#include "dialogs/songmusicdlg.h"
#include "dialogs/tempodlg.h"
#include "document/kesdoc.h"
#include "formats/midifile.h"
#include "nextmodal.h"
#include "song/musictime.h"
#include "song/songcodec.h"
#include "view/eventclipboard.h"
#include "view/kesview.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <functional>
#include <random>
#include <vector>

namespace {

struct Step {
    std::vector<uint8_t> before, after;
    QPoint cursorBefore, cursorAfter;
};

} // namespace

class EditTest : public QObject {
    Q_OBJECT

private:
    CKesApp* m_app = nullptr;
    QTemporaryDir m_dir;

    CKesView* view() { return m_app->GetView(); }
    CKesDoc* doc() { return m_app->GetDocument(); }
    Song& song() { return doc()->GetSong(); }
    QUndoStack* stack() { return doc()->GetUndoStack(); }
    // Row and column, as a point so that a failure prints them.
    QPoint Cursor() { return {view()->Cursor().row, view()->Cursor().column}; }
    void Key(int key, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(view(), Qt::Key(key), mods);
    }
    // The text of the frame's failure box, which is then closed; empty: none shown.
    QString TakeFailure() {
        auto* box = m_app->GetMainFrame()->findChild<QMessageBox*>(QStringLiteral("FailureBox"));
        if (!box || !box->isVisible())
            return {};
        const QString text = box->text();
        box->button(QMessageBox::Ok)->click();
        m_app->GetMainFrame()->activateWindow();
        view()->setFocus();
        return text;
    }
    // A saved song of `count` quarter notes, opened: nothing to undo, not modified.
    void OpenSong(int count) {
        QByteArray pairs;
        for (int i = 0; i < count; ++i)
            pairs.append(char(0xC4)).append(char(40 + i % 30));
        OpenEvents(pairs);
    }
    // A saved song of these code and pitch byte pairs, opened.
    void OpenEvents(const QByteArray& pairs) {
        Song fresh;
        for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
            fresh.events[size_t(fresh.count++)] = {0, uint8_t(pairs[i]), uint8_t(pairs[i + 1])};
        QFile file(m_dir.filePath(QStringLiteral("events.kes")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const std::vector<uint8_t> bytes = EncodeSong(fresh);
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        file.close();
        QVERIFY(m_app->GetMainFrame()->OpenDocumentFile(file.fileName()));
        view()->setFocus();
    }
    QByteArray Events() {
        QByteArray pairs;
        for (int i = 0; i < song().count; ++i)
            pairs.append(char(song().events[size_t(i)].code))
                .append(char(song().events[size_t(i)].pitch));
        return pairs;
    }
    QString MenuText(int id) { return m_app->GetMainFrame()->action(id)->text(); }

    void EditHeader(bool title, int n) {
        if (title) {
            OnNextModal<CInputDlg>([n](CInputDlg* dialog) {
                dialog->edit()->setText(QStringLiteral("曲%1").arg(n));
                dialog->accept();
            });
        } else {
            OnNextModal<CTempoDlg>([n](CTempoDlg* dialog) {
                dialog->freeButton()->click();
                dialog->freeEdit()->setValue(60 + 2 * (n % 90));
                dialog->accept();
            });
        }
        const PixelRect label =
            title ? view()->GetMetrics().TitleLabelRect() : view()->GetMetrics().TempoLabelRect();
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, QPoint(label.left + 1, 2));
        // The accelerators need the frame active again once the dialog is gone.
        m_app->GetMainFrame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_app->GetMainFrame()));
    }

    // The key, time signature and pickup through Ctrl+K and their dialog.
    void EditMusic(int n) {
        OnNextModal<CSongMusicDlg>([n](CSongMusicDlg* dialog) {
            dialog->keyList()->setCurrentIndex(n % dialog->keyList()->count());
            dialog->ownTimeBox()->setChecked(n % 3 != 0);
            dialog->beatsEdit()->setValue(2 + n % 5);
            dialog->pickupEdit()->setValue(n % 2 ? 240 : 0);
            dialog->accept();
        });
        Key(Qt::Key_K, Qt::ControlModifier);
        m_app->GetMainFrame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_app->GetMainFrame()));
    }

    void Edit(int kind, std::mt19937& rng) {
        switch (kind) {
        case 0:
            return Key(Qt::Key_PageUp);
        case 1:
            return Key(Qt::Key_PageDown);
        case 2:
            return Key(Qt::Key_Insert);
        case 3:
            return Key(Qt::Key_Delete);
        case 4: // a typed note name, applied by Enter
            QTest::keyClicks(view(), QStringLiteral("E5"));
            return Key(Qt::Key_Return);
        case 5: // a length; on the end row it makes an event
            return Key(Qt::Key_F3);
        case 6: // a recorded note, on the end row a new event too
            return view()->OnMidiInData(PackShortMessage(0x90, uint8_t(40 + rng() % 40), 90));
        case 7:
            QGuiApplication::clipboard()->setText(QStringLiteral("C4 D#4 休"));
            return Key(Qt::Key_V, Qt::ControlModifier);
        case 8:
            view()->SelectRows(int(rng() % (song().count + 1)), view()->Cursor().row);
            return Key(Qt::Key_X, Qt::ControlModifier);
        case 11: // a MIDI file imported in the window
            return ImportNotes(1 + int(rng() % 5), rng);
        case 12:
            return EditMusic(int(rng() % 1000));
        default:
            return EditHeader(kind == 9, int(rng() % 1000));
        }
    }

    void ImportNotes(int count, std::mt19937& rng) {
        Song song;
        song.tempo = uint8_t(100 + rng() % 50);
        for (int i = 0; i < count; ++i)
            song.events[size_t(song.count++)] = {0, 0xC4, uint8_t(30 + rng() % 40)};
        const std::vector<uint8_t> bytes = EncodeMidiFile(song, {4, 4}, "import");
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("import.mid")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        file.close();
        QVERIFY(m_app->GetMainFrame()->ImportMidiFile(file.fileName()));
    }

private Q_SLOTS:
    void initTestCase() {
        m_app = qobject_cast<CKesApp*>(QCoreApplication::instance());
        QVERIFY(m_app);
        QVERIFY(m_app->InitInstance({}));
        m_app->GetMainFrame()->show();
        QVERIFY(QTest::qWaitForWindowActive(m_app->GetMainFrame()));
    }

    // A file with several melody candidates asks which; Enter takes the best one (the high
    // tune, not the drums with the most notes nor the low bass), Escape imports nothing.
    void importMidi_asksForTheTrackAndEnterTakesTheBest() {
        const auto track = [](int channel, int key, int count) {
            std::vector<uint8_t> body;
            for (int i = 0; i < count; ++i) {
                body.insert(body.end(), {0x00, uint8_t(0x90 | channel), uint8_t(key + i % 3), 100,
                                         0x60, uint8_t(0x80 | channel), uint8_t(key + i % 3), 0});
            }
            body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
            std::vector<uint8_t> chunk{
                'M', 'T', 'r', 'k', 0, 0, uint8_t(body.size() >> 8), uint8_t(body.size())};
            chunk.insert(chunk.end(), body.begin(), body.end());
            return chunk;
        };
        std::vector<uint8_t> bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, 96};
        for (const auto& chunk : {track(9, 36, 64), track(1, 36, 32), track(0, 72, 16)})
            bytes.insert(bytes.end(), chunk.begin(), chunk.end());
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("gm.mid")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        file.close();
        OnNextModal<QDialog>([](QDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        QVERIFY(!m_app->GetMainFrame()->ImportMidiFile(file.fileName()));
        OnNextModal<QDialog>([](QDialog* dialog) {
            QVERIFY(dialog->inherits("CTrackChoiceDlg"));
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        });
        QVERIFY(m_app->GetMainFrame()->ImportMidiFile(file.fileName()));
        QCOMPARE(int(song().events[0].pitch), 72 - 9);
    }

    // A long import shows its progress with a Cancel button that stops the reading: nothing
    // is imported, and the status bar says so.
    void importMidi_cancelStopsTheReading() {
        OpenSong(3);
        const std::vector<uint8_t> saved = EncodeSong(song());
        // 24 MB of notes take far longer to read than the 200 ms before the progress shows.
        std::vector<uint8_t> track{0x00, 0x90, 60, 100};
        while (track.size() < (size_t(24) << 20))
            track.insert(track.end(), {0x60, 62, 100, 0x60, 62, 0});
        std::vector<uint8_t> bytes{'M', 'T', 'h', 'd', 0,  0,   0,   6,   0,
                                   0,   0,   1,   0,   96, 'M', 'T', 'r', 'k'};
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(uint8_t(track.size() >> shift));
        bytes.insert(bytes.end(), track.begin(), track.end());
        QFile file(m_dir.filePath(QStringLiteral("long.mid")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        file.close();
        OnNextModal<QProgressDialog>([](QProgressDialog* progress) {
            QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
        });
        QVERIFY(!m_app->GetMainFrame()->ImportMidiFile(file.fileName()));
        QCOMPARE(m_app->GetMainFrame()->statusBar()->currentMessage(),
                 QStringLiteral("読み込みを中止しました"));
        QCOMPARE(EncodeSong(song()), saved);
    }

    // A score with two parts asks which, as a MIDI file does: Escape imports nothing, the
    // second row reads the second part, and the import is one step that undo takes back.
    void importMusicXml_asksForThePartAndIsOneStep() {
        OpenSong(3);
        const std::vector<uint8_t> saved = EncodeSong(song());
        const char* score = R"(<score-partwise><movement-title>Duet</movement-title>
            <part-list><score-part id="A"><part-name>Upper</part-name></score-part>
            <score-part id="B"><part-name>Lower</part-name></score-part></part-list>
            <part id="A"><measure><attributes><divisions>1</divisions></attributes>
            <note><pitch><step>E</step><octave>5</octave></pitch><duration>1</duration></note>
            </measure></part>
            <part id="B"><measure><attributes><divisions>1</divisions></attributes>
            <note><pitch><step>C</step><octave>3</octave></pitch><duration>2</duration></note>
            </measure></part></score-partwise>)";
        QFile file(m_dir.filePath(QStringLiteral("duet.musicxml")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(score);
        file.close();
        OnNextModal<QDialog>([](QDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        QVERIFY(!m_app->GetMainFrame()->OpenOrImportFile(file.fileName()));
        QCOMPARE(EncodeSong(song()), saved);
        OnNextModal<QDialog>([](QDialog* dialog) {
            QVERIFY(dialog->inherits("CTrackChoiceDlg"));
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Down);
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        });
        const int index = stack()->index();
        QVERIFY(m_app->GetMainFrame()->OpenOrImportFile(file.fileName()));
        QCOMPARE(stack()->index(), index + 1);
        QCOMPARE(song().count, 1);
        QCOMPARE(int(song().events[0].code), 0xC2);
        QCOMPARE(int(song().events[0].pitch), 48 - 9);
        QCOMPARE(song().title, std::string("Duet"));
        stack()->undo();
        QCOMPARE(EncodeSong(song()), saved);
    }

    // Random edits of every kind, each one step; Ctrl+Z takes them all back to the saved
    // bytes, Ctrl+Y brings them all again, the cursor where it was at each step.
    void undoRedo_everyKindOfEditStepByStep() {
        OpenSong(12);
        const std::vector<uint8_t> saved = EncodeSong(song());
        std::mt19937 rng(12);
        std::vector<Step> steps;
        for (int i = 0; i < 120; ++i) {
            view()->MoveCursorTo(int(rng() % (song().count + 1)));
            const int kind = i < 13 ? i : int(rng() % 13);
            view()->SetColumn(kind == 4 ? 2 : int(rng() % 3));
            Step step{EncodeSong(song()), {}, Cursor(), {}};
            const int index = stack()->index();
            Edit(kind, rng);
            step.after = EncodeSong(song());
            step.cursorAfter = Cursor();
            QVERIFY2(stack()->index() == index + (step.after != step.before ? 1 : 0),
                     qPrintable(QStringLiteral("edit %1 of kind %2").arg(i).arg(kind)));
            if (step.after != step.before)
                steps.push_back(step);
        }
        QVERIFY(steps.size() > 60);
        QVERIFY(m_app->GetMainFrame()->isWindowModified());
        for (size_t i = steps.size(); i-- > 0;) {
            // Pending text is dropped, not applied, before the step is undone.
            view()->SetColumn(1);
            QTest::keyClick(view(), Qt::Key_7);
            Key(i % 2 ? Qt::Key_Z : Qt::Key_Backspace,
                i % 2 ? Qt::ControlModifier : Qt::AltModifier);
            QVERIFY(EncodeSong(song()) == steps[i].before);
            QCOMPARE(Cursor(), steps[i].cursorBefore);
            QVERIFY(view()->GetEditor().PendingInput().empty());
        }
        QVERIFY(EncodeSong(song()) == saved);
        QVERIFY(!doc()->IsModified());
        QVERIFY(!m_app->GetMainFrame()->isWindowModified());
        QVERIFY(!m_app->GetMainFrame()->action(cmd::EditUndo)->isEnabled());
        for (size_t i = 0; i < steps.size(); ++i) {
            if (i % 2)
                Key(Qt::Key_Y, Qt::ControlModifier);
            else
                Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY(EncodeSong(song()) == steps[i].after);
            QCOMPARE(Cursor(), steps[i].cursorAfter);
        }
        QVERIFY(!m_app->GetMainFrame()->action(cmd::EditRedo)->isEnabled());
    }

    // Saving marks the stack clean: undo away from it and back shows and clears the mark;
    // New and Open clear the stack.
    void modifiedFlag_followsTheCleanState() {
        OpenSong(5);
        CMainFrame* frame = m_app->GetMainFrame();
        view()->MoveCursorTo(1);
        view()->SetColumn(1);
        Key(Qt::Key_PageUp);
        QVERIFY(frame->isWindowModified());
        QVERIFY(frame->DoSave(doc()->GetPathName()));
        QVERIFY(!frame->isWindowModified());
        Key(Qt::Key_PageUp);
        Key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!frame->isWindowModified());
        Key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(frame->isWindowModified());
        QVERIFY(doc()->IsModified());
        Key(Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(!doc()->IsModified());
        QVERIFY(frame->SaveModified()); // asks nothing: a question box would block here
        Key(Qt::Key_Delete);
        doc()->OnNewDocument();
        QVERIFY(!stack()->canUndo() && !doc()->IsModified());
    }

    // Rows selected with the mouse go through the system clipboard into another document;
    // text of note names pastes with the length before the cursor; the limit holds.
    void clipboard_eventsAndTextBetweenTwoDocuments() {
        OpenSong(10);
        CMainFrame* frame = m_app->GetMainFrame();
        const ViewMetrics& m = view()->GetMetrics();
        const auto rowPoint = [&](int row) { return QPoint(m.TextLeft(), m.GetRowTop(row) + 2); };
        QTest::mousePress(view()->viewport(), Qt::LeftButton, {}, rowPoint(2));
        QMouseEvent drag(QEvent::MouseMove, rowPoint(5),
                         view()->viewport()->mapToGlobal(rowPoint(5)), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(view()->viewport(), &drag);
        QTest::mouseRelease(view()->viewport(), Qt::LeftButton, {}, rowPoint(5));
        QCOMPARE(view()->GetSelection(), std::pair(2, 4));
        Key(Qt::Key_C, Qt::ControlModifier);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(data->data(QString::fromLatin1(kEventsMimeType)),
                 QByteArray("\xC4\x2A\xC4\x2B\xC4\x2C\xC4\x2D"));
        QCOMPARE(data->text().split(QLatin1Char('\n')).first(), QStringLiteral("D#3 1/  0"));
        QVERIFY(frame->action(cmd::EditPaste)->isEnabled());

        CKesDoc other;
        EnvSettings settings{};
        settings.SetDefaults();
        CKesView second(&other, &settings);
        other.GetSong().events[0] = {0, 0xC2, 51};
        other.GetSong().count = 1;
        second.OnSongReplaced();
        second.MoveCursorTo(1);
        second.OnEditPaste(); // appended on the end row
        QCOMPARE(other.GetSong().count, 5);
        QCOMPARE(other.GetSong().events[4].pitch, uint8_t(0x2D));
        QCOMPARE(second.Cursor().row, 5);

        QGuiApplication::clipboard()->setText(QStringLiteral("c4\nD#4  休 r\n"));
        second.MoveCursorTo(1);
        second.OnEditPaste();
        QCOMPARE(other.GetSong().count, 9);
        for (int i = 1; i < 5; ++i)
            QCOMPARE(other.GetSong().events[size_t(i)].code, uint8_t(0xC2));
        QCOMPARE(other.GetSong().events[2].pitch, uint8_t(54)); // D#4
        QCOMPARE(other.GetSong().events[4].pitch, kPitchRest);
        QCOMPARE(other.GetUndoStack()->count(), 2); // one step each paste

        QSignalSpy messages(&second, &CKesView::failureMessage);
        QGuiApplication::clipboard()->setText(QStringLiteral("C4 H4 E4"));
        second.OnEditPaste();
        QCOMPARE(other.GetSong().count, 9);
        QVERIFY(messages.takeLast().at(0).toString().contains(QStringLiteral("H4")));
        other.GetSong().count = kMaxEvents - 2;
        QGuiApplication::clipboard()->setText(QStringLiteral("C4 D4 E4"));
        second.OnEditPaste();
        QCOMPARE(other.GetSong().count, kMaxEvents - 2);
        QCOMPARE(messages.takeLast().at(0).toString(),
                 QStringLiteral("イベント数が上限（999）を超えるため貼り付けできません"));

        QGuiApplication::clipboard()->setText(QStringLiteral(" \n "));
        QVERIFY(!frame->action(cmd::EditPaste)->isEnabled());
        // Cut: the selection or the event under the cursor, one step; the end row has none.
        Key(Qt::Key_Escape);
        QVERIFY(!view()->HasSelection());
        view()->MoveCursorTo(song().count);
        QVERIFY(!frame->action(cmd::EditCut)->isEnabled());
        view()->MoveCursorTo(3);
        Key(Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(song().count, 9);
        QCOMPARE(
            QGuiApplication::clipboard()->mimeData()->data(QString::fromLatin1(kEventsMimeType)),
            QByteArray("\xC4\x2B"));
    }

    // Rows 1–4 of a fixed song selected (anchor 1, cursor 4): each key acts on all of them
    // as one step and keeps the selection; Delete leaves the cursor where the rows were.
    void selection_keysActOnEverySelectedRow_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("column");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("undoText");
        QTest::newRow("Delete") << int(Qt::Key_Delete) << 1 << QByteArray("\xC4\x28\xC4\xFF", 4)
                                << 0 << 1 << QStringLiteral("元に戻す: 削除(&U)");
        QTest::newRow("Insert") << int(Qt::Key_Insert) << 1
                                << QByteArray("\xC4\x28\xC4\x29\xC2\x00\xC4\x5F\xC4\x18"
                                              "\xC4\x29\xC2\x00\xC4\x5F\xC4\x18\xC4\xFF",
                                              20)
                                << 4 << 4 << QStringLiteral("元に戻す: 挿入(&U)");
        QTest::newRow("F7") << int(Qt::Key_F7) << 1
                            << QByteArray("\xC4\x28\xC6\x29\xC6\x00\xC6\x5F\xC6\x18\xC4\xFF", 12)
                            << 4 << 4 << QStringLiteral("元に戻す: 音長(&U)");
        QTest::newRow("F12 rests")
            << int(Qt::Key_F12) << 1
            << QByteArray("\xC4\x28\xC4\x00\xC2\x00\xC4\x00\xC4\x00\xC4\xFF", 12) << 4 << 4
            << QStringLiteral("元に戻す: 休符(&U)");
        QTest::newRow("PageUp pitch")
            << int(Qt::Key_PageUp) << 1
            << QByteArray("\xC4\x28\xC4\x2A\xC2\x00\xC4\x5F\xC4\x19\xC4\xFF", 12) << 4 << 4
            << QStringLiteral("元に戻す: 1 加算(&U)");
        QTest::newRow("PageDown name")
            << int(Qt::Key_PageDown) << 2
            << QByteArray("\xC4\x28\xC4\x28\xC2\x00\xC4\x5E\xC4\x18\xC4\xFF", 12) << 4 << 4
            << QStringLiteral("元に戻す: 1 減算(&U)");
        QTest::newRow("PageUp code")
            << int(Qt::Key_PageUp) << 0
            << QByteArray("\xC4\x28\xC5\x29\xC3\x00\xC5\x5F\xC5\x18\xC4\xFF", 12) << 4 << 4
            << QStringLiteral("元に戻す: 1 加算(&U)");
    }
    void selection_keysActOnEverySelectedRow() {
        QFETCH(int, key);
        QFETCH(int, column);
        QFETCH(QByteArray, after);
        QFETCH(int, selected);
        QFETCH(int, cursor);
        QFETCH(QString, undoText);
        const QByteArray before("\xC4\x28\xC4\x29\xC2\x00\xC4\x5F\xC4\x18\xC4\xFF", 12);
        OpenEvents(before);
        view()->SetColumn(column);
        view()->SelectRows(1, 4);
        Key(key);
        QCOMPARE(Events(), after);
        QCOMPARE(view()->GetSelection(), selected ? std::pair(1, selected) : std::pair(0, 0));
        QCOMPARE(view()->Cursor().row, cursor);
        QCOMPARE(stack()->count(), 1);
        QCOMPARE(MenuText(cmd::EditUndo), undoText);
        Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Events(), before);
        QCOMPARE(MenuText(cmd::EditUndo), QStringLiteral("元に戻す(&U)"));
    }

    // Selecting from the keyboard, a key during a drag, paste over a selection and the
    // copied text coming back, note names beyond the range, and the event limit.
    void selection_keyboardPasteAndLimits() {
        OpenSong(8);
        CMainFrame* frame = m_app->GetMainFrame();
        view()->MoveCursorTo(2);
        Key(Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
        Key(Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(view()->GetSelection(), std::pair(2, 3));
        Key(Qt::Key_Up, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(view()->GetSelection(), std::pair(2, 2));
        Key(Qt::Key_Escape);
        QVERIFY(!view()->HasSelection());
        Key(Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view()->GetSelection(), std::pair(0, 8));
        QCOMPARE(view()->Cursor().row, 7);

        // A key during a drag ends the drag with the selection.
        const ViewMetrics& m = view()->GetMetrics();
        const auto moveTo = [&](int row) {
            const QPoint at(m.TextLeft(), m.GetRowTop(row) + 2);
            QMouseEvent drag(QEvent::MouseMove, at, view()->viewport()->mapToGlobal(at),
                             Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(view()->viewport(), &drag);
        };
        QTest::mousePress(view()->viewport(), Qt::LeftButton, {},
                          QPoint(m.TextLeft(), m.GetRowTop(4) + 2));
        moveTo(5);
        QCOMPARE(view()->GetSelection(), std::pair(4, 2));
        Key(Qt::Key_Down);
        moveTo(7);
        QVERIFY(!view()->HasSelection());
        QCOMPARE(view()->Cursor().row, 6);
        QTest::mouseRelease(view()->viewport(), Qt::LeftButton);

        // Rows 1–3 a tone up in eighths, copied out as text and pasted back over rows 5–6.
        view()->MoveCursorTo(1);
        view()->SetColumn(2);
        Key(Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
        Key(Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
        const int steps = stack()->count();
        Key(Qt::Key_PageUp);
        Key(Qt::Key_PageUp);
        Key(Qt::Key_F7);
        QCOMPARE(stack()->count(), steps + 3);
        QCOMPARE(Events().mid(2, 6), QByteArray("\xC6\x2B\xC6\x2C\xC6\x2D", 6));
        Key(Qt::Key_C, Qt::ControlModifier);
        const QString text = QGuiApplication::clipboard()->text();
        QGuiApplication::clipboard()->setText(text); // as from a text editor: no event bytes
        view()->SelectRows(5, 6);
        Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(song().count, 9);
        QCOMPARE(Events().mid(10, 6), Events().mid(2, 6));
        QCOMPARE(view()->Cursor().row, 8);
        QCOMPARE(MenuText(cmd::EditUndo), QStringLiteral("元に戻す: 貼り付け(&U)"));
        Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(song().count, 8);
        QCOMPARE(MenuText(cmd::EditRedo), QStringLiteral("やり直し: 貼り付け(&R)"));

        // Names beyond the range come in at its ends, pasted or typed; a non-name is refused.
        QGuiApplication::clipboard()->setText(QStringLiteral("C1 A7 D4 1/ 7"));
        view()->MoveCursorTo(0);
        Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(song().count, 8);
        QVERIFY(TakeFailure().contains(QStringLiteral("音長ではない")));
        QGuiApplication::clipboard()->setText(QStringLiteral("C1 A7"));
        Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Events().left(4), QByteArray("\xC4\x18\xC4\x5F", 4));
        view()->SetColumn(2);
        QTest::keyClicks(view(), QStringLiteral("C1"));
        Key(Qt::Key_Return);
        QCOMPARE(song().events[2].pitch, uint8_t(24));
        QTest::keyClicks(view(), QStringLiteral("A7"));
        Key(Qt::Key_Return);
        QCOMPARE(song().events[2].pitch, uint8_t(95));

        // At the limit a length key on the end row and Insert say why nothing happened.
        song().count = kMaxEvents;
        view()->OnSongReplaced();
        view()->MoveCursorTo(kMaxEvents);
        Key(Qt::Key_F3);
        QCOMPARE(song().count, kMaxEvents);
        const QString limit =
            QStringLiteral("イベント数が上限（999）に達しているため追加できません");
        QCOMPARE(TakeFailure(), limit);
        view()->MoveCursorTo(3);
        Key(Qt::Key_Insert);
        QCOMPARE(TakeFailure(), limit);
        QVERIFY(frame->action(cmd::EditSelectAll)->isEnabled());
    }
};

int main(int argc, char** argv) {
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CKesApp app(argc, argv);
    EditTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "edit_test.moc"
