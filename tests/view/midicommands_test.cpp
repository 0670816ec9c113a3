// Play, stop and record through the real frame and view: the commands' enabling and check
// mark, what a played song sends to a jack_midi_dump peer and when, and notes played into the
// input filling the song at the cursor while everything is echoed. The JACK cases need the
// private server that scripts/test.sh starts; without one they skip.
#include "app/commandids.h"
#include "app/mainframe.h"
#include "document/kesdoc.h"
#include "jackpeers.h"
#include "midi/midiconnection.h"
#include "nextmodal.h"
#include "settings/envsettings.h"
#include "song/musictime.h"
#include "view/drawhelpers.h"
#include "view/kesview.h"
#include "view/playbackcontrol.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QMetaMethod>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

using namespace std::chrono_literals;
using jackpeers::CChild;
using jackpeers::DumpEvent;

namespace {

constexpr uint32_t Msg(uint8_t status, uint8_t d1, uint8_t d2 = 0) {
    return PackShortMessage(status, d1, d2);
}

void AddEvents(Song& song, std::initializer_list<std::pair<uint8_t, uint8_t>> events) {
    for (const auto& [code, pitch] : events)
        song.events[size_t(song.count++)] = {0, code, pitch};
}

/// Milliseconds between two dump events at the server's 48 kHz.
double Ms(const DumpEvent& from, const DumpEvent& to) {
    return double(int64_t(to.frame) - int64_t(from.frame)) / 48.0;
}

std::vector<DumpEvent> NotesOnly(const std::vector<DumpEvent>& events) {
    std::vector<DumpEvent> notes;
    for (const DumpEvent& e : events) {
        const uint32_t kind = e.message & 0xF0;
        if (kind == 0x80 || kind == 0x90)
            notes.push_back(e);
    }
    return notes;
}

/// The dump's notes once there are `count` of them, or after 3 s; the event loop runs meanwhile,
/// as the timers of the user-interface thread need.
std::vector<DumpEvent> WaitForNotes(const std::string& file, size_t count) {
    std::vector<DumpEvent> notes;
    (void)QTest::qWaitFor(
        [&] {
            notes = NotesOnly(jackpeers::ReadDump(file));
            return notes.size() >= count;
        },
        3000);
    return notes;
}

/// Whether the notes are exactly a note-on (velocity 127) and note-off on channel 1 per key.
bool IsPairs(const std::vector<DumpEvent>& notes, std::initializer_list<uint8_t> keys) {
    if (notes.size() != keys.size() * 2)
        return false;
    size_t i = 0;
    for (uint8_t key : keys) {
        if (notes[i++].message != PackShortMessage(0x90, key, 127) ||
            notes[i++].message != PackShortMessage(0x80, key, 0))
            return false;
    }
    return true;
}

/// Keys still sounding after the events, on any channel.
std::vector<uint32_t> Sounding(const std::vector<DumpEvent>& events) {
    std::vector<uint32_t> on;
    for (const DumpEvent& e : events) {
        const uint32_t status = e.message & 0xFF;
        const uint32_t key = (status & 0x0F) << 8 | ((e.message >> 8) & 0x7F);
        const bool noteOn = (status & 0xF0) == 0x90 && ((e.message >> 16) & 0x7F) != 0;
        const bool noteOff = (status & 0xF0) == 0x80 || ((status & 0xF0) == 0x90 && !noteOn);
        if (noteOn)
            on.push_back(key);
        else if (noteOff)
            on.erase(std::remove(on.begin(), on.end(), key), on.end());
        else if ((status & 0xF0) == 0xB0 && ((e.message >> 8) & 0x7F) == 123) // all notes off
            on.erase(std::remove_if(on.begin(), on.end(),
                                    [&](uint32_t k) { return (k >> 8) == (status & 0x0F); }),
                     on.end());
    }
    return on;
}

/// The application's parts as KesV puts them together: the connection outlives the frame,
/// which owns the view.
struct CRig {
    CKesDoc doc;
    EnvSettings settings{};
    std::unique_ptr<CMidiConnection> connection;
    std::unique_ptr<CMainFrame> frame;
    CKesView* view = nullptr;

    CRig(const std::string& output, const std::string& input) {
        settings.SetDefaults();
        EnvSettings::SetNameField(settings.midiOutName, output);
        EnvSettings::SetNameField(settings.midiInName, input);
        connection = std::make_unique<CMidiConnection>();
        connection->SetDeviceNames(input, output);
        doc.OnNewDocument();
        frame = std::make_unique<CMainFrame>(&doc, settings);
        view = new CKesView(&doc, &settings, frame.get());
        frame->SetView(view);
        view->OnCreate(connection.get());
        frame->resize(700, 500);
        frame->show();
    }
    ~CRig() {
        frame.reset();
        connection.reset();
    }
    Song& song() { return doc.GetSong(); }
    QAction* play() const { return frame->action(cmd::MidiPlay); }
    QAction* stop() const { return frame->action(cmd::MidiStop); }
    QAction* record() const { return frame->action(cmd::MidiRecord); }

    /// The text of the failure box the frame shows, which is then closed; empty: none.
    QString TakeFailure() {
        auto* box = frame->findChild<QMessageBox*>(QStringLiteral("FailureBox"));
        if (!box || !box->isVisible())
            return {};
        const QString text = box->text();
        box->button(QMessageBox::Ok)->click();
        return text;
    }

    /// Types the keys into the cell of that row and column, then Enter.
    void Enter(int row, int column, const char* text) {
        view->MoveCursorTo(row);
        view->SetColumn(column);
        QTest::keyClicks(view, QString::fromLatin1(text));
        QTest::keyClick(view, Qt::Key_Return);
    }
};

} // namespace

class MidiCommandsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::string m_strTag = std::to_string(getpid());
    bool m_bJack = false;
    std::unique_ptr<jackpeers::CXrunCounter> m_pXruns;
    bool m_bRunLooked = false; // how the commands looked right after play, on the last run

    int m_nDump = 0;

    // Each test has a dump of its own name: JACK renames a client whose name is still taken
    // by one that is going away.
    std::string DumpClient() const {
        return "kesv-vdump-" + m_strTag + "-" + std::to_string(m_nDump);
    }
    std::string KeysClient() const { return "kesv-keys-" + m_strTag; }
    std::string File(const char* name) const {
        const QByteArray keep = qgetenv("KESV_KEEP_DUMPS"); // a folder, to look at them later
        if (!keep.isEmpty())
            return keep.toStdString() + "/" + name;
        return m_dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    /// A jack_midi_dump peer with frame times, listed as an output device.
    std::unique_ptr<CChild> StartDump(const std::string& file) {
        ++m_nDump;
        auto dump = std::make_unique<CChild>(
            std::vector<std::string>{"stdbuf", "-oL", "jack_midi_dump", "-a", DumpClient()}, file);
        if (!dump->Running() || !jackpeers::WaitForDevice(DumpClient() + ":input", false))
            return nullptr;
        return dump;
    }

    /// Plays the song to its end and gives the notes the dump received from this run. When a
    /// note is missing and the server missed cycles meanwhile (its peers may then lose
    /// events), the song is played again, at most twice more.
    std::vector<DumpEvent> PlayToTheEnd(CRig& rig, const std::string& file, size_t expected) {
        std::vector<DumpEvent> notes;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const size_t before = jackpeers::ReadDump(file).size();
            const int xruns = m_pXruns->Count();
            rig.play()->trigger();
            m_bRunLooked = !rig.play()->isEnabled() && rig.stop()->isEnabled() &&
                           rig.view->GetPlayback().IsPlaying();
            rig.view->OnMidiPlay(); // the command itself refuses a second run
            // The run ends by itself and play comes back without anyone touching anything.
            if (!QTest::qWaitFor([&] { return rig.play()->isEnabled(); }, 3000))
                return {};
            // Both notes, then the reset's two controllers on each of the 16 channels.
            const auto events = jackpeers::WaitForDump(file, before + expected + 32, 2s);
            notes =
                NotesOnly({events.begin() + long(std::min(before, events.size())), events.end()});
            if (notes.size() == expected || m_pXruns->Count() == xruns)
                break;
            qWarning("the server missed cycles while the song played; playing it again");
        }
        return notes;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_bJack = jackpeers::JackServerAnswers();
        if (m_bJack)
            m_pXruns = std::make_unique<jackpeers::CXrunCounter>("kesv-xruns-" + m_strTag);
    }

    void enabling_followsTheSlotAndTheConnection() {
        CRig rig("no such output", "no such input");
        // Opening at creation failed quietly: no box, no check mark.
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!rig.connection->IsOpen());
        QVERIFY(rig.play()->isEnabled());
        QVERIFY(!rig.stop()->isEnabled());
        QVERIFY(rig.record()->isEnabled());
        QVERIFY(!rig.record()->isChecked());

        // Stop while idle does nothing.
        rig.stop()->setEnabled(true);
        rig.stop()->trigger();
        QVERIFY(!rig.stop()->isEnabled());
        QVERIFY(!rig.view->GetPlayback().IsPlaying());
    }

    void play_withNoOutputChosenSaysWhereToChooseOne() {
        CRig rig("", "");
        AddEvents(rig.song(), {{0xC4, 51}});
        rig.play()->trigger();
        QCOMPARE(
            rig.TakeFailure(),
            QStringLiteral("MIDI 出力デバイスが選ばれていません（表示 → 動作環境 で選べます）"));
        QVERIFY(!rig.view->GetPlayback().IsPlaying());
    }

    void play_withoutTheOutputDeviceSaysSoInABox() {
        CRig rig("no such output", "");
        AddEvents(rig.song(), {{0xC4, 51}});
        rig.play()->trigger();
        QCOMPARE(rig.TakeFailure(), QStringLiteral("MIDI 出力デバイスが使用できません"));
        QVERIFY(!rig.view->GetPlayback().IsPlaying());
        QVERIFY(rig.play()->isEnabled());
        QVERIFY(!rig.stop()->isEnabled());
        QVERIFY(!rig.doc.IsModified());
    }

    // Ctrl+Space is the frame's: it plays from the cursor, or, while it can't, does nothing;
    // it never types a blank into the cell.
    void playFromCursor_keyBelongsToTheFrame() {
        CRig rig("no such output", "");
        AddEvents(rig.song(), {{0xC4, 51}});
        rig.view->UpdateScrollRange(-1);
        rig.view->SetColumn(2);
        rig.frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.frame.get()));
        QTest::keyClick(rig.view, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(rig.TakeFailure(), QStringLiteral("MIDI 出力デバイスが使用できません"));
        rig.frame->action(cmd::MidiPlayFromCursor)->setEnabled(false);
        QTest::keyClick(rig.view, Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(rig.view->GetEditor().PendingInput().empty());
        QVERIFY(!rig.doc.IsModified());
    }

    void record_withoutTheInputDeviceShowsTheFailureBox() {
        CRig rig("", "no such input");
        QString text, caption;
        QList<QAbstractButton*> buttons;
        bool checkedDuringBox = true;
        OnNextModal<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            caption = box->windowTitle();
            buttons = box->buttons();
            checkedDuringBox = rig.record()->isChecked();
            box->button(QMessageBox::Ok)->click();
        });
        rig.record()->trigger();
        QCOMPARE(text, QStringLiteral("MIDI 入力デバイスが使用できません"));
        QCOMPARE(caption, QStringLiteral("OKT:MIDI録音"));
        QCOMPARE(buttons.size(), 1);
        QVERIFY(!checkedDuringBox);
        QVERIFY(!rig.record()->isChecked());
        QVERIFY(!rig.connection->IsOpen());

        // None chosen is no broken device: the box says where to choose one.
        CRig none("", "");
        OnNextModal<QMessageBox>([&text](QMessageBox* box) {
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        none.record()->trigger();
        QCOMPARE(text, QStringLiteral(
                           "MIDI 入力デバイスが選ばれていません（表示 → 動作環境 で選べます）"));
    }

    void recording_noteOnsFillTheSongAtTheCursor() {
        CRig rig("", "");
        CKesView& view = *rig.view;
        // Empty song, end row: a new event of code C0 takes the pitch; the cursor follows.
        view.OnMidiInData(Msg(0x90, 60, 100));
        QCOMPARE(rig.song().count, 1);
        QCOMPARE(int(rig.song().events[0].code), 0xC0);
        QCOMPARE(int(rig.song().events[0].pitch), 51);
        QCOMPARE(view.Cursor().row, 1);
        QVERIFY(rig.doc.IsModified());

        // Neither releases, velocity 0, other messages nor keys outside 10..104 enter anything.
        for (uint32_t m : {Msg(0x80, 60, 0), Msg(0x90, 62, 0), Msg(0x90, 9, 100),
                           Msg(0x90, 105, 100), Msg(0xB0, 7, 90), Msg(0xC0, 5), Msg(0xE0, 0, 64)})
            view.OnMidiInData(m);
        QCOMPARE(rig.song().count, 1);
        QCOMPARE(view.Cursor().row, 1);

        // Any channel; the lowest and highest keys; an appended note copies the last code.
        rig.song().events[0].code = 0xC4;
        view.OnMidiInData(Msg(0x9F, 10, 1));
        view.OnMidiInData(Msg(0x93, 104, 127));
        QCOMPARE(rig.song().count, 3);
        QCOMPARE(int(rig.song().events[1].code), 0xC4);
        QCOMPARE(int(rig.song().events[1].pitch), 1);
        QCOMPARE(int(rig.song().events[2].pitch), 95);
        QCOMPARE(view.Cursor().row, 3);

        // On an existing rest the pitch changes and the code stays.
        AddEvents(rig.song(), {{0xC6, kPitchRest}});
        view.UpdateScrollRange(-1);
        view.MoveCursorTo(3);
        view.OnMidiInData(Msg(0x90, 62, 64));
        QCOMPARE(rig.song().count, 4);
        QCOMPARE(int(rig.song().events[3].code), 0xC6);
        QCOMPARE(int(rig.song().events[3].pitch), 53);
        QCOMPARE(view.Cursor().row, 4);

        // A full song takes nothing more at its end row.
        rig.song().count = kMaxEvents;
        view.UpdateScrollRange(-1);
        view.MoveCursorTo(kMaxEvents);
        const Song before = rig.song();
        view.OnMidiInData(Msg(0x90, 64, 100));
        QVERIFY(rig.song() == before);
        QCOMPARE(view.Cursor().row, kMaxEvents);
    }

    void jack_play_oneNoteSongReachesThePeerAtItsTimes() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-one.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        CRig rig(DumpClient() + ":input", "");
        AddEvents(rig.song(), {{0xC4, 51}}); // a quarter C 4 at tempo 120

        const auto notes = PlayToTheEnd(rig, file, 2);
        QVERIFY(m_bRunLooked); // play disabled, stop enabled, the slot set
        QVERIFY(rig.play()->isEnabled());
        QVERIFY(!rig.stop()->isEnabled());
        QVERIFY(!rig.view->GetPlayback().IsPlaying());
        QCOMPARE(notes.size(), size_t(2));
        QCOMPARE(notes[0].message, Msg(0x90, 60, 127));
        QCOMPARE(notes[1].message, Msg(0x80, 60, 0));
        const double gap = Ms(notes[0], notes[1]);
        QVERIFY2(gap > 494 - 20 && gap < 494 + 20, qPrintable(QString::number(gap)));
    }

    void jack_play_tiedNotesSoundAsOneAndPlayWhilePlayingAddsNothing() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-tie.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        CRig rig(DumpClient() + ":input", "");
        AddEvents(rig.song(), {{0xC4, kPitchTie}, {0xC4, 51}}); // two quarters tied
        rig.song().tempo = TempoToByte(240);

        // Play while playing adds nothing: one note-on and one note-off in all.
        const auto notes = PlayToTheEnd(rig, file, 2);
        QVERIFY(m_bRunLooked);
        QCOMPARE(notes.size(), size_t(2));
        QCOMPARE(notes[0].message, Msg(0x90, 60, 127));
        QCOMPARE(notes[1].message, Msg(0x80, 60, 0));
        const double gap = Ms(notes[0], notes[1]); // tick 955 at 250 ms a quarter
        QVERIFY2(gap > 497 - 20 && gap < 497 + 20, qPrintable(QString::number(gap)));
    }

    void jack_play_emptySongEndsAtOnce() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-empty.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        CRig rig(DumpClient() + ":input", "");
        rig.play()->trigger();
        QVERIFY(!rig.view->GetPlayback().IsPlaying());
        QVERIFY(rig.play()->isEnabled());
        QVERIFY(!rig.stop()->isEnabled());
        QVERIFY(rig.frame->statusBar()->currentMessage().isEmpty());
        QTest::qWait(100);
        QVERIFY(NotesOnly(jackpeers::ReadDump(file)).empty());
    }

    void jack_stop_inTheMiddleSendsNothingMoreAndSilences() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-stop.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        CRig rig(DumpClient() + ":input", "");
        AddEvents(rig.song(), {{0xC2, 51}, {0xC4, 53}}); // a half note, then a quarter at 1 s

        rig.play()->trigger();
        QVERIFY(!jackpeers::WaitForDump(file, 1, 2s).empty());
        rig.stop()->trigger();
        QVERIFY(!rig.view->GetPlayback().IsPlaying());
        QVERIFY(rig.play()->isEnabled());
        QVERIFY(!rig.stop()->isEnabled());

        QTest::qWait(1200); // past the second note's time
        const auto events = jackpeers::ReadDump(file);
        const auto notes = NotesOnly(events);
        QCOMPARE(notes.size(), size_t(2));
        QCOMPARE(notes[0].message, Msg(0x90, 60, 127));
        QCOMPARE(notes[1].message, Msg(0x80, 60, 0));
        QVERIFY(Ms(notes[0], notes[1]) < 900); // the stop's release, not the song's
        QVERIFY(Sounding(events).empty());
    }

    // Bytes below 67 give no positive tempo; such a song plays at the slowest tempo instead
    // of dividing by zero or running all its notes at once.
    void jack_play_tempoByteWithoutAPositiveTempoPlaysSlowly_data() {
        QTest::addColumn<int>("tempoByte");
        QTest::newRow("66: tempo 0") << 66;
        QTest::newRow("0: tempo -132") << 0;
    }
    void jack_play_tempoByteWithoutAPositiveTempoPlaysSlowly() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        QFETCH(int, tempoByte);
        const std::string file = File("dump-slow.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        CRig rig(DumpClient() + ":input", "");
        AddEvents(rig.song(), {{0xCD, 51}, {0xCD, 53}}); // two 128th notes
        rig.song().tempo = uint8_t(tempoByte);
        rig.play()->trigger();
        QVERIFY(rig.view->GetPlayback().IsPlaying());
        QVERIFY(!jackpeers::WaitForDump(file, 1, 2s).empty());
        QTest::qWait(200);
        QVERIFY(rig.view->GetPlayback().IsPlaying()); // 15 ticks at 60 s a quarter: still the first
        rig.stop()->trigger();
        QTest::qWait(100);
        const auto events = jackpeers::ReadDump(file);
        const auto notes = NotesOnly(events);
        QCOMPARE(notes.size(), size_t(2));
        QCOMPARE(notes[0].message, Msg(0x90, 60, 127));
        QVERIFY(Sounding(events).empty());
    }

    void jack_close_whilePlayingLeavesNoNoteSounding() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-close.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        {
            CRig rig(DumpClient() + ":input", "");
            AddEvents(rig.song(), {{0xC1, 51}, {0xC1, 53}});
            rig.play()->trigger();
            QVERIFY(!jackpeers::WaitForDump(file, 1, 2s).empty());
        } // the frame and its view go while the first note sounds
        QTest::qWait(300);
        const auto events = jackpeers::ReadDump(file);
        QCOMPARE(NotesOnly(events).size(), size_t(2));
        QVERIFY(Sounding(events).empty());
    }

    // While a song plays its row is marked and the staff panel turns to the played bar once
    // the play leaves the bars it shows; the cursor, the typed text and editing stay as they are.
    void jack_play_markedRowAdvancesAndTheStaffFollows() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-position.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        CRig rig(DumpClient() + ":input", "");
        // Eight bars of eighths at tempo 240, a rest among them: 2 s, more than the panel shows.
        for (int i = 0; i < 32; ++i)
            AddEvents(rig.song(), {{0xC6, uint8_t(i == 5 ? kPitchRest : 40 + i % 12)}});
        rig.song().tempo = TempoToByte(240);
        ComputeStartTicks(rig.song());
        CKesView& view = *rig.view;
        view.UpdateScrollRange(-1);
        view.MoveCursorTo(2);
        QTest::keyClick(&view, Qt::Key_5);
        const int typed = int(view.GetEditor().PendingInput().size());
        QVERIFY(typed > 0);
        QCOMPARE(view.GetStaffOriginRow(), 2);

        struct Seen {
            int row, marked, staffRow;
        };
        std::vector<Seen> seen;
        connect(&view.GetPlayback(), &CPlaybackControl::playRowChanged, this, [&](int row) {
            seen.push_back({row, view.GetMarkedPlayRow(), view.GetStaffOriginRow()});
            if (seen.size() == 3)
                QTest::keyClick(&view, Qt::Key_5); // editing goes on while the song plays
        });
        rig.play()->trigger();
        QVERIFY(QTest::qWaitFor([&] { return rig.play()->isEnabled(); }, 5000));

        QVERIFY2(seen.size() >= 4, qPrintable(QString::number(seen.size())));
        const Song& song = rig.song();
        const uint32_t ticksPerBar = uint32_t(rig.settings.GetTicksPerBar());
        int last = -1;
        for (size_t i = 0; i + 1 < seen.size(); ++i) {
            QVERIFY(seen[i].row > last && seen[i].row < song.count); // forward, one row at a time
            QCOMPARE(seen[i].marked, seen[i].row);
            QVERIFY(song.events[size_t(seen[i].staffRow)].startTick / ticksPerBar <=
                    song.events[size_t(seen[i].row)].startTick / ticksPerBar);
            last = seen[i].row;
        }
        QVERIFY2(last >= 24, qPrintable(QString::number(last))); // into the last two bars
        // The panel left the cursor's bar for the played one.
        QVERIFY(std::any_of(seen.begin(), seen.end(),
                            [&](const Seen& s) { return s.staffRow == s.row && s.row > 16; }));
        // After the run: no mark, the panel back at the cursor, the cursor and the text kept.
        QCOMPARE(seen.back().row, -1);
        QCOMPARE(view.GetMarkedPlayRow(), -1);
        QCOMPARE(view.Cursor().row, 2);
        QCOMPARE(view.GetStaffOriginRow(), 2);
        QCOMPARE(int(view.GetEditor().PendingInput().size()), typed + 1);
    }

    // A pitch entered by hand sounds once: note-on at once, note-off after the event's length at
    // the song's tempo (at most 1 s) or when the next entered note starts; nothing with the
    // item off or while a song plays.
    void jack_audition_typedNameHexAndPageUpEachSoundOnePair() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-audition.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        CRig rig(DumpClient() + ":input", "");
        AddEvents(rig.song(), {{0xC6, 51}, {0xC0, 51}, {0xC4, 51}}); // eighth, whole, quarter
        rig.view->UpdateScrollRange(-1);

        rig.Enter(0, 2, "E4");                     // pitch 55, 250 ms at tempo 120
        rig.Enter(1, 1, "3C");                     // pitch 60, a whole note cut at 1 s
        QTest::keyClick(rig.view, Qt::Key_PageUp); // 61
        QTest::keyClick(rig.view, Qt::Key_PageUp); // 62, sounding its full 1 s
        auto notes = WaitForNotes(file, 8);
        QVERIFY(IsPairs(notes, {64, 69, 70, 71}));
        QVERIFY(Ms(notes[0], notes[1]) < 100 && Ms(notes[4], notes[5]) < 100);
        QVERIFY(std::abs(Ms(notes[6], notes[7]) - 1000) < 30);

        rig.frame->action(cmd::MidiAudition)->trigger(); // off
        rig.Enter(2, 2, "G5");
        rig.frame->action(cmd::MidiAudition)->trigger();
        rig.Enter(2, 2, "C5"); // alone: its whole quarter
        notes = WaitForNotes(file, 10);
        QVERIFY(IsPairs({notes.begin() + 8, notes.end()}, {72}));
        QVERIFY(std::abs(Ms(notes[8], notes[9]) - 500) < 30);

        rig.play()->trigger(); // the eighth E 4 first
        QVERIFY(WaitForNotes(file, 11).size() == 11);
        rig.Enter(1, 2, "A5");
        QTest::keyClick(rig.view, Qt::Key_PageUp);
        QVERIFY(QTest::qWaitFor([&] { return rig.play()->isEnabled(); }, 5000));
        notes = NotesOnly(jackpeers::ReadDump(file));
        QVERIFY(IsPairs({notes.begin() + 10, notes.end()}, {64, 71, 72})); // the song as it started
        QCOMPARE(int(rig.song().events[1].pitch), 73);
    }

    // From the cursor the run starts with the cursor row, a tie run joined with the note it
    // leads to; a selection plays its rows only. Ctrl+Space reaches the command, not the cell.
    void jack_playFromCursor_sendsTheRowsFromThereOrTheSelection() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-from-cursor.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        CRig rig(DumpClient() + ":input", "");
        AddEvents(rig.song(), {{0xC6, 51}, {0xC6, 53}, {0xC6, kPitchTie}, {0xC6, 55}, {0xC6, 57}});
        rig.song().tempo = TempoToByte(240);
        rig.view->UpdateScrollRange(-1);
        rig.frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.frame.get()));

        rig.view->MoveCursorTo(2);
        QTest::keyClick(rig.view, Qt::Key_Space, Qt::ControlModifier);
        auto notes = WaitForNotes(file, 4);
        QVERIFY(IsPairs(notes, {64, 66}));
        // Two eighths less 5 ticks at 250 ms a quarter.
        QVERIFY(std::abs(Ms(notes[0], notes[1]) - 247) < 20);

        QVERIFY(QTest::qWaitFor([&] { return rig.play()->isEnabled(); }, 3000));
        rig.view->SelectRows(0, 1);
        QTest::keyClick(rig.view, Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return rig.play()->isEnabled(); }, 3000));
        QTest::qWait(100);
        notes = NotesOnly(jackpeers::ReadDump(file));
        QVERIFY(IsPairs({notes.begin() + 4, notes.end()}, {60, 62}));
    }

    // Played with Ctrl+Space, each selected row shows the play mark while it plays, over the
    // selection's highlight.
    void jack_playSelection_marksEachPlayedRow() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-selection-mark.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        CRig rig(DumpClient() + ":input", "");
        AddEvents(rig.song(), {{0xC4, 51}, {0xC4, 53}, {0xC4, 55}, {0xC4, 57}, {0xC4, 59}});
        CKesView& view = *rig.view;
        view.UpdateScrollRange(-1);
        rig.frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.frame.get()));
        view.SelectRows(1, 3);

        // The marker box's top left inside its frame, where the mark is green.
        const QColor green = PlayMarkColor(view.palette());
        std::vector<std::pair<int, QColor>> seen;
        connect(&view.GetPlayback(), &CPlaybackControl::playRowChanged, this, [&](int row) {
            if (row < 0)
                return;
            const QImage image = view.viewport()->grab().toImage();
            const int top = view.GetRowTop(row - view.GetScrollPosition());
            seen.push_back({row, image.pixelColor(3, top + 3)});
        });
        QTest::keyClick(&view, Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(view.GetPlayback().IsPlaying());
        QVERIFY(QTest::qWaitFor([&] { return rig.play()->isEnabled(); }, 5000));
        QCOMPARE(seen.size(), size_t(3));
        for (size_t i = 0; i < seen.size(); ++i) {
            QCOMPARE(seen[i].first, int(i) + 1);
            QCOMPARE(seen[i].second, green);
        }
    }

    void jack_recording_throughJackFillsTheSongAndEchoesEverything() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        const std::string file = File("dump-rec.txt");
        auto dump = StartDump(file);
        QVERIFY(dump);
        auto keys = std::make_unique<jackpeers::CJackKeyboard>(KeysClient());
        QVERIFY(keys->IsOpen());
        QVERIFY(jackpeers::WaitForDevice(KeysClient() + ":out", true));

        CRig rig(DumpClient() + ":input", KeysClient() + ":out");
        QVERIFY(rig.connection->IsOpen()); // opened when the view was created
        QVERIFY(rig.record()->isChecked());

        const std::vector<uint32_t> played = {
            Msg(0x90, 69, 100), Msg(0x80, 69, 0),  Msg(0x90, 62, 0),
            Msg(0x91, 64, 90),  Msg(0x90, 9, 100), Msg(0x90, 105, 80),
            Msg(0xB0, 64, 127), Msg(0x81, 64, 0),  Msg(0x9F, 72, 1)};
        for (uint32_t m : played)
            QVERIFY(keys->Send(m));
        QTRY_COMPARE_WITH_TIMEOUT(rig.song().count, 3, 3000);
        QCOMPARE(int(rig.song().events[0].pitch), 60);
        QCOMPARE(int(rig.song().events[1].pitch), 55);
        QCOMPARE(int(rig.song().events[2].pitch), 63);
        QCOMPARE(rig.view->Cursor().row, 3);
        QVERIFY(rig.doc.IsModified());

        const std::vector<DumpEvent> echoed = jackpeers::WaitForDump(file, played.size(), 3s);
        QVERIFY(echoed.size() >= played.size());
        for (size_t i = 0; i < played.size(); ++i)
            QCOMPARE(echoed[i].message, played[i]);

        // Record off: the input is closed and nothing more arrives.
        rig.record()->trigger();
        QVERIFY(!rig.record()->isChecked());
        QVERIFY(!rig.connection->IsOpen());
        QVERIFY(keys->Send(Msg(0x90, 70, 100)));
        QTest::qWait(200);
        QCOMPARE(rig.song().count, 3);
        // And on again, with the view as the receiver.
        rig.record()->trigger();
        QVERIFY(rig.record()->isChecked());
        QVERIFY(keys->Send(Msg(0x90, 71, 100)));
        QTRY_COMPARE_WITH_TIMEOUT(rig.song().count, 4, 3000);
        QCOMPARE(int(rig.song().events[3].pitch), 62);
    }

    // A cycle the server misses while recording may have lost what was played: the status bar
    // says so. A client of the test holds up one cycle of the server to cause it.
    void jack_recording_missedCycleIsReportedInTheStatusBar() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        jackpeers::CJackKeyboard keys(KeysClient());
        QVERIFY(keys.IsOpen());
        QVERIFY(jackpeers::WaitForDevice(KeysClient() + ":out", true));
        CRig rig("", KeysClient() + ":out");
        QVERIFY(rig.connection->IsOpen());
        QVERIFY(keys.Send(Msg(0x90, 60, 100)));
        QTRY_COMPARE_WITH_TIMEOUT(rig.song().count, 1, 3000);
        rig.frame->statusBar()->clearMessage();

        const int xruns = m_pXruns->Count();
        jackpeers::CJackStall stall("kesv-stall-" + m_strTag);
        QVERIFY(stall.IsOpen());
        stall.Stall(std::chrono::milliseconds(50));
        QVERIFY2(QTest::qWaitFor([&] { return m_pXruns->Count() != xruns; }, 3000),
                 "the server reported no missed cycle");
        QTRY_COMPARE_WITH_TIMEOUT(
            rig.frame->statusBar()->currentMessage(),
            QStringLiteral(
                "録音中に MIDI 入力の一部が失われたかもしれません（処理が間に合いませんでした）"),
            3000);
        // Recording goes on.
        QVERIFY(keys.Send(Msg(0x90, 62, 100)));
        QTRY_COMPARE_WITH_TIMEOUT(rig.song().count, 2, 3000);
    }

    // Thousands of messages, one, seven (spread over the cycle) and a hundred (chords on all
    // sixteen channels, on one frame) a cycle: each is echoed, in order, and each note-on is
    // in the song. Where the server missed a cycle meanwhile (a peer may then lose messages
    // on their way to us), the status bar must say so and the round is played again.
    void jack_recording_soakOfBurstsIsEchoedAndRecordedWhole() {
        if (!m_bJack)
            QSKIP("no JACK server: run under scripts/test.sh, which starts a private one");
        jackpeers::CJackKeyboard keys(KeysClient());
        QVERIFY(keys.IsOpen());
        QVERIFY(jackpeers::WaitForDevice(KeysClient() + ":out", true));
        QVERIFY(jackpeers::WaitForDevice(KeysClient() + ":in", false));
        CRig rig(KeysClient() + ":in", KeysClient() + ":out");
        QVERIFY(rig.connection->IsOpen());
        CKesView& view = *rig.view;

        struct Round {
            const char* name;
            size_t perCycle;
            bool spread;
            std::vector<uint32_t> messages;
        };
        std::vector<Round> rounds = {{"one a cycle", 1, false, {}},
                                     {"seven a cycle, spread", 7, true, {}},
                                     {"a hundred a cycle, on one frame", 100, false, {}}};
        for (int i = 0; i < 200; ++i) { // a note on and off, over all channels and keys
            const auto status = uint8_t(i % 16), key = uint8_t(10 + i * 7 % 95);
            rounds[0].messages.push_back(Msg(0x90 | status, key, uint8_t(1 + i % 127)));
            rounds[0].messages.push_back(Msg(0x80 | status, key, 0));
        }
        for (int i = 0; i < 700; ++i) {
            const auto status = uint8_t(i % 16), key = uint8_t(10 + i * 11 % 95);
            rounds[1].messages.push_back(Msg(0x90 | status, key, 100));
            rounds[1].messages.push_back(i % 5 == 0 ? Msg(0xB0 | status, 64, 0)
                                                    : Msg(0x90 | status, key, 0));
        }
        for (int chord = 0; chord < 9; ++chord) { // 100 notes struck at once, then released
            for (uint32_t off : {0u, 1u}) {
                for (int n = 0; n < 100; ++n) {
                    const auto status = uint8_t((off ? 0x80 : 0x90) | n % 16);
                    rounds[2].messages.push_back(Msg(status, uint8_t(30 + chord + n / 16), 90));
                }
            }
        }

        size_t echoed = 0, recorded = 0;
        for (const Round& round : rounds) {
            const auto noteOn = [](uint32_t m) { return (m & 0xF0) == 0x90 && (m >> 16) != 0; };
            const auto notes =
                size_t(std::count_if(round.messages.begin(), round.messages.end(), noteOn));
            QVERIFY(notes <= size_t(kMaxEvents));
            bool whole = false;
            for (int attempt = 0; attempt < 3 && !whole; ++attempt) {
                rig.song().count = 0;
                view.UpdateScrollRange(-1);
                view.MoveCursorTo(0);
                rig.frame->statusBar()->clearMessage();
                const int xruns = m_pXruns->Count();
                const size_t before = keys.ArrivalCount();
                keys.SetPacing(round.perCycle, round.spread);
                for (uint32_t message : round.messages) {
                    while (!keys.Send(message))
                        QTest::qWait(1);
                }
                // Bounds a run that lost messages; a complete one ends as soon as all are in.
                const bool arrived = QTest::qWaitFor(
                    [&] {
                        return keys.ArrivalCount() - before >= round.messages.size() &&
                               size_t(rig.song().count) >= notes;
                    },
                    20000);
                std::vector<uint32_t> heard;
                for (size_t i = before; i < keys.ArrivalCount(); ++i)
                    heard.push_back(keys.GetArrival(i).message);
                whole = arrived && heard == round.messages && size_t(rig.song().count) == notes;
                if (m_pXruns->Count() == xruns) {
                    QVERIFY2(heard.size() == round.messages.size(),
                             qPrintable(QStringLiteral("%1: %2 of %3 echoed")
                                            .arg(QString::fromLatin1(round.name))
                                            .arg(heard.size())
                                            .arg(round.messages.size())));
                    QVERIFY2(whole, round.name);
                } else if (!whole) {
                    QVERIFY2(QTest::qWaitFor(
                                 [&] {
                                     return rig.frame->statusBar()->currentMessage().contains(
                                         QStringLiteral("失われた"));
                                 },
                                 3000),
                             "input was lost and the status bar does not say so");
                    qWarning("%s: the server missed cycles and messages were lost; again",
                             round.name);
                }
            }
            QVERIFY2(whole, round.name);
            size_t on = 0;
            for (uint32_t message : round.messages) {
                if (noteOn(message))
                    QCOMPARE(int(rig.song().events[on++].pitch), int((message >> 8) & 0x7F) - 9);
            }
            echoed += round.messages.size();
            recorded += notes;
        }
        qInfo("soak: %zu messages echoed, %zu notes recorded", echoed, recorded);
    }
};

// `--jack` runs the cases against a JACK server (named jack_…), `--no-jack` all the others:
// a new case joins its group by its name.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MidiCommandsTest test;
    QStringList arguments = app.arguments();
    const bool jackOnly = arguments.removeAll(QStringLiteral("--jack")) > 0;
    const bool othersOnly = arguments.removeAll(QStringLiteral("--no-jack")) > 0;
    if (jackOnly || othersOnly) {
        const QMetaObject* meta = test.metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            const QString name = QString::fromLatin1(method.name());
            if (method.methodType() != QMetaMethod::Slot || name.startsWith(u"init") ||
                name.startsWith(u"cleanup") || name.endsWith(u"_data"))
                continue;
            if (name.startsWith(u"jack_") == jackOnly)
                arguments.append(name);
        }
    }
    return QTest::qExec(&test, arguments);
}

#include "midicommands_test.moc"
