// The profile: the window's state between runs (recent files, the bars' layout) in Qt's settings
// file in KesV's own folder beside KesV.env. Read through QSettings; written so that a failure
// never damages it.
#pragma once

#include <QString>

#include <functional>

class QSettings;

/// Makes QSettings() read and write `configFolder`/KesV/KesV.conf. A profile an earlier version
/// kept in `configFolder`/Local AppWizard-Generated Applications/KesV.conf is moved there first,
/// when there is none yet; its folder goes when that leaves it empty.
void UseProfileFolder(const QString& configFolder);

/// The file QSettings keeps this program's profile in, from the folder UseProfileFolder set (or
/// Qt's own) and the application's and the organisation's names.
QString ProfilePath();

/// Call before anything reads the profile. Qt's reader blocks on a FIFO, so when a file QSettings
/// would read is not a regular file this run reads none (an empty profile) and every write
/// fails; returns that file, or nothing when all is well.
QString GuardProfile();

/// Changes the profile: `change` sets or removes keys of a QSettings that holds the profile as
/// it is on disk. Qt writes the result into a private folder, where it is read back and compared
/// (Qt 6.4 reports success when its last write to a full disk fails), and only then is it put in
/// place through WriteFileSafely. On failure the old profile stays as it was and `error` says why.
bool WriteProfile(const std::function<void(QSettings&)>& change, QString* error);
