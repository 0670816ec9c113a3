// The automatic backup of a modified song: a few seconds after the last edit (and at the
// latest a fixed time after the first unsaved one) the song goes to the window's recovery
// slot, written on a thread of its own so that the window never waits for the disk.
#pragma once

#include "document/recovery.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class CKesDoc;

class CAutoBackup : public QObject {
    Q_OBJECT
public:
    /// Watches `document` (which outlives this) and writes to a new slot in `folder`.
    CAutoBackup(CKesDoc* document, const QString& folder, QObject* parent = nullptr);
    /// Waits for a write under way and removes the slot: a normal end leaves no file. A
    /// claim still kept is released with its files, for a later start to offer.
    ~CAutoBackup() override;

    /// Off: no backup is written, and the one there is removed. On by default.
    void SetEnabled(bool enabled);
    /// Quiet time after the last edit, and the longest time an unsaved edit waits.
    void SetIntervals(std::chrono::milliseconds idle, std::chrono::milliseconds longest);
    /// Writes the modified song at once and returns when the file is written. False when
    /// the slot does not hold the song: the backup is off, the song is not modified, or the
    /// write failed (`error` says why).
    bool BackUpNow(RecoveryWriteError* error = nullptr);
    QString SongFile() const { return m_slot.SongFile(); }
    /// The slot the window's song was restored from, while the song is nowhere else: kept
    /// locked until a later backup holds the song or the song is no longer modified (saved,
    /// or dropped by the user), then deleted.
    void KeepClaim(std::unique_ptr<CRecoveryClaim> claim);

Q_SIGNALS:
    /// A write failed; said once, then again only after a write has succeeded. The write is
    /// tried again while the song stays modified.
    void backupFailed(const RecoveryWriteError& error);
    /// A write succeeded after a failure was said.
    void backupResumed();
    /// A backup reached the disk (or was removed, when `written` is false).
    void backupDone(bool written);

private:
    struct Job {
        bool remove = false;
        std::vector<uint8_t> bytes;
        QString originalPath;
        QDateTime savedAt;
        quint64 serial = 0;
    };
    struct Result {
        quint64 serial = 0;
        bool written = false;
        RecoveryWriteError error;
    };

    void OnDocumentChanged();
    /// Writes the song if it is still modified.
    void OnTimeout();
    void Post(Job job);
    void Wait();
    void RunWriter();
    void OnWriteEnded(const Result& result);
    void DropClaim();

    CKesDoc* m_pDocument;
    CRecoverySlot m_slot; // touched only by the writer thread once it runs
    bool m_bEnabled = true;
    bool m_bReported = false;
    QTimer m_idleTimer;
    QTimer m_longestTimer;
    quint64 m_nPosted = 0;
    std::unique_ptr<CRecoveryClaim> m_pClaim;
    quint64 m_nClaimedAfter = 0; // only a write posted later holds the song

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Job> m_pending; // only the latest song counts
    Result m_lastResult;
    bool m_bBusy = false;
    bool m_bStop = false;
    std::thread m_writer; // started with the first write
};
