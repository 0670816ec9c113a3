#include "autobackup.h"

#include "document/kesdoc.h"
#include "song/songcodec.h"

#include <QUndoStack>

using namespace std::chrono_literals;

CAutoBackup::CAutoBackup(CKesDoc* document, const QString& folder, QObject* parent)
    : QObject(parent), m_pDocument(document), m_slot(folder) {
    m_idleTimer.setSingleShot(true);
    m_longestTimer.setSingleShot(true);
    SetIntervals(5s, 30s);
    connect(&m_idleTimer, &QTimer::timeout, this, &CAutoBackup::OnTimeout);
    connect(&m_longestTimer, &QTimer::timeout, this, &CAutoBackup::OnTimeout);
    connect(m_pDocument, &CKesDoc::modifiedChanged, this, &CAutoBackup::OnDocumentChanged);
    connect(m_pDocument, &CKesDoc::songEdited, this, &CAutoBackup::OnDocumentChanged);
    connect(m_pDocument, &CKesDoc::songReplaced, this, &CAutoBackup::OnDocumentChanged);
    connect(m_pDocument->GetUndoStack(), &QUndoStack::indexChanged, this,
            &CAutoBackup::OnDocumentChanged);
}

CAutoBackup::~CAutoBackup() {
    if (m_writer.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_bStop = true;
        }
        m_changed.notify_all();
        m_writer.join();
    }
    // m_slot removes its files as it goes.
}

void CAutoBackup::SetEnabled(bool enabled) {
    m_bEnabled = enabled;
    OnDocumentChanged();
}

void CAutoBackup::SetIntervals(std::chrono::milliseconds idle, std::chrono::milliseconds longest) {
    m_idleTimer.setInterval(idle);
    m_longestTimer.setInterval(longest);
}

void CAutoBackup::OnDocumentChanged() {
    if (!m_pDocument->IsModified())
        DropClaim();
    if (!m_bEnabled || !m_pDocument->IsModified()) {
        // Saved, undone to the saved state, replaced or switched off: nothing to keep.
        const bool armed = m_idleTimer.isActive() || m_longestTimer.isActive();
        m_idleTimer.stop();
        m_longestTimer.stop();
        if (armed || m_writer.joinable())
            Post({true, {}, {}, {}, 0});
        return;
    }
    m_idleTimer.start(); // restarts the quiet time
    if (!m_longestTimer.isActive())
        m_longestTimer.start();
}

void CAutoBackup::OnTimeout() {
    m_idleTimer.stop();
    m_longestTimer.stop();
    if (m_bEnabled && m_pDocument->IsModified())
        Post({false, EncodeSong(m_pDocument->GetSong()), m_pDocument->GetPathName(),
              QDateTime::currentDateTimeUtc(), 0});
}

bool CAutoBackup::BackUpNow(RecoveryWriteError* error) {
    const quint64 before = m_nPosted;
    OnTimeout();
    Wait();
    if (m_nPosted == before)
        return false;
    const std::lock_guard lock(m_mutex);
    if (error)
        *error = m_lastResult.error;
    return m_lastResult.written && m_lastResult.error.kind == RecoveryWriteError::Kind::None;
}

void CAutoBackup::KeepClaim(std::unique_ptr<CRecoveryClaim> claim) {
    m_pClaim = std::move(claim);
    m_nClaimedAfter = m_nPosted;
}

void CAutoBackup::DropClaim() {
    if (!m_pClaim)
        return;
    m_pClaim->Discard();
    m_pClaim.reset();
}

void CAutoBackup::Post(Job job) {
    job.serial = ++m_nPosted;
    {
        const std::lock_guard lock(m_mutex);
        m_pending = std::move(job);
    }
    if (!m_writer.joinable())
        m_writer = std::thread(&CAutoBackup::RunWriter, this);
    m_changed.notify_all();
}

void CAutoBackup::Wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_pending && !m_bBusy; });
}

void CAutoBackup::RunWriter() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending || m_bStop; });
        if (m_bStop)
            break; // the slot removes its files as it is destroyed
        const Job job = std::move(*m_pending);
        m_pending.reset();
        m_bBusy = true;
        lock.unlock();
        Result result{job.serial, !job.remove, {}};
        if (job.remove)
            m_slot.Remove();
        else
            result.error = m_slot.Write(job.bytes, job.originalPath, job.savedAt);
        // Dropped by Qt if this object is gone by the time the window's thread gets to it.
        QMetaObject::invokeMethod(
            this, [this, result] { OnWriteEnded(result); }, Qt::QueuedConnection);
        lock.lock();
        m_lastResult = result;
        m_bBusy = false;
        m_changed.notify_all();
    }
}

void CAutoBackup::OnWriteEnded(const Result& result) {
    if (result.error.kind == RecoveryWriteError::Kind::None) {
        if (result.written) {
            if (result.serial > m_nClaimedAfter)
                DropClaim();
            if (m_bReported) {
                m_bReported = false;
                Q_EMIT backupResumed();
            }
        }
        Q_EMIT backupDone(result.written);
        return;
    }
    // A full disk or a folder made writable again is noticed without another edit.
    if (m_bEnabled && m_pDocument->IsModified() && !m_longestTimer.isActive())
        m_longestTimer.start();
    if (!m_bReported) {
        m_bReported = true;
        Q_EMIT backupFailed(result.error);
    }
}
