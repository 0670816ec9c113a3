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
    /// Waits for a write under way and removes the slot: a normal end leaves no file.
    ~CAutoBackup() override;

    /// Off: no backup is written, and the one there is removed. On by default.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_bEnabled; }
    /// Quiet time after the last edit, and the longest time an unsaved edit waits.
    void SetIntervals(std::chrono::milliseconds idle, std::chrono::milliseconds longest);
    /// Writes the modified song at once and returns when the file is written.
    void BackUpNow();
    QString SongFile() const { return m_slot.SongFile(); }

Q_SIGNALS:
    /// A write failed; said once, then again only after a write has succeeded.
    void backupFailed(const RecoveryWriteError& error);
    /// A backup reached the disk (or was removed, when `written` is false).
    void backupDone(bool written);

private:
    struct Job {
        bool remove = false;
        std::vector<uint8_t> bytes;
        QString originalPath;
        QDateTime savedAt;
    };

    void OnDocumentChanged();
    /// Writes the song if it is still modified.
    void OnTimeout();
    void Post(Job job);
    void Wait();
    void RunWriter();
    void OnWriteEnded(bool written, const RecoveryWriteError& error);

    CKesDoc* m_pDocument;
    CRecoverySlot m_slot; // touched only by the writer thread once it runs
    bool m_bEnabled = true;
    bool m_bReported = false;
    QTimer m_idleTimer;
    QTimer m_longestTimer;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Job> m_pending; // only the latest song counts
    bool m_bBusy = false;
    bool m_bStop = false;
    std::thread m_writer; // started with the first write
};
