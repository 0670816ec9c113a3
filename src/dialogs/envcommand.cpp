#include "envcommand.h"

#include "envdlg.h"
#include "midi/midiconnection.h"
#include "settings/settingsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>

#include <cstring>

bool RunEnvironmentCommand(QWidget* parent, EnvSettings& live,
                           const std::filesystem::path& settingsPath, CMidiConnection& connection) {
    CEnvDlg sheet(parent, CEnvDlg::BasicPage);
    const bool wasOpen = connection.IsOpen();
    sheet.GetSettings() = live;
    if (sheet.DoModal() != QDialog::Accepted)
        return false;

    if (wasOpen)
        connection.Close();
    live = sheet.GetSettings();
    SaveSettingsOrReport(parent, live, settingsPath);
    connection.SetDeviceNames(live.InputDeviceName(), live.OutputDeviceName());
    if (wasOpen)
        connection.Open();
    return true;
}

namespace {

struct SettingsFileText {
    Q_DECLARE_TR_FUNCTIONS(SettingsFile)
};

QString DescribeSettingsError(const SettingsFileError& error) {
    using Step = SettingsFileError::Step;
    QString what;
    switch (error.step) {
    case Step::NotRegular:
        return SettingsFileText::tr("通常のファイルではありません");
    case Step::ReadOnly:
        return SettingsFileText::tr("書き込みが禁止されています");
    case Step::ReadLink:
        what = SettingsFileText::tr("リンク先を読めません");
        break;
    case Step::Open:
        what = SettingsFileText::tr("ファイルを開けません");
        break;
    case Step::Write:
        what = SettingsFileText::tr("書き込めません");
        break;
    case Step::CreateFolder:
        what = SettingsFileText::tr("フォルダを作成できません");
        break;
    case Step::Create:
        what = SettingsFileText::tr("ファイルを作成できません");
        break;
    case Step::Replace:
        what = SettingsFileText::tr("ファイルを置き換えられません");
        break;
    case Step::None:
        return {};
    }
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error.systemError));
}

} // namespace

bool SaveSettingsOrReport(QWidget* parent, const EnvSettings& settings,
                          const std::filesystem::path& settingsPath) {
    SettingsFileError error;
    if (SaveSettings(settings, settingsPath, &error))
        return true;
    QMessageBox::warning(parent, QStringLiteral("KesV"),
                         SettingsFileText::tr("設定ファイル %1 を保存できません: %2")
                             .arg(QDir::toNativeSeparators(QFile::decodeName(settingsPath.c_str())),
                                  DescribeSettingsError(error)));
    return false;
}
