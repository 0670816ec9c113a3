// The key and time signature dialog: it shows the song's music, "detect" takes the key of the
// notes, the settings' time signature stands while the song has none, and a pickup as long as
// a bar is refused.
#include "dialogs/songmusicdlg.h"
#include "text/keynames.h"

#include "nextmodal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

class SongMusicTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void detectOwnTimeAndPickup() {
        CSongMusicDlg dialog(SongKey{-6, true}, TimeSignature{3, 4});
        dialog.m_music = {std::nullopt, std::nullopt, 0, {}};
        dialog.OnInitDialog();
        QCOMPARE(dialog.keyList()->currentIndex(), 0);
        QVERIFY(!dialog.beatsEdit()->isEnabled());
        QCOMPARE(dialog.beatsEdit()->value(), 3);
        dialog.detectButton()->click();
        QCOMPARE(dialog.keyList()->currentText(), SongKeyName({-6, true}));
        QCOMPARE(SongKeyName({-6, true}), QStringLiteral("変ホ短調"));
        QCOMPARE(SongKeyName({6, false}), QStringLiteral("嬰ヘ長調"));

        // A pickup of a 3/4 bar is refused and the dialog stays; in 6/8 a quarter is fine.
        dialog.pickupEdit()->setValue(1440);
        OnNextModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
        dialog.accept();
        QCOMPARE(dialog.result(), 0);
        dialog.ownTimeBox()->setChecked(true);
        dialog.beatsEdit()->setValue(6);
        dialog.unitList()->setCurrentIndex(dialog.unitList()->findData(8));
        dialog.pickupEdit()->setValue(480);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.m_music, (SongMusic{SongKey{-6, true}, TimeSignature{6, 8}, 480, {}}));
    }

    void withoutNotesThereIsNothingToDetect() {
        CSongMusicDlg dialog(std::nullopt, TimeSignature{4, 4});
        dialog.m_music = {SongKey{2, false}, TimeSignature{2, 2}, 0, {}};
        dialog.OnInitDialog();
        QVERIFY(!dialog.detectButton()->isEnabled());
        QCOMPARE(dialog.keyList()->currentText(), SongKeyName({2, false}));
        QVERIFY(dialog.ownTimeBox()->isChecked());
        dialog.ownTimeBox()->setChecked(false);
        dialog.keyList()->setCurrentIndex(0);
        dialog.accept();
        QCOMPARE(dialog.m_music, SongMusic{});
    }
};

QTEST_MAIN(SongMusicTest)
#include "songmusic_test.moc"
