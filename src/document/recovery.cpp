#include "recovery.h"

#include "song/songcodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kHeaderMagic("KesV recovery 1");
// A backup is written whole; anything larger than a full song is not one of ours.
constexpr qint64 kMaxRecoveryBytes = 64 * 1024;

QString SongName(const QString& folder, const QString& id) {
    return folder + QLatin1Char('/') + id + QStringLiteral(".kes");
}
QString HeaderName(const QString& folder, const QString& id) {
    return folder + QLatin1Char('/') + id + QStringLiteral(".info");
}
QString LockName(const QString& folder, const QString& id) {
    return folder + QLatin1Char('/') + id + QStringLiteral(".lock");
}

// The lock of a live window never grows old: only a dead owner makes it stale.
std::unique_ptr<QLockFile> TryLock(const QString& path) {
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it
// over `path`: the old file or the new one, never a part. Answers 0 or the errno.
int WriteAtomically(const QString& path, std::span<const uint8_t> bytes) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".tmp";
    const int fd =
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return errno;
    int error = ::fchmod(fd, 0600) == 0 ? 0 : errno; // an old temporary kept its mode
    size_t written = 0;
    while (error == 0 && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            written += size_t(n);
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.constData());
    return error;
}

// The renames themselves reach the disk only with their folder.
void SyncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QByteArray HeaderBytes(const QString& originalPath, const QDateTime& savedAt) {
    return kHeaderMagic + "\npath=" + originalPath.toUtf8() +
           "\nsaved=" + savedAt.toUTC().toString(Qt::ISODateWithMs).toLatin1() + '\n';
}

bool ReadSmallFile(const QString& path, QByteArray* bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxRecoveryBytes)
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

void RemoveFile(const QString& path) {
    ::unlink(QFile::encodeName(path).constData());
}

} // namespace

QString DefaultRecoveryFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/KesV/recovery");
}

CRecoverySlot::CRecoverySlot(QString folder)
    : m_strFolder(std::move(folder)),
      m_strId(QStringLiteral("%1-%2")
                  .arg(QCoreApplication::applicationPid())
                  .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))) {}

CRecoverySlot::~CRecoverySlot() {
    Remove();
}

QString CRecoverySlot::SongFile() const {
    return SongName(m_strFolder, m_strId);
}

RecoveryWriteError CRecoverySlot::Write(std::span<const uint8_t> songBytes,
                                        const QString& originalPath, const QDateTime& savedAt) {
    RecoveryWriteError result;
    result.folder = m_strFolder;
    if (!m_pLock) {
        std::error_code made;
        std::filesystem::create_directories(QFile::encodeName(m_strFolder).toStdString(), made);
        if (made) {
            result.kind = RecoveryWriteError::Kind::CannotCreateFolder;
            result.systemError = made.value();
            return result;
        }
        const QByteArray folder = QFile::encodeName(m_strFolder);
        ::chmod(folder.constData(), 0700);
        if (::access(folder.constData(), W_OK | X_OK) != 0) {
            result.kind = RecoveryWriteError::Kind::CannotWrite;
            result.systemError = errno;
            return result;
        }
        m_pLock = TryLock(LockName(m_strFolder, m_strId));
        if (!m_pLock) {
            result.kind = RecoveryWriteError::Kind::CannotLock;
            return result;
        }
    }
    // The header first: a song file never stands without one.
    const QByteArray header = HeaderBytes(originalPath, savedAt);
    int error = WriteAtomically(
        HeaderName(m_strFolder, m_strId),
        {reinterpret_cast<const uint8_t*>(header.constData()), size_t(header.size())});
    if (error == 0)
        error = WriteAtomically(SongName(m_strFolder, m_strId), songBytes);
    if (error != 0) {
        result.kind = RecoveryWriteError::Kind::CannotWrite;
        result.systemError = error;
        return result;
    }
    SyncFolder(m_strFolder);
    return result;
}

void CRecoverySlot::Remove() {
    if (!m_pLock)
        return;
    RemoveFile(SongName(m_strFolder, m_strId));
    RemoveFile(HeaderName(m_strFolder, m_strId));
    m_pLock.reset(); // deletes the lock file
}

CRecoveryClaim::CRecoveryClaim(QString folder, QString id, std::unique_ptr<QLockFile> lock)
    : m_strFolder(std::move(folder)), m_strId(std::move(id)), m_pLock(std::move(lock)) {}

CRecoveryClaim::~CRecoveryClaim() = default;

std::vector<std::unique_ptr<CRecoveryClaim>> CRecoveryClaim::FindOrphans(const QString& folder) {
    std::vector<std::unique_ptr<CRecoveryClaim>> orphans;
    const QFileInfoList songs = QDir(folder).entryInfoList({QStringLiteral("*.kes")}, QDir::Files,
                                                           QDir::Time | QDir::Reversed);
    for (const QFileInfo& song : songs) {
        const QString id = song.completeBaseName();
        std::unique_ptr<QLockFile> lock = TryLock(LockName(folder, id));
        if (!lock)
            continue; // its window is running
        std::unique_ptr<CRecoveryClaim> claim(new CRecoveryClaim(folder, id, std::move(lock)));
        claim->Load();
        orphans.push_back(std::move(claim));
    }
    return orphans;
}

void CRecoveryClaim::Load() {
    QByteArray header;
    QByteArray bytes;
    if (!ReadSmallFile(HeaderName(m_strFolder, m_strId), &header) ||
        !ReadSmallFile(SongFile(), &bytes))
        return;
    const QList<QByteArray> lines = header.split('\n');
    if (lines.value(0) != kHeaderMagic)
        return;
    bool hasPath = false;
    for (const QByteArray& line : lines) {
        if (line.startsWith("path=")) {
            m_strOriginalPath = QString::fromUtf8(line.mid(5));
            hasPath = true;
        } else if (line.startsWith("saved=")) {
            m_savedAt = QDateTime::fromString(QString::fromLatin1(line.mid(6)), Qt::ISODateWithMs);
        }
    }
    if (!hasPath || !m_savedAt.isValid())
        return;
    m_bIntact =
        DecodeSong({reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())},
                   m_song) == SongDecodeError::None;
}

QString CRecoveryClaim::SongFile() const {
    return SongName(m_strFolder, m_strId);
}

void CRecoveryClaim::Discard() {
    RemoveFile(SongFile());
    RemoveFile(HeaderName(m_strFolder, m_strId));
}

QString CRecoveryClaim::MoveAside() {
    const QString damaged = SongFile() + QStringLiteral(".damaged");
    const QString header = HeaderName(m_strFolder, m_strId);
    ::rename(QFile::encodeName(SongFile()).constData(), QFile::encodeName(damaged).constData());
    ::rename(QFile::encodeName(header).constData(),
             QFile::encodeName(header + QStringLiteral(".damaged")).constData());
    return damaged;
}
