// The settings command: the sheet run modally on a copy, and what OK and Cancel leave behind.
#include "dialogs/envcommand.h"
#include "dialogs/envdlg.h"
#include "dialogs/envkey.h"
#include "editor/stepeditor.h"
#include "midi/midiconnection.h"
#include "modalhelper.h"
#include "settings/settingsfile.h"
#include "song/song.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr int kEndRow = 1;

EnvSettings DefaultSettings() {
    EnvSettings settings;
    settings.SetDefaults();
    return settings;
}

bool SameBytes(const EnvSettings& a, const EnvSettings& b) {
    return std::memcmp(&a, &b, sizeof(EnvSettings)) == 0;
}

QByteArray FileBytes(const fs::path& path) {
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// On the key page, binds End to "カーソルを先頭へ移動" (and Home to its opposite).
void BindEndToFirstRow(CEnvDlg* sheet) {
    sheet->SetActivePage(CEnvDlg::KeyPage);
    CEnvKey* page = sheet->GetKeyPage();
    auto* list = page->findChild<QTreeWidget*>(QStringLiteral("listKeys"));
    auto* combo = page->findChild<QComboBox*>(QStringLiteral("comboFunction"));
    list->setCurrentItem(list->topLevelItem(kEndRow));
    combo->setCurrentIndex(combo->findData(1));
    page->findChild<QPushButton*>(QStringLiteral("buttonUpdate"))->click();
}

/// The editor as the view drives it, reading the application's live settings.
class LiveEditor : public IStepEditorHost {
public:
    explicit LiveEditor(const EnvSettings& live) : m_live(live) {
        m_song.count = 10;
        for (int i = 0; i < m_song.count; ++i)
            m_song.events[size_t(i)] = {0, 0xC4, 51};
        m_editor.SetCursorRow(5);
    }
    int DispatchEditKey(int virtualKey) { return m_editor.DispatchEditKey(virtualKey); }
    int Row() const { return m_editor.Cursor().row; }
    void SetRow(int row) { m_editor.SetCursorRow(row); }

protected:
    Song& EditorSong() override { return m_song; }
    const EnvSettings& EditorSettings() const override { return m_live; }
    void MoveCursorTo(int row) override { m_editor.SetCursorRow(std::clamp(row, 0, m_song.count)); }
    void InvalidateRow(int, bool) override {}
    void RedrawAll() override {}
    void OnRowCountChanged() override {}
    int GetPageSize() const override { return 4; }
    bool IsKeyHeld(int) const override { return false; }
    void OnEventEdited(const EventEdit&) override {}

private:
    const EnvSettings& m_live;
    Song m_song;
    CStepEditor m_editor{*this};
};

void Press(CEnvDlg* sheet, QDialogButtonBox::StandardButton which) {
    sheet->findChild<QDialogButtonBox*>()->button(which)->click();
}

} // namespace

class EnvCommandTest : public QObject {
    Q_OBJECT

private:
    ModalHandler m_modal;
    QTemporaryDir* m_dir = nullptr;
    fs::path m_path;

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        m_path = fs::path(m_dir->path().toStdString()) / "KesV.env";
    }
    void cleanup() {
        m_modal.Disarm();
        delete m_dir;
        m_dir = nullptr;
    }

    void okSavesTheSheetsCopyAndPutsItInForce() {
        EnvSettings live = DefaultSettings();
        CMidiConnection connection;
        connection.SetDeviceNames(live.InputDeviceName(), live.OutputDeviceName());
        m_modal.Arm<CEnvDlg>([](CEnvDlg* sheet) {
            QCOMPARE(sheet->windowTitle(), QStringLiteral("動作環境"));
            QCOMPARE(sheet->GetActiveIndex(), int(CEnvDlg::BasicPage));
            BindEndToFirstRow(sheet);
            Press(sheet, QDialogButtonBox::Ok);
        });
        QVERIFY(RunEnvironmentCommand(nullptr, live, m_path, connection));
        QVERIFY(m_modal.Handled());

        QCOMPARE(live.bindings[0][kEndRow], 1);
        QCOMPARE(live.bindings[0][0], 2);
        QCOMPARE(FileBytes(m_path).size(), 360);
        QVERIFY(SameBytes(LoadSettings(m_path), live));
        QVERIFY(!connection.IsOpen()); // closed before, closed after
    }

    void cancelLeavesSettingsAndFileAlone() {
        EnvSettings live = DefaultSettings();
        live.beatsPerBar = 6;
        const EnvSettings before = live;
        CMidiConnection connection;
        connection.SetDeviceNames(live.InputDeviceName(), live.OutputDeviceName());
        m_modal.Arm<CEnvDlg>([](CEnvDlg* sheet) {
            BindEndToFirstRow(sheet);
            Press(sheet, QDialogButtonBox::Cancel);
        });
        QVERIFY(!RunEnvironmentCommand(nullptr, live, m_path, connection));
        QVERIFY(m_modal.Handled());
        QVERIFY(SameBytes(live, before));
        QVERIFY(!fs::exists(m_path));
    }

    void editorUsesANewBindingOnlyAfterOk() {
        EnvSettings live = DefaultSettings();
        CMidiConnection connection;
        connection.SetDeviceNames(live.InputDeviceName(), live.OutputDeviceName());
        LiveEditor editor(live);
        QCOMPARE(editor.DispatchEditKey(vk::End), 0); // End is unbound by default

        m_modal.Arm<CEnvDlg>([](CEnvDlg* sheet) {
            BindEndToFirstRow(sheet);
            Press(sheet, QDialogButtonBox::Cancel);
        });
        RunEnvironmentCommand(nullptr, live, m_path, connection);
        QCOMPARE(editor.DispatchEditKey(vk::End), 0);
        QCOMPARE(editor.Row(), 5);

        m_modal.Arm<CEnvDlg>([](CEnvDlg* sheet) {
            BindEndToFirstRow(sheet);
            Press(sheet, QDialogButtonBox::Ok);
        });
        RunEnvironmentCommand(nullptr, live, m_path, connection);
        QCOMPARE(editor.DispatchEditKey(vk::End), 1); // cursor to the first row
        QCOMPARE(editor.Row(), 0);
        editor.SetRow(5);
        QCOMPARE(editor.DispatchEditKey(vk::Home), 1); // the opposite: to the end row
        QCOMPARE(editor.Row(), 10);
    }

    void cancelKeepsAnExistingFileByteForByte() {
        EnvSettings live = DefaultSettings();
        live.flags |= 1; // piano input
        QVERIFY(SaveSettings(live, m_path));
        const QByteArray saved = FileBytes(m_path);
        CMidiConnection connection;
        connection.SetDeviceNames(live.InputDeviceName(), live.OutputDeviceName());
        m_modal.Arm<CEnvDlg>([](CEnvDlg* sheet) {
            sheet->GetSettings().beatsPerBar = 9;
            sheet->reject(); // Escape
        });
        QVERIFY(!RunEnvironmentCommand(nullptr, live, m_path, connection));
        QCOMPARE(FileBytes(m_path), saved);
        QCOMPARE(live.beatsPerBar, uint8_t(4));
    }

    void unwritableFileIsReportedOnceAndTheSettingsStillApply() {
        // The folder of the settings file is a plain file, so nothing can be written there.
        const fs::path blocker = m_path.parent_path() / "blocker";
        QFile file(QString::fromStdString(blocker.string()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        EnvSettings live = DefaultSettings();
        CMidiConnection connection;
        connection.SetDeviceNames(live.InputDeviceName(), live.OutputDeviceName());
        m_modal.Arm<CEnvDlg>([](CEnvDlg* sheet) {
            BindEndToFirstRow(sheet);
            Press(sheet, QDialogButtonBox::Ok);
        });
        ModalHandler report;
        report.ArmMessageBox();
        const fs::path path = blocker / "KesV.env";
        QVERIFY(RunEnvironmentCommand(nullptr, live, path, connection));
        QVERIFY(report.Handled());
        QCOMPARE(report.Caption(), QStringLiteral("KesV"));
        const QString expected =
            QStringLiteral("設定ファイル %1 を保存できません: ").arg(QString::fromStdString(path));
        QVERIFY2(report.Text().startsWith(expected) && report.Text().size() > expected.size(),
                 qPrintable(report.Text()));
        QCOMPARE(live.bindings[0][kEndRow], 1);
        QVERIFY(fs::is_regular_file(blocker));
    }
};

QTEST_MAIN(EnvCommandTest)
#include "envcommand_test.moc"
