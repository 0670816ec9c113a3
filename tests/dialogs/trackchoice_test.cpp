// The track choice before a MIDI import: the best candidate ready, Enter takes it.
#include "dialogs/trackchoicedlg.h"

#include <QHeaderView>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

class TrackChoiceTest : public QObject {
    Q_OBJECT

private:
    static std::vector<MelodyCandidate> Candidates() {
        std::vector<MelodyCandidate> candidates(3);
        for (int i = 0; i < 3; ++i) {
            candidates[size_t(i)].track = 2 - i;
            candidates[size_t(i)].channel = i;
            candidates[size_t(i)].notes = 10 * (i + 1);
            candidates[size_t(i)].lowestKey = 60;
            candidates[size_t(i)].highestKey = 72 + i;
            candidates[size_t(i)].program = i == 1 ? 33 : -1;
        }
        return candidates;
    }

private Q_SLOTS:
    void bestIsChosen_EnterTakesIt_AnotherRowCanBe() {
        for (const int downs : {0, 2}) {
            CTrackChoiceDlg dialog(Candidates(), {QStringLiteral("Melody"), QStringLiteral("Bass"),
                                                  QStringLiteral("Pad")});
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            auto* list = dialog.findChild<QTreeWidget*>();
            QVERIFY(list);
            QCOMPARE(list->topLevelItemCount(), 3);
            QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("3"));
            QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("Melody"));
            QCOMPARE(list->topLevelItem(1)->text(5), QStringLiteral("C4–C#5"));
            QVERIFY(list->topLevelItem(1)->text(2).endsWith(QStringLiteral("(34)")));
            for (int i = 0; i < downs; ++i)
                QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.ChosenIndex(), downs);
        }
    }

    // A long name is cut short: the instrument, channel, notes and range stay in sight, and the
    // dialog within the screen.
    void longName_leavesEveryColumnInSight() {
        CTrackChoiceDlg dialog(Candidates(), {QString(80, QLatin1Char('M')), QStringLiteral("Bass"),
                                              QStringLiteral("Pad")});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* list = dialog.findChild<QTreeWidget*>();
        const QHeaderView* header = list->header();
        const int last = header->count() - 1;
        QVERIFY(header->sectionViewportPosition(last) + header->sectionSize(last) <=
                list->viewport()->width());
        QVERIFY(header->sectionSize(1) <
                list->fontMetrics().horizontalAdvance(list->topLevelItem(0)->text(1)));
        QVERIFY(dialog.screen()->availableGeometry().contains(dialog.geometry()));
    }
};

QTEST_MAIN(TrackChoiceTest)
#include "trackchoice_test.moc"
