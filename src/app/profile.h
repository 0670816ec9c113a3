// The profile (recent files, the bars' layout, the backup switch): Qt's settings file in KesV's
// own folder beside KesV.env.
#pragma once

#include <QString>

/// Makes QSettings() read and write `configFolder`/KesV/KesV.conf. A profile an earlier version
/// kept in `configFolder`/Local AppWizard-Generated Applications/KesV.conf is moved there first,
/// when there is none yet; its folder goes when that leaves it empty.
void UseProfileFolder(const QString& configFolder);
