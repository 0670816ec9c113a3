#include "envcommand.h"

#include "envdlg.h"
#include "midi/midiconnection.h"
#include "settings/settingsfile.h"

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
    SaveSettings(live, settingsPath);
    connection.SetDeviceNames(live.InputDeviceName(), live.OutputDeviceName());
    if (wasOpen)
        connection.Open();
    return true;
}
