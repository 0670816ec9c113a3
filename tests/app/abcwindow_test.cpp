// ABC notation in the window: a file of several tunes imported through the tune choice, a bad
// file's message, a tune pasted from the clipboard and the song copied out as ABC.
#include "app/commandids.h"
#include "app/exchangecommands.h"
#include "app/kesapp.h"
#include "app/mainframe.h"
#include "document/kesdoc.h"
#include "formats/abc.h"
#include "nextmodal.h"
#include "view/kesview.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>
#include <QUrl>

class AbcWindowTest : public QObject {
    Q_OBJECT

private:
    CKesApp* m_app = nullptr;
    QTemporaryDir m_dir;

    CMainFrame* frame() { return m_app->GetMainFrame(); }
    Song& song() { return m_app->GetDocument()->GetSong(); }
    QUndoStack* stack() { return m_app->GetDocument()->GetUndoStack(); }
    QString Status() { return frame()->statusBar()->currentMessage(); }

    // A new song of these code and pitch byte pairs, nothing to undo.
    void NewSong(const QByteArray& pairs) {
        m_app->GetDocument()->OnNewDocument();
        for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
            song().events[size_t(song().count++)] = {0, uint8_t(pairs[i]), uint8_t(pairs[i + 1])};
        m_app->GetDocument()->OnSongChanged();
        m_app->GetView()->OnSongReplaced();
    }
    static QByteArray Events(const Song& song, int first = 0, int count = kMaxEvents) {
        QByteArray pairs;
        for (int i = first; i < std::min(song.count, first + count); ++i)
            pairs.append(char(song.events[size_t(i)].code))
                .append(char(song.events[size_t(i)].pitch));
        return pairs;
    }
    QString WriteFile(const QString& name, const QByteArray& text) {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? file.fileName()
                                                                                  : QString();
    }
    void Trigger(int command) { frame()->action(command)->trigger(); }

private Q_SLOTS:
    void initTestCase() {
        m_app = qobject_cast<CKesApp*>(QCoreApplication::instance());
        QVERIFY(m_app && m_app->InitInstance({}));
        frame()->show();
        QVERIFY(QTest::qWaitForWindowActive(frame()));
    }

    // Two tunes are listed (number, title, key, metre, events); Escape reads nothing, the
    // second row reads the second tune as one step. A bad file's message names the line and
    // column and leaves the song alone. A dropped .abc file is taken.
    void importFile_tuneChosenAndErrorsPlaced() {
        NewSong("\xC4\x28\xC4\x29");
        const QString path =
            WriteFile(QStringLiteral("two.abc"),
                      "X:1\nT:First\nM:4/4\nL:1/4\nK:C\nCDEF|\n\n"
                      "X:7\nT:Second\nT:Subtitle\nM:3/4\nL:1/8\nQ:1/4=90\nK:G\nB2 A2 G2|d6|]\n");
        OnNextModal<QDialog>([](QDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        QVERIFY(!frame()->OpenOrImportFile(path));
        QCOMPARE(song().count, 2);

        QStringList rows;
        OnNextModal<QDialog>([&rows](QDialog* dialog) {
            QVERIFY(dialog->inherits("CTuneChoiceDlg"));
            const auto* list = dialog->findChild<QTreeWidget*>();
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                QStringList cells;
                for (int c = 0; c < list->columnCount(); ++c)
                    cells << list->topLevelItem(i)->text(c);
                rows << cells.join(QLatin1Char('|'));
            }
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Down);
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        });
        QVERIFY(frame()->OpenOrImportFile(path));
        QCOMPARE(rows, QStringList({QStringLiteral("1|First|C|4/4|4"),
                                    QStringLiteral("7|Second|G|3/4|4")}));
        QCOMPARE(stack()->count(), 1);
        // B A G quarters and a dotted half in G major; pitches are MIDI keys less 9.
        QCOMPARE(Events(song()), QByteArray("\xC4\x3E\xC4\x3C\xC4\x3A\xC1\x41"));
        QCOMPARE(song().title, std::string("Second"));
        QCOMPARE(int(song().tempo), 111); // 90 a minute
        // Save As offers the tune's own name beside it, until New.
        const QFileInfo imported(path);
        QCOMPARE(
            frame()->SuggestedSongPath(),
            imported.absoluteDir().filePath(imported.completeBaseName() + QStringLiteral(".kes")));
        QVERIFY(Status().startsWith(QStringLiteral("ABC ファイルを読み込みました")));

        QString text;
        OnNextModal<QMessageBox>([&text](QMessageBox* box) {
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        QVERIFY(!frame()->OpenOrImportFile(
            WriteFile(QStringLiteral("bad.abc"), "X:1\nT:Bad\nK:D\nDEF ag]f|\n")));
        QVERIFY2(text.contains(QStringLiteral("4 行 7 列: 予期しない「]」")), qPrintable(text));
        QCOMPARE(stack()->count(), 1);

        QMimeData drop;
        drop.setUrls({QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("x.txt"))),
                      QUrl::fromLocalFile(path)});
        QCOMPARE(CExchangeCommands::DroppedFile(&drop), path);

        OnNextModal<QMessageBox>(
            [](QMessageBox* box) { box->button(QMessageBox::Discard)->click(); });
        frame()->OnFileNew();
        QCOMPARE(frame()->SuggestedSongPath(), CMainFrame::UntitledName() + QStringLiteral(".kes"));
    }

    // A tune on the clipboard takes the place of the selected rows as one step named as a
    // paste, what was left out in the status bar; a broken tune is refused with its place;
    // note names still paste as such.
    void paste_abcTextReplacesTheSelection() {
        NewSong("\xC4\x28\xC4\x29\xC4\x2A\xC4\x2B");
        m_app->GetView()->SelectRows(1, 2);
        QGuiApplication::clipboard()->setText(
            QStringLiteral("\nX:3\nT:Paste\nL:1/8\nK:F\n\"Dm\"A2 B [FAc]|\n"));
        Trigger(cmd::EditPaste);
        // A and the key's B flat, then the chord's top note, C.
        QCOMPARE(Events(song()), QByteArray("\xC4\x28\xC4\x3C\xC6\x3D\xC6\x3F\xC4\x2B"));
        QCOMPARE(stack()->count(), 1);
        QCOMPARE(frame()->action(cmd::EditUndo)->text(), QStringLiteral("元に戻す: 貼り付け(&U)"));
        QVERIFY2(Status().startsWith(QStringLiteral("ABC の曲を貼り付けました")) &&
                     Status().contains(QStringLiteral("和音 1 個")),
                 qPrintable(Status()));

        QGuiApplication::clipboard()->setText(QStringLiteral("X:1\nK:C\nC D {E\n"));
        Trigger(cmd::EditPaste);
        auto* box = frame()->findChild<QMessageBox*>(QStringLiteral("FailureBox"));
        QVERIFY(box && box->isVisible());
        QVERIFY2(box->text().contains(QStringLiteral("3 行 5 列")), qPrintable(box->text()));
        box->button(QMessageBox::Ok)->click();
        QCOMPARE(song().count, 5);

        QGuiApplication::clipboard()->setText(QStringLiteral("C4 D4"));
        Trigger(cmd::EditPaste);
        QCOMPARE(song().count, 7);
    }

    // Copy as ABC of rows from within a bar reads back to the very events, through the reader
    // (with the pickup that keeps the bar lines) and through a paste; without a selection it
    // copies the whole song.
    void copyAsAbc_selectionReadsBackToTheSameEvents() {
        NewSong(QByteArray("\xC6\x28\xC5\x2A\xC7\x2C\xC7\x2D\xC7\x2F\xC4\xFF\xC2\x31\xC9\x00"
                           "\xC8\x32\xCE\x34\xC0\x2F\xC6\x26",
                           24));
        m_app->GetView()->SelectRows(1, 10);
        Trigger(cmd::EditCopyAsAbc);
        const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
        AbcTune tune;
        QCOMPARE(DecodeAbc({text.constData(), size_t(text.size())}, tune).error, AbcError::None);
        QCOMPARE(Events(tune.song), Events(song(), 1, 10));
        QCOMPARE(tune.pickup, 1920 - 240);

        m_app->GetView()->ClearSelection();
        m_app->GetView()->MoveCursorTo(song().count);
        Trigger(cmd::EditPaste);
        QCOMPARE(Events(song(), 12), Events(song(), 1, 10));

        Trigger(cmd::EditCopyAsAbc);
        const QByteArray whole = QGuiApplication::clipboard()->text().toUtf8();
        QCOMPARE(DecodeAbc({whole.constData(), size_t(whole.size())}, tune).error, AbcError::None);
        QCOMPARE(Events(tune.song), Events(song()));
        QVERIFY(Status().contains(QStringLiteral("曲全体")));
    }
};

int main(int argc, char** argv) {
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CKesApp app(argc, argv);
    AbcWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "abcwindow_test.moc"
