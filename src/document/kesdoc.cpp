#include "kesdoc.h"

#include "document/songcommands.h"

#include "settings/safefile.h"
#include "song/musictime.h"
#include "song/songcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QUndoStack>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A song of 999 events is about 2 KB, but a longer file is not damaged: its first 999
// events load. Beyond this it is no song file.
constexpr qint64 kMaxSongFileBytes = qint64(64) << 20;

SongFileError::FileType FileTypeOf(mode_t mode) {
    using Type = SongFileError::FileType;
    if (S_ISDIR(mode))
        return Type::Folder;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return Type::Device;
    if (S_ISFIFO(mode))
        return Type::Pipe;
    if (S_ISSOCK(mode))
        return Type::Socket;
    return Type::Other;
}

SongFileError NotARegularFile(mode_t mode) {
    SongFileError error;
    error.kind = SongFileError::Kind::NotRegularFile;
    error.fileType = FileTypeOf(mode);
    return error;
}

SongFileError TooLarge(qint64 size) {
    SongFileError error;
    error.kind = SongFileError::Kind::TooLarge;
    error.size = size;
    return error;
}

SongFileError SystemFailure(SongFileError::Kind kind, int systemError) {
    SongFileError error;
    error.kind = kind;
    error.systemError = systemError;
    return error;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads a regular file of at most kMaxSongFileBytes through the song reader, a piece at a
// time. Anything else is refused before a byte is read, and a FIFO never blocks the open.
bool ReadSongFile(const QString& path, Song& song, SongFileError* error) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    // A socket cannot be opened at all: name its type rather than the open's error.
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        *error = NotARegularFile(info.st_mode);
        return false;
    }
    const FileDescriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        *error = SystemFailure(SongFileError::Kind::CannotOpen, errno);
        return false;
    }
    // The path may have been replaced since the first look.
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = NotARegularFile(info.st_mode);
        return false;
    }
    if (info.st_size > kMaxSongFileBytes) {
        *error = TooLarge(info.st_size);
        return false;
    }
    SongReader reader;
    std::vector<uint8_t> buffer(64 * 1024);
    qint64 total = 0;
    for (;;) {
        // One byte beyond the limit is enough to tell that the file grew too large.
        const size_t want =
            size_t(std::min<qint64>(qint64(buffer.size()), kMaxSongFileBytes + 1 - total));
        const ssize_t n = ::read(file.get(), buffer.data(), want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = SystemFailure(SongFileError::Kind::CannotRead, errno);
            return false;
        }
        if (n == 0)
            break;
        total += n;
        if (total > kMaxSongFileBytes) { // it grew while being read
            *error = TooLarge(total);
            return false;
        }
        reader.Feed({buffer.data(), size_t(n)});
    }
    const SongDecodeError result = reader.Finish(song);
    if (result != SongDecodeError::None) {
        error->kind = SongFileError::Kind::Malformed;
        error->decode = result;
        return false;
    }
    return true;
}

} // namespace

// Each step holds only the bytes it changed: a thousand steps take a few hundred KB.
constexpr int kUndoLimit = 1000;

CKesDoc::CKesDoc(QObject* parent) : QObject(parent), m_pUndoStack(new QUndoStack(this)) {
    m_pUndoStack->setUndoLimit(kUndoLimit);
    // After every push, undo and redo; the clean state alone misses a push while unclean.
    connect(m_pUndoStack, &QUndoStack::indexChanged, this,
            [this] { SetModifiedFlag(!m_pUndoStack->isClean()); });
    connect(m_pUndoStack, &QUndoStack::cleanChanged, this,
            [this](bool clean) { SetModifiedFlag(!clean); });
}

CKesDoc::~CKesDoc() = default;

QString CKesDoc::GetTitle() const {
    return m_strPathName.isEmpty() ? QString() : QFileInfo(m_strPathName).fileName();
}

void CKesDoc::SetModifiedFlag(bool modified) {
    if (!modified && !m_pUndoStack->isClean())
        m_pUndoStack->setClean(); // emits cleanChanged, which comes back here
    if (m_bModified == modified)
        return;
    m_bModified = modified;
    Q_EMIT modifiedChanged(modified);
}

void CKesDoc::OnSongChanged() {
    ComputeStartTicks(m_song);
    SetModifiedFlag(true);
    Q_EMIT songEdited();
}

void CKesDoc::OnStepApplied(int row, int column) {
    ComputeStartTicks(m_song);
    Q_EMIT stepApplied(row, column);
}

void CKesDoc::OnNewDocument() {
    m_pUndoStack->clear();
    m_song = Song{};
    ComputeStartTicks(m_song);
    m_strPathName.clear();
    m_diskStamp = {};
    SetModifiedFlag(false);
    Q_EMIT pathChanged(m_strPathName);
    Q_EMIT songReplaced();
}

CKesDoc::DiskStamp CKesDoc::StampOf(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const auto nanoseconds = [](const timespec& time) {
        return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
            nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
}

bool CKesDoc::HasFileChangedOnDisk() const {
    if (m_diskStamp.size < 0)
        return false;
    const DiskStamp now = StampOf(m_strPathName);
    return now.size >= 0 && !(now == m_diskStamp);
}

bool CKesDoc::OnOpenDocument(const QString& path, SongFileError* error) {
    // Taken before the read: a change while reading makes the next save ask, never the reverse.
    const DiskStamp stamp = StampOf(path);
    Song song;
    SongFileError reason;
    if (!ReadSongFile(path, song, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    RemoveStaleTemporaries(QFile::encodeName(path).toStdString());
    m_pUndoStack->clear();
    m_song = std::move(song);
    ComputeStartTicks(m_song);
    m_strPathName = QFileInfo(path).absoluteFilePath();
    m_diskStamp = stamp;
    SetModifiedFlag(false);
    Q_EMIT pathChanged(m_strPathName);
    Q_EMIT songReplaced();
    return true;
}

void CKesDoc::OnRecoverDocument(Song song, const QString& path) {
    m_pUndoStack->clear();
    m_pUndoStack->resetClean();
    m_song = std::move(song);
    ComputeStartTicks(m_song);
    m_strPathName = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    m_diskStamp = StampOf(m_strPathName); // the file as the user decided to restore over it
    SetModifiedFlag(true);
    Q_EMIT pathChanged(m_strPathName);
    Q_EMIT songReplaced();
}

void CKesDoc::ReplaceSongAsStep(const Song& song, int row, int column) {
    const auto bytesOf = [](const Song& from) {
        std::vector<EventBytes> bytes;
        bytes.reserve(size_t(from.count));
        for (int i = 0; i < from.count; ++i)
            bytes.push_back({from.events[size_t(i)].code, from.events[size_t(i)].pitch});
        return bytes;
    };
    auto* step = new CEditStep(this, {row, column});
    step->SetCursorAfter({std::clamp(row, 0, song.count), column});
    new CRemoveEventsCommand(m_song, 0, bytesOf(m_song), step);
    new CInsertEventsCommand(m_song, 0, bytesOf(song), step);
    new CTitleCommand(m_song, m_song.title, song.title, step);
    new CTempoCommand(m_song, m_song.tempo, song.tempo, step);
    new CMusicCommand(m_song, m_song.music, song.music, step);
    // A step is pushed after its change was made.
    const std::string title = song.title;
    const uint8_t tempo = song.tempo;
    const SongMusic music = song.music;
    RemoveSongEvents(m_song, 0, m_song.count);
    InsertSongEvents(m_song, 0, bytesOf(song));
    m_song.title = title;
    m_song.tempo = tempo;
    m_song.music = music;
    ComputeStartTicks(m_song);
    m_pUndoStack->push(step);
    Q_EMIT songReplaced();
}

bool CKesDoc::OnSaveDocument(const QString& path, SongFileError* error) {
    FileWriteError failure;
    if (!WriteFileSafely(QFile::encodeName(path).toStdString(), EncodeSong(m_song), &failure)) {
        if (error) {
            *error = {};
            error->kind = SongFileError::Kind::CannotSave;
            error->write = failure;
        }
        return false;
    }
    m_strPathName = QFileInfo(path).absoluteFilePath();
    m_diskStamp = StampOf(m_strPathName);
    SetModifiedFlag(false);
    Q_EMIT pathChanged(m_strPathName);
    return true;
}
