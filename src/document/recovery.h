// Recovery files: the unsaved song of a running window, kept in the user's state folder so
// that the next start can offer it back after a crash. Each window owns one slot (a song
// file, a small header beside it and a lock that tells the slot is in use).
#pragma once

#include "song/song.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class QLockFile;

/// KesV/recovery in the user's state folder (`~/.local/state/KesV/recovery`).
QString DefaultRecoveryFolder();

/// Why a recovery file could not be written; the window puts it into words.
struct RecoveryWriteError {
    enum class Kind { None, CannotCreateFolder, CannotLock, CannotWrite };
    Kind kind = Kind::None;
    int systemError = 0; // 0 for CannotLock: another process holds the slot
    QString folder;
};

/// The slot of one window. A write puts the song and its header, mode 0600, in full beside
/// the old ones and flushes them to the disk before renaming them over the old pair: a failed
/// write leaves the previous backup. The slot is locked from the first write until it is
/// removed or destroyed.
class CRecoverySlot {
public:
    explicit CRecoverySlot(QString folder);
    /// Removes the files: a normal end leaves none.
    ~CRecoverySlot();
    CRecoverySlot(const CRecoverySlot&) = delete;
    CRecoverySlot& operator=(const CRecoverySlot&) = delete;

    /// `originalPath` is the song's own file, empty for an untitled song.
    RecoveryWriteError Write(std::span<const uint8_t> songBytes, const QString& originalPath,
                             const QDateTime& savedAt);
    /// Removes the files and releases the lock; a later Write takes the slot again.
    void Remove();
    /// The song file of the slot (it exists only after a Write).
    QString SongFile() const;

private:
    QString m_strFolder;
    QString m_strId;
    std::unique_ptr<QLockFile> m_pLock;
};

/// A slot left behind by a window that ended without cleaning up, held locked while it is
/// offered. Destroying it releases the lock and leaves the files for a later start.
class CRecoveryClaim {
public:
    ~CRecoveryClaim();
    CRecoveryClaim(const CRecoveryClaim&) = delete;
    CRecoveryClaim& operator=(const CRecoveryClaim&) = delete;

    /// The slots of `folder` that no running process owns, the oldest first. What a killed
    /// window left with nothing to offer is deleted on the way: the files of a slot without
    /// its song, and a slot whose song its own file holds byte for byte (killed after the
    /// save, before the backup was removed).
    static std::vector<std::unique_ptr<CRecoveryClaim>> FindOrphans(const QString& folder);

    /// False when the song or its header cannot be read: the slot is damaged.
    bool IsIntact() const { return m_bIntact; }
    const Song& GetSong() const { return m_song; }
    /// The file the song belongs to; empty for an untitled song.
    QString GetOriginalPath() const { return m_strOriginalPath; }
    QDateTime GetSavedAt() const { return m_savedAt; }
    /// When the song's own file was last written; invalid when there is none. Later than
    /// GetSavedAt when the file was saved after this backup.
    QDateTime GetFileSavedAt() const { return m_fileSavedAt; }
    QString SongFile() const;

    /// Deletes the slot's files; answers 0 or the errno of the song file's removal.
    int Discard();
    /// Renames the slot's files to "….damaged" so that they are not offered again. Answers
    /// the song file's new name, or an empty string when it stayed (`systemError` says why).
    QString MoveAside(int* systemError);

private:
    CRecoveryClaim(QString folder, QString id, std::unique_ptr<QLockFile> lock);
    /// Reads the slot; answers whether the song's own file holds these very bytes.
    bool Load();

    QString m_strFolder;
    QString m_strId;
    std::unique_ptr<QLockFile> m_pLock;
    bool m_bIntact = false;
    Song m_song;
    QString m_strOriginalPath;
    QDateTime m_savedAt;
    QDateTime m_fileSavedAt;
};
