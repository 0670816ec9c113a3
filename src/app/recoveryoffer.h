// The start-up offer of unsaved work that a window ended without saving (a crash, a kill, a
// lost session) left in the recovery folder, and the words for a backup that failed.
#pragma once

#include <QString>

class CAutoBackup;
class CMainFrame;
struct RecoveryWriteError;

/// Asks about each recovery file of `folder` that no running KesV owns, the oldest first:
/// 復元 puts the song into the frame's document as a modified song with its own file name, 破棄
/// deletes the file, 後で leaves it for a later start. The window holds one song, so after a
/// restore the remaining files wait for a later start. A restored song's file is deleted once
/// `backup` holds the song; until then `backup` keeps it, and the status bar says so. Damaged
/// files are moved aside and said in the status bar.
void OfferRecovery(CMainFrame* frame, CAutoBackup* backup, const QString& folder);

/// Says in the frame's status bar when `backup` cannot be written, and takes the line back
/// once it can.
void ShowBackupFailures(CMainFrame* frame, CAutoBackup* backup);

/// The status bar's line for a backup that could not be written.
QString DescribeBackupFailure(const RecoveryWriteError& error);
