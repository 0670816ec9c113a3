#include "recovery.h"

#include "settings/userfolders.h"
#include "song/songcodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSet>

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
std::unique_ptr<QLockFile> MakeLock(const QString& path) {
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    return lock;
}

std::unique_ptr<QLockFile> TryLock(const QString& path) {
    std::unique_ptr<QLockFile> lock = MakeLock(path);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

// Writes `bytes` to a new file `path` and flushes it to the disk. Answers 0 or the errno;
// on failure the file is gone.
int WriteFlushed(const QByteArray& path, std::span<const uint8_t> bytes) {
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return errno;
    int error = ::fchmod(fd, 0600) == 0 ? 0 : errno; // an old temporary kept its mode
    size_t written = 0;
    while (error == 0 && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n == 0)
            error = EIO;
        else if (n > 0)
            written += size_t(n);
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        ::unlink(path.constData());
    return error;
}

QByteArray Temporary(const QString& path) {
    return QFile::encodeName(path) + ".tmp";
}

// The renames themselves reach the disk only with their folder.
int SyncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// QLockFile says only that it could not write its file; a file of the same size written the
// same way tells why.
int WhyNoLock(const QString& headerFile) {
    const QByteArray probe = Temporary(headerFile);
    const std::vector<uint8_t> bytes(64, uint8_t('\n'));
    const int error = WriteFlushed(probe, bytes);
    ::unlink(probe.constData());
    return error != 0 ? error : EIO;
}

QByteArray HeaderBytes(const QString& originalPath, const QDateTime& savedAt) {
    return kHeaderMagic + "\npath=" + originalPath.toUtf8() +
           "\nsaved=" + savedAt.toUTC().toString(Qt::ISODateWithMs).toLatin1() + '\n';
}

// A regular file of at most kMaxRecoveryBytes; a pipe or a device in its place is never
// waited on.
bool ReadSmallFile(const QString& path, QByteArray* bytes) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxRecoveryBytes;
    if (ok) {
        bytes->resize(qsizetype(info.st_size));
        qsizetype done = 0;
        while (ok && done < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + done, size_t(bytes->size() - done));
            if (n < 0 && errno != EINTR)
                ok = false;
            else if (n == 0)
                bytes->truncate(done); // shrank meanwhile
            else if (n > 0)
                done += n;
        }
    }
    ::close(fd);
    return ok;
}

int RemoveFile(const QString& path) {
    return ::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT ? 0 : errno;
}

// The files of a slot, by the id they start with, that are not its song: what a window
// killed while it removed or wrote its slot leaves.
const QStringList kSideSuffixes = {QStringLiteral(".info"), QStringLiteral(".lock"),
                                   QStringLiteral(".kes.tmp"), QStringLiteral(".info.tmp")};

void RemoveTemporaries(const QString& folder, const QString& id) {
    RemoveFile(SongName(folder, id) + QStringLiteral(".tmp"));
    RemoveFile(HeaderName(folder, id) + QStringLiteral(".tmp"));
}

// Deletes the side files of slots that hold no song, unless their window still runs.
void RemoveLeftovers(const QString& folder) {
    QSet<QString> ids;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        for (const QString& suffix : kSideSuffixes) {
            if (name.endsWith(suffix) && name.size() > suffix.size()) {
                ids.insert(name.chopped(suffix.size()));
                break;
            }
        }
    }
    for (const QString& id : std::as_const(ids)) {
        if (QFileInfo::exists(SongName(folder, id)))
            continue;
        const std::unique_ptr<QLockFile> lock = TryLock(LockName(folder, id));
        if (!lock)
            continue; // its window is running
        RemoveFile(HeaderName(folder, id));
        RemoveTemporaries(folder, id);
    } // the lock goes with its QLockFile
}

} // namespace

QString DefaultRecoveryFolder() {
    return QFile::decodeName((GetUserFolders().state / "KesV" / "recovery").c_str());
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
    const QString headerFile = HeaderName(m_strFolder, m_strId);
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
        std::unique_ptr<QLockFile> lock = MakeLock(LockName(m_strFolder, m_strId));
        if (!lock->tryLock(0)) {
            // Only a lock another process holds is one; a full disk fails the same call.
            if (lock->error() == QLockFile::LockFailedError) {
                result.kind = RecoveryWriteError::Kind::CannotLock;
            } else {
                result.kind = RecoveryWriteError::Kind::CannotWrite;
                result.systemError = WhyNoLock(headerFile);
            }
            return result;
        }
        m_pLock = std::move(lock);
    }
    const QByteArray header = HeaderBytes(originalPath, savedAt);
    const QByteArray headerTemporary = Temporary(headerFile);
    const QByteArray songTemporary = Temporary(SongFile());
    int error = WriteFlushed(headerTemporary, {reinterpret_cast<const uint8_t*>(header.constData()),
                                               size_t(header.size())});
    if (error == 0)
        error = WriteFlushed(songTemporary, songBytes);
    // The header first: a song file never stands without one.
    if (error == 0 &&
        ::rename(headerTemporary.constData(), QFile::encodeName(headerFile).constData()) != 0)
        error = errno;
    if (error == 0 &&
        ::rename(songTemporary.constData(), QFile::encodeName(SongFile()).constData()) != 0)
        error = errno;
    if (error == 0)
        error = SyncFolder(m_strFolder);
    if (error != 0) {
        ::unlink(headerTemporary.constData());
        ::unlink(songTemporary.constData());
        result.kind = RecoveryWriteError::Kind::CannotWrite;
        result.systemError = error;
    }
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
    RemoveLeftovers(folder);
    std::vector<std::unique_ptr<CRecoveryClaim>> orphans;
    const QFileInfoList songs = QDir(folder).entryInfoList({QStringLiteral("*.kes")}, QDir::Files,
                                                           QDir::Time | QDir::Reversed);
    for (const QFileInfo& song : songs) {
        const QString id = song.completeBaseName();
        std::unique_ptr<QLockFile> lock = TryLock(LockName(folder, id));
        if (!lock)
            continue; // its window is running
        std::unique_ptr<CRecoveryClaim> claim(new CRecoveryClaim(folder, id, std::move(lock)));
        if (claim->Load())
            claim->Discard(); // nothing unsaved
        else
            orphans.push_back(std::move(claim));
    }
    return orphans;
}

bool CRecoveryClaim::Load() {
    QByteArray header;
    QByteArray bytes;
    if (!ReadSmallFile(HeaderName(m_strFolder, m_strId), &header) ||
        !ReadSmallFile(SongFile(), &bytes))
        return false;
    const QList<QByteArray> lines = header.split('\n');
    if (lines.value(0) != kHeaderMagic)
        return false;
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
        return false;
    m_bIntact =
        DecodeSong({reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())},
                   m_song) == SongDecodeError::None;
    if (!m_bIntact || m_strOriginalPath.isEmpty())
        return false;
    const QFileInfo file(m_strOriginalPath);
    if (file.exists())
        m_fileSavedAt = file.lastModified();
    QByteArray saved;
    return ReadSmallFile(m_strOriginalPath, &saved) && saved == bytes;
}

QString CRecoveryClaim::SongFile() const {
    return SongName(m_strFolder, m_strId);
}

int CRecoveryClaim::Discard() {
    const int error = RemoveFile(SongFile());
    if (error == 0)
        RemoveFile(HeaderName(m_strFolder, m_strId));
    RemoveTemporaries(m_strFolder, m_strId);
    return error;
}

QString CRecoveryClaim::MoveAside(int* systemError) {
    const QString damaged = SongFile() + QStringLiteral(".damaged");
    if (::rename(QFile::encodeName(SongFile()).constData(),
                 QFile::encodeName(damaged).constData()) != 0) {
        *systemError = errno;
        return {};
    }
    // A header left behind goes with the next start's leftovers.
    const QString header = HeaderName(m_strFolder, m_strId);
    ::rename(QFile::encodeName(header).constData(),
             QFile::encodeName(header + QStringLiteral(".damaged")).constData());
    RemoveTemporaries(m_strFolder, m_strId);
    *systemError = 0;
    return damaged;
}
