// The interface language: chosen from the user's languages, and the English translation
// reaching the window title, the menus, message boxes and the key guide.
#include "app/commandids.h"
#include "app/language.h"
#include "app/mainframe.h"
#include "document/kesdoc.h"
#include "nextmodal.h"
#include "settings/envsettings.h"
#include "text/cp932.h"
#include "view/kesview.h"
#include "view/listpainter.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

QStringList MenuTitles(const CMainFrame& frame) {
    QStringList titles;
    for (QAction* action : frame.menuBar()->actions())
        titles << action->text();
    return titles;
}

// The save question's text for a modified untitled song; the question is cancelled.
QString SaveQuestion(CMainFrame& frame, CKesDoc& doc) {
    doc.SetModifiedFlag();
    QString text;
    OnNextModal<QMessageBox>([&text](QMessageBox* box) {
        text = box->text();
        box->button(QMessageBox::Cancel)->click();
    });
    frame.SaveModified();
    doc.SetModifiedFlag(false);
    return text;
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choice_data() {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<bool>("japanese");
        QTest::newRow("C and POSIX") << QStringList{QStringLiteral("C")} << true;
        QTest::newRow("ja_JP") << QStringList{QStringLiteral("ja-JP"), QStringLiteral("ja")}
                               << true;
        QTest::newRow("LANGUAGE=ja over en_US")
            << QStringList{QStringLiteral("ja"), QStringLiteral("ja-Jpan-JP")} << true;
        QTest::newRow("en_US") << QStringList{QStringLiteral("en-US")} << false;
        QTest::newRow("de_DE") << QStringList{QStringLiteral("de-DE"), QStringLiteral("de")}
                               << false;
        QTest::newRow("LANGUAGE=en over ja_JP")
            << QStringList{QStringLiteral("en"), QStringLiteral("en-US")} << false;
        QTest::newRow("Japanese second")
            << QStringList{QStringLiteral("fr-FR"), QStringLiteral("ja-JP")} << false;
    }
    void choice() {
        QFETCH(QStringList, uiLanguages);
        QFETCH(bool, japanese);
        QCOMPARE(ChooseUiLanguage(uiLanguages) == UiLanguage::Japanese, japanese);
    }

    void window_speaksTheChosenLanguage_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("menus");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("firstGuideLine");
        QTest::newRow("English") << true << QStringLiteral("Untitled[*] - KesV")
                                 << QStringList{QStringLiteral("&File"), QStringLiteral("&Edit"),
                                                QStringLiteral("&Play"), QStringLiteral("&View"),
                                                QStringLiteral("&Help")}
                                 << QStringLiteral("Save changes to Untitled?")
                                 << QStringLiteral("[F1] whole");
        QTest::newRow("Japanese") << false << QStringLiteral("無題[*] - KesV")
                                  << QStringList{QStringLiteral("ﾌｧｲﾙ(&F)"),
                                                 QStringLiteral("編集(&E)"),
                                                 QStringLiteral("演奏(&P)"),
                                                 QStringLiteral("表示(&V)"),
                                                 QStringLiteral("ﾍﾙﾌﾟ(&H)")}
                                  << QStringLiteral("無題 への変更を保存しますか?")
                                  << QStringLiteral("[F1] 全音符");
    }
    void window_speaksTheChosenLanguage() {
        QFETCH(bool, english);
        QFETCH(QString, title);
        QFETCH(QStringList, menus);
        QFETCH(QString, question);
        QFETCH(QString, firstGuideLine);
        InstallTranslations(*qApp, english ? UiLanguage::English : UiLanguage::Japanese);
        EnvSettings settings;
        settings.SetDefaults();
        CKesDoc doc;
        doc.OnNewDocument();
        CMainFrame frame(&doc, settings);
        auto* view = new CKesView(&doc, &settings, &frame);
        frame.SetView(view);
        QCOMPARE(frame.windowTitle(), title);
        QCOMPARE(MenuTitles(frame), menus);
        QCOMPARE(SaveQuestion(frame, doc), question);
        QVERIFY2(view->KeyGuideLines().value(0).startsWith(firstGuideLine),
                 qPrintable(view->KeyGuideLines().value(0)));
    }

    // The texts drawn on the character grid keep their columns in both languages: the key
    // guide's lines their width, the header its "♪" over the note column and its last word
    // within the row, a rest its three cells of the note column.
    void gridTexts_keepTheirColumns() {
        for (const UiLanguage language : {UiLanguage::Japanese, UiLanguage::English}) {
            InstallTranslations(*qApp, language);
            const CListPainter painter(QFont(), ViewMetrics{6, 12}, 10);
            for (const QString& line : painter.KeyGuideLines())
                QCOMPARE(EncodeCp932(line).value_or(std::string()).size(), size_t(39));
            const std::string header = painter.ColumnHeader();
            QCOMPARE(header.size(), size_t(31));
            QCOMPARE(header.substr(22, 2), std::string(kNoteMark));
            Song song;
            song.events[0] = {0, 0xC4, kPitchRest};
            RowRepeat repeat;
            const std::string row = painter.RowText(0, &song.events[0], 0, {4, 4}, repeat);
            QCOMPARE(row.size(), size_t(31));
            QCOMPARE(row.substr(25), std::string(" 1/  0"));
            const std::string mark = language == UiLanguage::English ? "r  " : "\x8B\x78 ";
            QCOMPARE(row.substr(22, 3), mark);
        }
    }
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
