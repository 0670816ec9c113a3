// Unsaved work kept through a crash: a child window killed with SIGKILL leaves its backup,
// which the next window offers back; saving, "do not save" and undo clean it up.
#include "app/commandids.h"
#include "app/kesapp.h"
#include "app/mainframe.h"
#include "app/recoveryoffer.h"
#include "document/autobackup.h"
#include "document/kesdoc.h"
#include "nextmodal.h"
#include "song/songcodec.h"
#include "view/kesview.h"

#include <QAction>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <csignal>
#include <cstdio>

using namespace std::chrono_literals;

namespace {

QString Folder() {
    return DefaultRecoveryFolder();
}

QStringList FilesIn(const QString& filter) {
    return QDir(Folder()).entryList({filter}, QDir::Files);
}

// A dead window's backup of a short song, untitled; answers the song file.
QString PlantBackup(const QString& id) {
    Song song;
    song.events[size_t(song.count++)] = {0, 0xC4, 0x30};
    const std::vector<uint8_t> bytes = EncodeSong(song);
    QFile file(Folder() + QLatin1Char('/') + id + QStringLiteral(".kes"));
    QFile header(Folder() + QLatin1Char('/') + id + QStringLiteral(".info"));
    if (!file.open(QIODevice::WriteOnly) || !header.open(QIODevice::WriteOnly))
        return {};
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    header.write("KesV recovery 1\npath=\nsaved=2026-01-02T03:04:05Z\n");
    return file.fileName();
}

// Answers the next question with the button of this text.
void Answer(const QString& button, QString* question = nullptr) {
    OnNextModal<QMessageBox>([button, question](QMessageBox* box) {
        if (question)
            *question = box->text();
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == button)
                b->click();
        }
    });
}

// A window that types three notes, says the song's bytes once they are backed up, and waits
// to be killed.
int RunCrashingWindow(CKesApp& app) {
    if (!app.InitInstance({}))
        return 1;
    app.GetMainFrame()->show();
    app.GetAutoBackup()->SetIntervals(20ms, 200ms);
    QObject::connect(app.GetAutoBackup(), &CAutoBackup::backupDone, [&app](bool written) {
        if (!written)
            return;
        const std::vector<uint8_t> song = EncodeSong(app.GetDocument()->GetSong());
        std::printf("%s\n",
                    QByteArray(reinterpret_cast<const char*>(song.data()), qsizetype(song.size()))
                        .toHex()
                        .constData());
        std::fflush(stdout);
    });
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(app.GetView(), Qt::Key_F3);
    return CKesApp::exec();
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

    CKesApp* m_app = nullptr;
    CMainFrame* frame() { return m_app->GetMainFrame(); }
    CKesDoc* doc() { return m_app->GetDocument(); }

    // Starts a window in a child process and kills it once its backup is written; answers
    // the song's bytes.
    QByteArray CrashAWindow() {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--crash-child")});
        if (!child.waitForStarted() || !child.waitForReadyRead(10000))
            return {};
        const QByteArray bytes = QByteArray::fromHex(child.readLine().trimmed());
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();
        return bytes;
    }

private Q_SLOTS:
    void initTestCase() { m_app = qobject_cast<CKesApp*>(QCoreApplication::instance()); }

    // The window started after the crash offers the song; 復元 brings its bytes back as a
    // modified untitled song. A second crash's file is discarded with 破棄.
    void crashedWindow_isOfferedAndRestored() {
        const QByteArray typed = CrashAWindow();
        QVERIFY(!typed.isEmpty());
        QCOMPARE(FilesIn(QStringLiteral("*.kes")).size(), 1);
        QString question;
        Answer(QStringLiteral("復元"), &question);
        QVERIFY(m_app->InitInstance({}));
        frame()->show();
        QTRY_VERIFY(doc()->IsModified());
        QVERIFY(question.contains(CMainFrame::UntitledName()));
        const std::vector<uint8_t> song = EncodeSong(doc()->GetSong());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(song.data()), qsizetype(song.size())),
                 typed);
        QVERIFY(doc()->GetPathName().isEmpty());
        QVERIFY(frame()->isWindowModified());
        // Only this window's own backup is left, and it holds the restored song.
        QCOMPARE(QStringList(FilesIn(QStringLiteral("*.kes"))),
                 QStringList(QFileInfo(m_app->GetAutoBackup()->SongFile()).fileName()));

        QVERIFY(!CrashAWindow().isEmpty());
        Answer(QStringLiteral("破棄"));
        OfferRecovery(frame(), m_app->GetAutoBackup(), Folder());
        QCOMPARE(FilesIn(QStringLiteral("*.kes")).size(), 1);
        QCOMPARE(FilesIn(QStringLiteral("*.info")).size(), 1);
    }

    // Saving, "do not save" and undoing back to the saved state each remove the backup.
    void saveDiscardAndUndo_removeTheBackup() {
        QTemporaryDir dir;
        CAutoBackup* backup = m_app->GetAutoBackup();
        backup->SetIntervals(10ms, 100ms);
        const QString song = backup->SongFile();
        QVERIFY(QFile::exists(song)); // the restored song of the test before
        QVERIFY(frame()->DoSave(dir.filePath(QStringLiteral("a.kes"))));
        QTRY_VERIFY(!QFile::exists(song));

        m_app->GetView()->MoveCursorTo(doc()->GetSong().count); // F3 there adds a note
        QTest::keyClick(m_app->GetView(), Qt::Key_F3);
        QTRY_VERIFY(QFile::exists(song));
        frame()->action(cmd::EditUndo)->trigger();
        QVERIFY(!doc()->IsModified());
        QTRY_VERIFY(!QFile::exists(song));

        QTest::keyClick(m_app->GetView(), Qt::Key_F3);
        QTRY_VERIFY(QFile::exists(song));
        OnNextModal<QMessageBox>(
            [](QMessageBox* box) { box->button(QMessageBox::Discard)->click(); });
        frame()->OnFileNew();
        QTRY_VERIFY(!QFile::exists(song));
    }

    // Two windows keep two files, both locked; the backup off writes none.
    void twoWindows_twoFilesAndSwitchOff() {
        CKesDoc first, second;
        CAutoBackup firstBackup(&first, Folder()), secondBackup(&second, Folder());
        for (CKesDoc* doc : {&first, &second}) {
            doc->GetSong().tempo = 0x60;
            doc->OnSongChanged();
        }
        firstBackup.BackUpNow();
        secondBackup.BackUpNow();
        QVERIFY(firstBackup.SongFile() != secondBackup.SongFile());
        QVERIFY(QFile::exists(firstBackup.SongFile()) && QFile::exists(secondBackup.SongFile()));
        QVERIFY(CRecoveryClaim::FindOrphans(Folder()).empty());
        secondBackup.SetEnabled(false);
        secondBackup.BackUpNow();
        QVERIFY(!QFile::exists(secondBackup.SongFile()));
    }

    // A damaged file is moved aside and said in the status bar; a state folder that cannot
    // be written is said once.
    void badCases_damagedFileAndUnwritableFolder() {
        QFile song(PlantBackup(QStringLiteral("1-dead")));
        QVERIFY(song.open(QIODevice::WriteOnly));
        song.write("not a song"); // under a sound header
        song.close();
        OfferRecovery(frame(), m_app->GetAutoBackup(), Folder());
        QVERIFY(QFile::exists(song.fileName() + QStringLiteral(".damaged")));
        QVERIFY(!QFile::exists(song.fileName()));
        QTRY_VERIFY(frame()->statusBar()->currentMessage().contains(QStringLiteral(".damaged")));

        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("state")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        CKesDoc doc;
        CAutoBackup backup(&doc, blocker.fileName() + QStringLiteral("/recovery"));
        QSignalSpy failed(&backup, &CAutoBackup::backupFailed);
        for (int i = 0; i < 2; ++i) {
            doc.OnSongChanged();
            QVERIFY(!backup.BackUpNow());
            // The writer posted its report before BackUpNow returned.
            QCoreApplication::sendPostedEvents(&backup, QEvent::MetaCall);
        }
        QCOMPARE(failed.size(), 1);
    }

    // A restored song's file stays until the song is safe elsewhere: with the backup off
    // until it is saved; with the backup failing (its cause named) until a later attempt
    // writes it, which also takes the failure's line back.
    void restore_keepsItsFileUntilTheSongIsSafe() {
        CAutoBackup* backup = m_app->GetAutoBackup();
        backup->SetEnabled(false);
        doc()->OnNewDocument();
        QString old = PlantBackup(QStringLiteral("5-off"));
        Answer(QStringLiteral("復元"));
        OfferRecovery(frame(), backup, Folder());
        QVERIFY(doc()->IsModified());
        QVERIFY(QFile::exists(old));
        QVERIFY(CRecoveryClaim::FindOrphans(Folder()).empty()); // still this window's
        QTRY_VERIFY(frame()->statusBar()->currentMessage().contains(QStringLiteral("5-off.kes")));
        QTemporaryDir dir;
        QVERIFY(frame()->DoSave(dir.filePath(QStringLiteral("r.kes"))));
        QVERIFY(!QFile::exists(old));

        doc()->OnNewDocument();
        old = PlantBackup(QStringLiteral("6-blocked"));
        QFile blocker(dir.filePath(QStringLiteral("state")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        CAutoBackup failing(doc(), blocker.fileName() + QStringLiteral("/recovery"));
        failing.SetIntervals(10ms, 50ms);
        ShowBackupFailures(frame(), &failing);
        Answer(QStringLiteral("復元"));
        OfferRecovery(frame(), &failing, Folder());
        QVERIFY(doc()->IsModified());
        QVERIFY(QFile::exists(old));
        QTRY_VERIFY(frame()->statusBar()->currentMessage().contains(QStringLiteral("6-blocked")));
        QVERIFY(frame()->statusBar()->currentMessage().contains(qt_error_string(ENOTDIR)));
        QVERIFY(blocker.remove());
        QTRY_VERIFY(!QFile::exists(old));
        QVERIFY(QFile::exists(failing.SongFile()));
        QTRY_VERIFY(frame()->statusBar()->currentMessage().isEmpty());
        doc()->OnNewDocument();
        backup->SetEnabled(true);
    }
};

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A child window shares the state folder of its parent, which it inherits.
    if (argc > 1 && qstrcmp(argv[1], "--crash-child") == 0) {
        CKesApp app(argc, argv);
        return RunCrashingWindow(app);
    }
    qputenv("XDG_STATE_HOME", home.filePath(QStringLiteral("state")).toLocal8Bit());
    CKesApp app(argc, argv);
    RecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "recovery_test.moc"
