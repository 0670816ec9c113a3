#include "envcommand.h"

#include "envdlg.h"
#include "midi/midiconnection.h"
#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>

#include <string>

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

bool SaveSettingsOrReport(QWidget* parent, const EnvSettings& settings,
                          const std::filesystem::path& settingsPath) {
    std::string reason;
    if (SaveSettings(settings, settingsPath, &reason))
        return true;
    QMessageBox::warning(parent, QStringLiteral("KesV"),
                         QStringLiteral("設定ファイル %1 を保存できません: %2")
                             .arg(QDir::toNativeSeparators(QFile::decodeName(settingsPath.c_str())),
                                  QString::fromStdString(reason)));
    return false;
}
