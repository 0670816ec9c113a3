// The song document: one song, the file it came from and whether it changed since. The start
// ticks of its events are kept current whenever the song changes, so painting only reads.
#pragma once

#include "settings/safefile.h"
#include "song/song.h"
#include "song/songcodec.h"

#include <QObject>
#include <QString>

class QUndoStack;

/// Why a song file could not be read or written. The user interface puts it into words.
struct SongFileError {
    enum class Kind {
        None,
        NotRegularFile, // `fileType` says what it is instead
        CannotOpen,     // `systemError`
        CannotRead,     // `systemError`
        TooLarge,       // `size` bytes
        Malformed,      // `decode` says how
        CannotSave,     // `write` says which step failed and why
    };
    enum class FileType { Folder, Device, Pipe, Socket, Other };
    Kind kind = Kind::None;
    FileType fileType = FileType::Other;
    SongDecodeError decode = SongDecodeError::None;
    qint64 size = 0;
    int systemError = 0;
    FileWriteError write;
};

class CKesDoc : public QObject {
    Q_OBJECT
public:
    explicit CKesDoc(QObject* parent = nullptr);
    ~CKesDoc() override;

    /// The song to change in place; call OnSongChanged after every change.
    Song& GetSong() { return m_song; }
    const Song& GetSong() const { return m_song; }
    QString GetPathName() const { return m_strPathName; }
    /// The file's name; empty for a song not yet saved (the window calls it untitled).
    QString GetTitle() const;
    bool IsModified() const { return m_bModified; }
    /// False also marks the undo stack clean: the song is as its file holds it.
    void SetModifiedFlag(bool modified = true);
    /// After a change of the song: brings the start ticks up to date and marks it modified.
    void OnSongChanged();

    /// The edits of the song since New or Open; the modified flag follows its clean state.
    QUndoStack* GetUndoStack() const { return m_pUndoStack; }
    /// After an undo or redo step: start ticks brought up to date, the cursor to be put here.
    void OnStepApplied(int row, int column);

    /// A fresh song: empty title, tempo 126, no events; no file, not modified.
    void OnNewDocument();
    /// Reads a song file. On failure the song stays as it was and `error` says why.
    bool OnOpenDocument(const QString& path, SongFileError* error);
    /// Puts a song brought back from a recovery file in place of the current one: modified
    /// (it was never saved as it is), with `path` as its file, empty for an untitled song.
    /// Undo cannot reach a clean state, since the file never held this song.
    void OnRecoverDocument(Song song, const QString& path);
    /// Puts the events, title and tempo of `song` in place of the current ones as one undo
    /// step (an import in the window); the file and its name stay. The cursor was at
    /// (row, column) and stays there, within the new song.
    void ReplaceSongAsStep(const Song& song, int row, int column);
    /// Writes the song through WriteFileSafely. On failure (a full disk too) the old file stays
    /// as it was, the song stays modified and `error` says why.
    bool OnSaveDocument(const QString& path, SongFileError* error);
    /// Whether the song's file is no longer the one this document last opened or saved (another
    /// window or program wrote it since); false for a file that is gone or was never read.
    bool HasFileChangedOnDisk() const;

Q_SIGNALS:
    /// The whole song was replaced (new or opened).
    void songReplaced();
    void modifiedChanged(bool modified);
    /// OnSongChanged was called: the song changed in place.
    void songEdited();
    void pathChanged(const QString& path);
    /// An undo or redo step changed the song; the cursor belongs at this row and column.
    void stepApplied(int row, int column);

private:
    /// What tells one version of a file from another without reading it.
    struct DiskStamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1; // -1: no file known
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const DiskStamp&) const = default;
    };
    static DiskStamp StampOf(const QString& path);

    Song m_song;
    QString m_strPathName;
    DiskStamp m_diskStamp; // of m_strPathName as last opened or saved
    bool m_bModified = false;
    QUndoStack* m_pUndoStack; // a child object
};
