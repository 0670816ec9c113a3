// The settings command: runs the settings sheet on a copy of the live settings and, after
// OK, puts the new settings in force, saves them and reopens the MIDI connection.
#pragma once

#include <filesystem>

class QWidget;
class CMidiConnection;
struct EnvSettings;

/// Returns whether the sheet was accepted. On Cancel nothing changes; on OK an open
/// connection is closed, the copy replaces live, is saved to settingsPath (a failed save
/// is reported by SaveSettingsOrReport; the settings are in force anyway) and the
/// connection is opened again.
bool RunEnvironmentCommand(QWidget* parent, EnvSettings& live,
                           const std::filesystem::path& settingsPath, CMidiConnection& connection);

/// Saves the settings; when that fails, says so in one message box over `parent` naming
/// the file and the reason. Returns whether the settings were saved.
bool SaveSettingsOrReport(QWidget* parent, const EnvSettings& settings,
                          const std::filesystem::path& settingsPath);
