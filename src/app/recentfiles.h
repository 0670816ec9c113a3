// The recent files in the profile, shared by every running window: each change is written at
// once, merged with what the other windows wrote there since.
#pragma once

#include <QStringList>

/// The profile's recent files, the latest first (at most kRecentFileCount).
QStringList LoadRecentFiles();

/// Puts `path` (made absolute) first in the profile's list, keeping the entries the profile
/// holds now, and returns the list written.
QStringList AddRecentFile(const QString& path);
