// The application hands its MIDI connection to the view it creates: the view opens it and
// receives its input, and the frame's MIDI commands follow the view from the start.
#include "app/commandids.h"
#include "app/kesapp.h"
#include "app/mainframe.h"
#include "document/kesdoc.h"
#include "view/kesview.h"

#include <QAction>
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
};

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CKesApp app(argc, argv);
    AppMidiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_midi_test.moc"
