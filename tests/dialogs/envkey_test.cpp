// The key definition page on a real settings sheet.
#include "dialogs/envdlg.h"
#include "dialogs/envkey.h"
#include "dialogs/envmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

enum Row { Home, End, PageUp, PageDown, Up, Down, Left, Right, Ins, Del, Enter, Esc, Tab };

EnvSettings DefaultSettings() {
    EnvSettings settings;
    settings.SetDefaults();
    return settings;
}

} // namespace

class EnvKeyTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CEnvDlg> m_sheet;
    QTreeWidget* m_list = nullptr;
    QComboBox* m_combo = nullptr;
    QLabel* m_keyName = nullptr;
    QCheckBox* m_shift = nullptr;
    QCheckBox* m_ctrl = nullptr;
    QCheckBox* m_pair = nullptr;

    void OpenSheet(const EnvSettings& settings) {
        m_sheet = std::make_unique<CEnvDlg>(nullptr, CEnvDlg::KeyPage);
        m_sheet->GetSettings() = settings;
        m_sheet->show();
        CEnvKey* page = m_sheet->GetKeyPage();
        m_list = page->findChild<QTreeWidget*>(QStringLiteral("listKeys"));
        m_combo = page->findChild<QComboBox*>(QStringLiteral("comboFunction"));
        m_keyName = page->findChild<QLabel*>(QStringLiteral("keyName"));
        m_shift = page->findChild<QCheckBox*>(QStringLiteral("checkShift"));
        m_ctrl = page->findChild<QCheckBox*>(QStringLiteral("checkCtrl"));
        m_pair = page->findChild<QCheckBox*>(QStringLiteral("checkPair"));
        QVERIFY(m_list && m_combo && m_keyName && m_shift && m_ctrl && m_pair);
    }
    QString Func(int row) const { return m_list->topLevelItem(row)->text(1); }
    int Focused() const { return m_list->indexOfTopLevelItem(m_list->currentItem()); }
    const BindingTable& Table(int index) const { return m_sheet->GetSettings().bindings[index]; }
    /// Focuses a row, picks a function and presses "更新", as the user does.
    void Store(int row, int functionId) {
        m_list->setCurrentItem(m_list->topLevelItem(row));
        m_combo->setCurrentIndex(m_combo->findData(functionId));
        QTest::mouseClick(
            m_sheet->GetKeyPage()->findChild<QPushButton*>(QStringLiteral("buttonUpdate")),
            Qt::LeftButton);
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { m_sheet.reset(); }

    void opensOnPlainTableWithHomeFocused() {
        OpenSheet(DefaultSettings());
        QCOMPARE(m_list->headerItem()->text(0), QStringLiteral("KEY"));
        QCOMPARE(m_list->headerItem()->text(1), QStringLiteral("FUNC"));
        const int charWidth = m_list->fontMetrics().averageCharWidth();
        QVERIFY(m_list->columnWidth(0) >= charWidth * 9);
        QVERIFY(m_list->columnWidth(1) >= charWidth * 25);
        const QString pageDown = m_list->topLevelItem(PageDown)->text(0);
        QVERIFY(m_list->fontMetrics().horizontalAdvance(pageDown) < m_list->columnWidth(0));
        QCOMPARE(m_list->topLevelItemCount(), 13);
        QCOMPARE(m_list->topLevelItem(Up)->text(0), QStringLiteral("↑"));
        QCOMPARE(m_list->topLevelItem(Tab)->text(0), QStringLiteral("TAB"));
        QCOMPARE(Func(Home), QStringLiteral("(なし)"));
        QCOMPARE(Func(Up), QStringLiteral("カーソルを一行上へ移動"));
        QCOMPARE(Func(PageDown), QStringLiteral("値を１減算"));
        QCOMPARE(Func(Esc), QStringLiteral("入力取消"));
        QCOMPARE(m_combo->count(), 17);
        QCOMPARE(m_combo->itemData(16).toInt(), 16);

        QCOMPARE(Focused(), int(Home));
        QVERIFY(m_list->topLevelItem(Home)->isSelected());
        QCOMPARE(m_combo->currentText(), QStringLiteral("(なし)"));
        QCOMPARE(m_keyName->text(), QStringLiteral("Home"));
        QVERIFY(m_pair->isChecked());
        QVERIFY(m_pair->isEnabled());
        QVERIFY(!m_shift->isChecked());
        QVERIFY(!m_ctrl->isChecked());
    }

    void focusingARowShowsItsBinding() {
        OpenSheet(DefaultSettings());
        m_list->setCurrentItem(m_list->topLevelItem(Right));
        QCOMPARE(m_combo->currentData().toInt(), 12);
        QCOMPARE(m_keyName->text(), QStringLiteral("→"));
        QVERIFY(m_pair->isEnabled());
        m_list->setCurrentItem(m_list->topLevelItem(Ins));
        QCOMPARE(m_combo->currentData().toInt(), 13);
        QVERIFY(!m_pair->isEnabled());
        QVERIFY(m_pair->isChecked()); // disabled, not cleared
    }

    void modifierBoxesShowTheirTables() {
        OpenSheet(DefaultSettings());
        m_list->setCurrentItem(m_list->topLevelItem(Left));
        m_shift->click();
        QCOMPARE(Func(Up), QStringLiteral("カーソルを一頁上へ移動"));
        QCOMPARE(Func(Left), QStringLiteral("カーソルを前小節へ移動"));
        QCOMPARE(Func(Enter), QStringLiteral("(なし)"));
        QCOMPARE(Focused(), int(Home)); // row 0 again after every change of table
        QCOMPARE(m_keyName->text(), QStringLiteral("Home"));

        m_ctrl->click();
        for (int row = 0; row < 13; ++row)
            QCOMPARE(Func(row), QStringLiteral("(なし)"));

        m_shift->click();
        QCOMPARE(Func(Up), QStringLiteral("カーソルを先頭へ移動"));
        QCOMPARE(Func(Down), QStringLiteral("カーソルを末尾へ移動"));
    }

    void unknownStoredIdShowsNone() {
        EnvSettings settings = DefaultSettings();
        settings.bindings[0][Home] = 99;
        settings.bindings[0][End] = -3;
        OpenSheet(settings);
        QCOMPARE(Func(Home), QStringLiteral("(なし)"));
        QCOMPARE(Func(End), QStringLiteral("(なし)"));
        QCOMPARE(m_combo->currentIndex(), 0);
    }

    void storingGivesThePairedKeyTheOpposite() {
        OpenSheet(DefaultSettings());
        Store(End, 1);
        QCOMPARE(Table(0)[End], 1);
        QCOMPARE(Table(0)[Home], 2);
        QCOMPARE(Func(End), QStringLiteral("カーソルを先頭へ移動"));
        QCOMPARE(Func(Home), QStringLiteral("カーソルを末尾へ移動"));

        Store(PageUp, 16); // even row, opposite the other way round
        QCOMPARE(Table(0)[PageUp], 16);
        QCOMPARE(Table(0)[PageDown], 15);
    }

    void functionWithoutOppositeLeavesThePartner() {
        OpenSheet(DefaultSettings());
        Store(Left, 9);
        QCOMPARE(Table(0)[Left], 9);
        QCOMPARE(Table(0)[Right], 12);
        Store(Home, 0);
        QCOMPARE(Table(0)[Home], 0);
        QCOMPARE(Table(0)[End], 0);
        QCOMPARE(Func(Left), QStringLiteral("入力確定"));
    }

    void unpairedKeyChangesAlone() {
        OpenSheet(DefaultSettings());
        QVERIFY(m_pair->isChecked());
        Store(Ins, 7);
        QCOMPARE(Table(0)[Ins], 7);
        QCOMPARE(Table(0)[Del], 14);
        QCOMPARE(Table(0)[Down], 8);
        QCOMPARE(Table(0)[Up], 7);
    }

    void returnKeyStoresOnThisPageOnly() {
        OpenSheet(DefaultSettings());
        m_list->setCurrentItem(m_list->topLevelItem(Tab));
        m_combo->setCurrentIndex(m_combo->findData(13));
        QTest::keyClick(m_list, Qt::Key_Return); // "更新" is the page's default button
        QCOMPARE(Table(0)[Tab], 13);
        QVERIFY(m_sheet->isVisible());

        QVERIFY(m_sheet->SetActivePage(CEnvDlg::BasicPage));
        QTest::keyClick(m_sheet->GetMainPage(), Qt::Key_Return); // now OK
        QCOMPARE(m_sheet->result(), int(QDialog::Accepted));
    }

    void uncheckedOptionChangesOnlyTheKey() {
        OpenSheet(DefaultSettings());
        m_pair->click();
        Store(Up, 3);
        QCOMPARE(Table(0)[Up], 3);
        QCOMPARE(Table(0)[Down], 8);
    }

    void storesIntoTheTableOfTheCheckedModifiers() {
        const EnvSettings defaults = DefaultSettings();
        OpenSheet(defaults);
        m_shift->click();
        m_ctrl->click();
        Store(Right, 11);
        QCOMPARE(Table(3)[Right], 11);
        QCOMPARE(Table(3)[Left], 12);
        for (int t = 0; t < 3; ++t)
            QVERIFY(Table(t) == defaults.bindings[t]);
    }

    void defaultRestoresAllTablesAndKeepsTheBoxes() {
        const EnvSettings defaults = DefaultSettings();
        OpenSheet(defaults);
        m_sheet->GetSettings().beatsPerBar = 7;
        Store(Enter, 13);
        m_shift->click();
        Store(Tab, 5);
        m_ctrl->click();
        Store(Home, 1);
        m_ctrl->click(); // SHIFT alone stays checked
        m_pair->click();

        m_sheet->GetKeyPage()->findChild<QPushButton*>(QStringLiteral("buttonDefault"))->click();
        for (int t = 0; t < 4; ++t)
            QVERIFY(Table(t) == defaults.bindings[t]);
        QCOMPARE(m_sheet->GetSettings().beatsPerBar, uint8_t(7)); // nothing else reset
        QVERIFY(m_shift->isChecked());
        QVERIFY(!m_ctrl->isChecked());
        QVERIFY(!m_pair->isChecked());
        QCOMPARE(Func(Up), QStringLiteral("カーソルを一頁上へ移動"));
        QCOMPARE(Func(Tab), QStringLiteral("(なし)"));
        QCOMPARE(Focused(), int(Home));
    }
};

QTEST_MAIN(EnvKeyTest)
#include "envkey_test.moc"
