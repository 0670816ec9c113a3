// The basic page on a real settings sheet: bar setting, input method, device choices and
// the texts of the device information boxes.
#include "dialogs/envdlg.h"
#include "dialogs/envmain.h"
#include "modalhelper.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

EnvSettings DefaultSettings() {
    EnvSettings settings;
    settings.SetDefaults();
    return settings;
}

template <typename Caps> void SetName(Caps& caps, const char* name) {
    std::memset(caps.szPname, 0, sizeof(caps.szPname));
    std::strncpy(caps.szPname, name, sizeof(caps.szPname) - 1);
}

} // namespace

class EnvMainTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CEnvDlg> m_sheet;
    ModalHandler m_modal;

    template <typename T> T* Child(const char* name) const {
        T* child = m_sheet->GetMainPage()->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }
    void OpenSheet(const EnvSettings& settings) {
        m_sheet = std::make_unique<CEnvDlg>(nullptr, CEnvDlg::BasicPage);
        m_sheet->GetSettings() = settings;
        m_sheet->show();
    }
    void TypeBeatsPerBar(const QString& text) {
        auto* spin = Child<QSpinBox>("editBeatsPerBar");
        spin->setFocus();
        QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(spin, Qt::Key_Backspace);
        QTest::keyClicks(spin, text);
    }
    QPushButton* OkButton() const {
        return m_sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() {
        m_modal.Disarm();
        m_sheet.reset();
    }

    void showsTheDefaults() {
        OpenSheet(DefaultSettings());
        auto* direct = Child<QRadioButton>("radioDirect");
        auto* keyboard = Child<QRadioButton>("radioKeyboard");
        QVERIFY(direct->isChecked());
        QVERIFY(!keyboard->isChecked());
        QVERIFY(!direct->isEnabled());
        QVERIFY(!keyboard->isEnabled());
        QCOMPARE(Child<QSpinBox>("editBeatsPerBar")->text(), QStringLiteral("4"));
        auto* unit = Child<QComboBox>("comboBeatUnit");
        QCOMPARE(unit->count(), 3);
        QCOMPARE(unit->itemText(0), QStringLiteral("2"));
        QCOMPARE(unit->itemText(2), QStringLiteral("8"));
        QCOMPARE(unit->currentText(), QStringLiteral("4"));
        for (const char* name : {"comboInput", "comboOutput"}) {
            QCOMPARE(Child<QComboBox>(name)->currentIndex(), 0);
            QCOMPARE(Child<QComboBox>(name)->currentText(), QStringLiteral("(なし)"));
        }
        QVERIFY(!Child<QPushButton>("buttonInputInfo")->isEnabled());
        QVERIFY(!Child<QPushButton>("buttonOutputInfo")->isEnabled());
        QVERIFY(Child<QPushButton>("buttonRefresh")->isEnabled());
    }

    void leavingWritesBarSettingAndKeepsOtherBits() {
        EnvSettings settings = DefaultSettings();
        settings.flags = 0x80000000u | 0x20u | (1u << 6) | 1u; // piano input, unused bits set
        OpenSheet(settings);
        QVERIFY(Child<QRadioButton>("radioKeyboard")->isChecked());
        Child<QComboBox>("comboBeatUnit")->setCurrentIndex(2); // "8"
        TypeBeatsPerBar(QStringLiteral("3"));
        QVERIFY(m_sheet->SetActivePage(CEnvDlg::KeyPage));
        QCOMPARE(m_sheet->GetSettings().flags, 0x80000000u | 0x20u | (2u << 6) | 1u);
        QCOMPARE(m_sheet->GetSettings().beatsPerBar, uint8_t(3));
        QCOMPARE(m_sheet->GetSettings().GetBeatUnit(), 8);
    }

    void untouchedPageKeepsBeatUnitSixteen() {
        EnvSettings settings = DefaultSettings();
        settings.flags = 3u << 6;
        settings.beatsPerBar = 7;
        OpenSheet(settings);
        QCOMPARE(Child<QComboBox>("comboBeatUnit")->currentIndex(), -1);
        QCOMPARE(Child<QSpinBox>("editBeatsPerBar")->text(), QStringLiteral("7"));
        QVERIFY(m_sheet->SetActivePage(CEnvDlg::KeyPage));
        QCOMPARE(m_sheet->GetSettings().flags, 3u << 6);
        QCOMPARE(m_sheet->GetSettings().beatsPerBar, uint8_t(7));
    }

    void beatsPerBarOutsideRangeIsRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("256 does not fit the byte") << QStringLiteral("256");
        QTest::newRow("emptied") << QString();
        QTest::newRow("blank") << QStringLiteral(" ");
    }
    void beatsPerBarOutsideRangeIsRefused() {
        QFETCH(QString, typed);
        OpenSheet(DefaultSettings());
        TypeBeatsPerBar(typed);

        m_modal.ArmMessageBox();
        QVERIFY(!m_sheet->SetActivePage(CEnvDlg::KeyPage));
        QVERIFY(m_modal.Handled());
        QVERIFY2(m_modal.Text().contains(QStringLiteral("1 から 255")), qPrintable(m_modal.Text()));
        QCOMPARE(m_sheet->GetActiveIndex(), int(CEnvDlg::BasicPage));
        QCOMPARE(m_sheet->GetTabs()->currentIndex(), int(CEnvDlg::BasicPage));

        // OK is refused the same way and the sheet stays open.
        m_modal.ArmMessageBox();
        QTest::mouseClick(OkButton(), Qt::LeftButton);
        QVERIFY(m_modal.Handled());
        QVERIFY(m_sheet->isVisible());
        QCOMPARE(m_sheet->result(), int(QDialog::Rejected));
        QCOMPARE(m_sheet->GetSettings().beatsPerBar, uint8_t(4));
        QCOMPARE(Child<QSpinBox>("editBeatsPerBar")->text().trimmed(), typed.trimmed());

        TypeBeatsPerBar(QStringLiteral("255"));
        QTest::mouseClick(OkButton(), Qt::LeftButton);
        QCOMPARE(m_sheet->result(), int(QDialog::Accepted));
        QCOMPARE(m_sheet->GetSettings().beatsPerBar, uint8_t(255));
    }

    void absentStoredDeviceKeepsItsNameUntilChanged() {
        EnvSettings settings = DefaultSettings();
        EnvSettings::SetNameField(settings.midiInName, "Gone In");
        std::memset(settings.midiOutName, 'x', kDeviceNameBytes); // no terminating zero
        OpenSheet(settings);
        auto* input = Child<QComboBox>("comboInput");
        auto* output = Child<QComboBox>("comboOutput");
        QCOMPARE(input->currentText(), QStringLiteral("(なし)"));
        QCOMPARE(output->currentText(), QStringLiteral("(なし)"));
        QVERIFY(m_sheet->SetActivePage(CEnvDlg::KeyPage));
        QCOMPARE(m_sheet->GetSettings().InputDeviceName(), std::string("Gone In"));

        QVERIFY(m_sheet->SetActivePage(CEnvDlg::BasicPage));
        Q_EMIT output->activated(0); // the user picks "(なし)"
        const char zeros[kDeviceNameBytes] = {};
        QCOMPARE(std::memcmp(m_sheet->GetSettings().midiOutName, zeros, kDeviceNameBytes), 0);
        QCOMPARE(m_sheet->GetSettings().InputDeviceName(), std::string("Gone In"));
        QVERIFY(!Child<QPushButton>("buttonOutputInfo")->isEnabled());
    }

    // A refresh that finds a long name widens the closed lists and the sheet with them.
    void longDeviceNamesShowWhole() {
        OpenSheet(DefaultSettings());
        // Two ports whose names agree in their first 31 bytes, the most a name keeps.
        const QString name = QStringLiteral("Roland Sound Canvas Module  (2)");
        for (const char* comboName : {"comboInput", "comboOutput"}) {
            auto* combo = Child<QComboBox>(comboName);
            combo->addItem(name);
            combo->setCurrentIndex(combo->count() - 1);
            const auto room = [combo] {
                QStyleOptionComboBox option;
                option.initFrom(combo);
                return combo->style()
                    ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                     combo)
                    .width();
            };
            QTRY_VERIFY2(combo->fontMetrics().horizontalAdvance(name) <= room(),
                         qPrintable(QString::number(room())));
        }
    }

    void inputInformationText() {
        MidiInCaps caps{};
        caps.wMid = 0xFF;
        caps.wPid = 0x0A;
        caps.vDriverVersion = 0x0305;
        SetName(caps, "Keyboard In");
        QCOMPARE(CEnvMain::InputInfoText(caps),
                 QStringLiteral("Keyboard In\nID : FF 0A (Ver 3.05)\n"));
    }

    void hardwarePortInformationHasNoVoiceLines() {
        MidiOutCaps caps{};
        caps.wMid = 0x01;
        caps.wPid = 0x2B;
        caps.vDriverVersion = 0x010A;
        caps.wTechnology = 1;
        caps.wVoices = 16;
        caps.dwSupport = 0;
        SetName(caps, "Port A");
        QCOMPARE(CEnvMain::OutputInfoText(caps),
                 QStringLiteral("Port A\nID   : 01 2B (Ver 1.10)\n種類 : MIDIハードウェア ポート\n"
                                "機能 : 0000\n"));
    }

    void synthesizerInformationHasVoiceLines() {
        MidiOutCaps caps{};
        caps.wMid = 0x00;
        caps.wPid = 0xFF;
        caps.vDriverVersion = 0x0200;
        caps.wTechnology = 2;
        caps.wVoices = 256;
        caps.wNotes = 64;
        caps.wChannelMask = 0xFFFF;
        caps.dwSupport = 0x7; // volume, left/right volume, cache
        // cp932 "内蔵" followed by ASCII.
        SetName(caps, "\x93\xe0\x91\xa0 Synth");
        QCOMPARE(CEnvMain::OutputInfoText(caps),
                 QStringLiteral("内蔵 Synth\nID   : 00 FF (Ver 2.00)\n種類 : 内蔵シンセサイザ\n"
                                "機能 : 0007\n　左右別ボリューム制御\n　パッチのキャッシュ\n"
                                "音声数     : 256\n同時発音数 : 64\n有効 ch.   : FFFF\n"));
        caps.dwSupport = 0x1;
        caps.wTechnology = 9;
        const QString text = CEnvMain::OutputInfoText(caps);
        QVERIFY(
            text.contains(QStringLiteral("種類 : 0009\n機能 : 0001\n　ボリューム制御\n音声数")));
    }

    void kindTexts() {
        QCOMPARE(CEnvMain::TechnologyText(3), QStringLiteral("矩形波シンセサイザ"));
        QCOMPARE(CEnvMain::TechnologyText(4), QStringLiteral("FMシンセサイザ"));
        QCOMPARE(CEnvMain::TechnologyText(5), QStringLiteral("Microsoft MIDIマッパー"));
        QCOMPARE(CEnvMain::TechnologyText(0x1234), QStringLiteral("1234"));
    }
};

QTEST_MAIN(EnvMainTest)
#include "envmain_test.moc"
