// The basic page and the settings command with real MIDI devices: the ports of JACK clients
// started here on the test's private JACK server, and the built-in synthesizer.
#include "dialogs/envcommand.h"
#include "dialogs/envdlg.h"
#include "dialogs/envmain.h"
#include "jackpeers.h"
#include "midi/midiconnection.h"
#include "modalhelper.h"
#include "settings/settingsfile.h"

#include "text/cp932.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

constexpr unsigned kTechSynth = 2;
constexpr char kDumpClient[] = "kesvdump"; // output device: prints what it receives
constexpr char kSeqClient[] = "kesvseq";   // input device

EnvSettings DefaultSettings() {
    EnvSettings settings;
    settings.SetDefaults();
    return settings;
}

QString NameText(const char (&name)[32]) {
    return DecodeCp932(name, qsizetype(::strnlen(name, 32)));
}

/// Picks item k of a device list as the user does (the list reports a user's choice).
void Choose(QComboBox* combo, int k) {
    combo->setCurrentIndex(k);
    Q_EMIT combo->activated(k);
}

int FindSynth(const CMidiDeviceList& list) {
    for (int i = 0; i < list.GetOutputCount(); ++i) {
        if (list.GetOutput(i).caps.wTechnology == kTechSynth)
            return i;
    }
    return -1;
}

} // namespace

class EnvDevicesTest : public QObject {
    Q_OBJECT

private:
    ModalHandler m_modal;
    std::unique_ptr<JackPeer> m_dump;
    std::unique_ptr<JackPeer> m_seq;
    CMidiDeviceList m_list;
    int m_nDump = -1;
    int m_nSeq = -1;
    std::unique_ptr<CEnvDlg> m_sheet;

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

private Q_SLOTS:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        if (!JackServerReachable())
            QSKIP("no JACK server reachable: run through scripts/test.sh, which starts one");
        m_dump = std::make_unique<JackPeer>();
        m_seq = std::make_unique<JackPeer>();
        // Line-buffered, so what the client received can be read while it runs.
        QVERIFY(m_dump->Start(QStringLiteral("stdbuf"),
                              {QStringLiteral("-oL"), QStringLiteral("jack_midi_dump"),
                               QString::fromLatin1(kDumpClient)}));
        QVERIFY(m_seq->Start(QStringLiteral("jack_midiseq"),
                             {QString::fromLatin1(kSeqClient), QStringLiteral("48000"),
                              QStringLiteral("0"), QStringLiteral("60"), QStringLiteral("100")}));
        m_nDump = WaitForDevice(m_list, kDumpClient, false);
        m_nSeq = WaitForDevice(m_list, kSeqClient, true);
        QVERIFY2(m_nDump >= 0, "jack_midi_dump's port did not appear as an output device");
        QVERIFY2(m_nSeq >= 0, "jack_midiseq's port did not appear as an input device");
    }
    void cleanupTestCase() {
        m_dump.reset();
        m_seq.reset();
    }
    void cleanup() {
        m_modal.Disarm();
        m_sheet.reset();
    }

    void listsTheDevicesAfterNone() {
        OpenSheet(DefaultSettings());
        auto* input = Child<QComboBox>("comboInput");
        auto* output = Child<QComboBox>("comboOutput");
        m_list.Refresh();
        QCOMPARE(output->count(), m_list.GetOutputCount() + 1);
        QCOMPARE(input->count(), m_list.GetInputCount() + 1);
        QCOMPARE(output->itemText(0), QStringLiteral("(なし)"));
        for (int i = 0; i < m_list.GetOutputCount(); ++i)
            QCOMPARE(output->itemText(i + 1), NameText(m_list.GetOutput(i).caps.szPname));
        for (int i = 0; i < m_list.GetInputCount(); ++i)
            QCOMPARE(input->itemText(i + 1), NameText(m_list.GetInput(i).caps.szPname));
        QVERIFY(output->itemText(m_nDump + 1).contains(QString::fromLatin1(kDumpClient)));
        QVERIFY(input->itemText(m_nSeq + 1).contains(QString::fromLatin1(kSeqClient)));
        if (FindSynth(m_list) < 0)
            QSKIP("no built-in synthesizer listed: no sound font installed");
    }

    void choosingDevicesWritesNamesAndShowsInformation() {
        OpenSheet(DefaultSettings());
        auto* input = Child<QComboBox>("comboInput");
        auto* output = Child<QComboBox>("comboOutput");
        auto* inputInfo = Child<QPushButton>("buttonInputInfo");
        auto* outputInfo = Child<QPushButton>("buttonOutputInfo");
        const MidiOutCaps& dump = m_list.GetOutput(m_nDump).caps;
        const MidiInCaps& seq = m_list.GetInput(m_nSeq).caps;

        Choose(output, m_nDump + 1);
        QCOMPARE(std::strncmp(m_sheet->GetSettings().midiOutName, dump.szPname, 32), 0);
        QVERIFY(outputInfo->isEnabled());
        m_modal.ArmMessageBox();
        QTest::mouseClick(outputInfo, Qt::LeftButton);
        QVERIFY(m_modal.Handled());
        QCOMPARE(m_modal.Caption(), QStringLiteral("OKT:装置の情報"));
        QCOMPARE(m_modal.Text(), CEnvMain::OutputInfoText(dump));
        QVERIFY(m_modal.Text().contains(QStringLiteral("種類 : MIDIハードウェア ポート\n")));
        QVERIFY(!m_modal.Text().contains(QStringLiteral("音声数")));

        Choose(input, m_nSeq + 1);
        QCOMPARE(std::strncmp(m_sheet->GetSettings().midiInName, seq.szPname, 32), 0);
        QVERIFY(inputInfo->isEnabled());
        m_modal.ArmMessageBox();
        QTest::mouseClick(inputInfo, Qt::LeftButton);
        QVERIFY(m_modal.Handled());
        QCOMPARE(m_modal.Text(), CEnvMain::InputInfoText(seq));
        QVERIFY(m_modal.Text().startsWith(NameText(seq.szPname) + QStringLiteral("\nID : ")));

        Choose(output, 0);
        const char zeros[32] = {};
        QCOMPARE(std::memcmp(m_sheet->GetSettings().midiOutName, zeros, 32), 0);
        QVERIFY(!outputInfo->isEnabled());
        QVERIFY(inputInfo->isEnabled());

        const int synth = FindSynth(m_list);
        if (synth < 0)
            QSKIP("no built-in synthesizer listed: no sound font installed");
        Choose(output, synth + 1);
        m_modal.ArmMessageBox();
        QTest::mouseClick(outputInfo, Qt::LeftButton);
        QVERIFY(m_modal.Handled());
        QCOMPARE(m_modal.Text(), CEnvMain::OutputInfoText(m_list.GetOutput(synth).caps));
        QVERIFY(m_modal.Text().contains(QStringLiteral("種類 : 内蔵シンセサイザ\n")));
        QVERIFY(m_modal.Text().contains(QStringLiteral("音声数     : ")));
        QVERIFY(m_modal.Text().contains(QStringLiteral("有効 ch.   : FFFF\n")));
    }

    void refreshListsANewDeviceAndKeepsTheChoices() {
        EnvSettings settings = DefaultSettings();
        EnvSettings::SetNameField(settings.midiOutName, m_list.GetOutput(m_nDump).caps.szPname);
        EnvSettings::SetNameField(settings.midiInName, m_list.GetInput(m_nSeq).caps.szPname);
        OpenSheet(settings);
        auto* input = Child<QComboBox>("comboInput");
        auto* output = Child<QComboBox>("comboOutput");
        const QString dumpName = NameText(m_list.GetOutput(m_nDump).caps.szPname);
        const QString seqName = NameText(m_list.GetInput(m_nSeq).caps.szPname);
        QCOMPARE(output->currentText(), dumpName);
        QCOMPARE(input->currentText(), seqName);

        JackPeer late;
        QVERIFY(late.Start(QStringLiteral("jack_midi_dump"), {QStringLiteral("kesvlate")}));
        CMidiDeviceList probe;
        QVERIFY(WaitForDevice(probe, "kesvlate", false) >= 0);
        QVERIFY(output->findText(QStringLiteral("kesvlate"), Qt::MatchContains) < 0);

        QTest::mouseClick(Child<QPushButton>("buttonRefresh"), Qt::LeftButton);
        QVERIFY(output->findText(QStringLiteral("kesvlate"), Qt::MatchContains) > 0);
        QCOMPARE(output->currentText(), dumpName);
        QCOMPARE(input->currentText(), seqName);
        QVERIFY(Child<QPushButton>("buttonOutputInfo")->isEnabled());
        late.Stop();
    }

    void japaneseDeviceShowsDecodedAndItsOldUtf8NameStaysChosen() {
        const QString name = QStringLiteral("ピアノ出力:input");
        JackPeer peer;
        QVERIFY(peer.Start(QStringLiteral("jack_midi_dump"), {QStringLiteral("ピアノ出力")}));
        CMidiDeviceList probe;
        QVERIFY(WaitForDevice(probe, EncodeCp932(name).value().c_str(), false) >= 0);
        // The settings of an earlier version held the name in UTF-8.
        EnvSettings settings = DefaultSettings();
        EnvSettings::SetNameField(settings.midiOutName, name.toStdString());
        OpenSheet(settings);
        auto* output = Child<QComboBox>("comboOutput");
        QCOMPARE(output->currentText(), name);
        m_modal.ArmMessageBox();
        QTest::mouseClick(Child<QPushButton>("buttonOutputInfo"), Qt::LeftButton);
        QVERIFY(m_modal.Handled());
        QVERIFY(m_modal.Text().startsWith(name + u'\n'));
        peer.Stop();
    }

    void okReopensAnOpenConnectionWithTheNewDevices() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path path = dir.filePath(QStringLiteral("KesV.env")).toStdString();
        EnvSettings live = DefaultSettings();
        EnvSettings::SetNameField(live.midiInName, m_list.GetInput(m_nSeq).caps.szPname);
        CMidiConnection connection;
        connection.SetDeviceNames(live.InputDeviceName(), live.OutputDeviceName());
        QVERIFY(connection.Open());
        const int dumpItem = m_nDump + 1;
        m_modal.Arm<CEnvDlg>([dumpItem](CEnvDlg* sheet) {
            Choose(sheet->GetMainPage()->findChild<QComboBox*>(QStringLiteral("comboOutput")),
                   dumpItem);
            sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        QVERIFY(RunEnvironmentCommand(nullptr, live, path, connection));
        QVERIFY(m_modal.Handled());
        QVERIFY(connection.IsOpen());
        QCOMPARE(std::strncmp(live.midiOutName, m_list.GetOutput(m_nDump).caps.szPname, 32), 0);
        QVERIFY(LoadSettings(path).OutputDeviceName() == live.OutputDeviceName());

        // The echo now goes to the newly chosen output device: the keyboard's notes reach it.
        const qsizetype before = m_dump->Output().size();
        QTRY_VERIFY_WITH_TIMEOUT(m_dump->Output().mid(before).contains(QStringLiteral("90 3c")),
                                 5000);
        connection.Close();
    }

    void okLeavesAClosedConnectionClosed() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path path = dir.filePath(QStringLiteral("KesV.env")).toStdString();
        EnvSettings live = DefaultSettings();
        CMidiConnection connection;
        connection.SetDeviceNames(live.InputDeviceName(), live.OutputDeviceName());
        const int seqItem = m_nSeq + 1;
        m_modal.Arm<CEnvDlg>([seqItem](CEnvDlg* sheet) {
            Choose(sheet->GetMainPage()->findChild<QComboBox*>(QStringLiteral("comboInput")),
                   seqItem);
            sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        QVERIFY(RunEnvironmentCommand(nullptr, live, path, connection));
        QVERIFY(!connection.IsOpen());
        QVERIFY(live.InputDeviceName() == m_list.GetInput(m_nSeq).caps.szPname);
    }
};

QTEST_MAIN(EnvDevicesTest)
#include "envdevices_test.moc"
