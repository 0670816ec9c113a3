// The application hands its MIDI connection to the view it creates: the view opens it and
// receives its input, and the frame's MIDI commands follow the view from the start.
#include "app/commandids.h"
#include "app/kesapp.h"
#include "app/mainframe.h"
#include "document/kesdoc.h"
#include "midi/midisetup.h"
#include "song/song.h"
#include "view/kesview.h"

#include <QAction>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class AppMidiTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void application_givesTheViewItsConnection() {
        CKesApp* app = qobject_cast<CKesApp*>(QCoreApplication::instance());
        QVERIFY(app->InitInstance({}));
        CKesView* view = app->GetView();
        QCOMPARE(view->GetMidiConnection(), &app->GetMidiConnection());
        // No input device is named in fresh settings: recording stays off, quietly.
        QVERIFY(!app->GetMidiConnection().IsOpen());
        CMainFrame* frame = app->GetMainFrame();
        QVERIFY(frame->action(cmd::MidiPlay)->isEnabled());
        QVERIFY(!frame->action(cmd::MidiStop)->isEnabled());
        QVERIFY(frame->action(cmd::MidiRecord)->isEnabled());
        QVERIFY(!frame->action(cmd::MidiRecord)->isChecked());
    }

    // A first start has no settings file: play sounds through the built-in synthesizer, without
    // a message, and the synthesizer's audio reaches the (test's) JACK server.
    void freshProfile_playSoundsThroughTheBuiltinSynth() {
        QProcess lsp;
        lsp.start(QStringLiteral("jack_lsp"), {});
        if (!lsp.waitForFinished(5000) || lsp.exitCode() != 0)
            QSKIP("no JACK server for the synthesizer's audio");
        CKesApp* app = qobject_cast<CKesApp*>(QCoreApplication::instance());
        Song& song = app->GetDocument()->GetSong();
        song.events[0] = {0, 0xC4, 0x33};
        song.events[1] = {0, 0xC4, 0x35};
        song.count = 2;
        app->GetDocument()->OnSongChanged();
        QSignalSpy messages(app->GetView(), &CKesView::statusMessage);
        CMainFrame* frame = app->GetMainFrame();
        frame->action(cmd::MidiPlay)->trigger();
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), QString());
        QVERIFY(frame->action(cmd::MidiStop)->isEnabled());
        lsp.start(QStringLiteral("jack_lsp"), {});
        QVERIFY(lsp.waitForFinished(5000));
        QVERIFY2(lsp.readAllStandardOutput().contains("KesV Synth:"),
                 "the built-in synthesizer plays into the sound server");
        frame->action(cmd::MidiStop)->trigger();
    }
};

int main(int argc, char** argv) {
    PrepareMidiEnvironment(); // as the program's main does
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CKesApp app(argc, argv);
    AppMidiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_midi_test.moc"
