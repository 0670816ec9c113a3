// Recovery files on disk: what a slot writes, what a later start finds and reads back, and
// a restored song that stays modified.
#include "document/kesdoc.h"
#include "document/recovery.h"
#include "song/songcodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

std::vector<uint8_t> SongBytes(int events) {
    Song song;
    song.title = "melody";
    for (int i = 0; i < events; ++i)
        song.events[size_t(song.count++)] = {0, 0xC4, uint8_t(0x30 + i % 40)};
    return EncodeSong(song);
}

mode_t ModeOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray AsBytes(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// Files of this process may not grow past `bytes` while it lives: a full disk without root.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

} // namespace

// The song file is a plain song file readable by the user alone; the slot's lock keeps a
// running window's file from being offered; a dead window's file is found with its header.
TEST(Recovery, Slot_WritesAPrivateSongFileThatOnlyAnOrphanOffers) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("KesV/recovery"));
    const std::vector<uint8_t> bytes = SongBytes(12);
    const QDateTime at =
        QDateTime::fromString(QStringLiteral("2026-01-02T03:04:05.678Z"), Qt::ISODateWithMs);
    QString songFile;
    {
        CRecoverySlot slot(folder);
        ASSERT_EQ(slot.Write(bytes, QStringLiteral("/songs/夜.kes"), at).kind,
                  RecoveryWriteError::Kind::None);
        songFile = slot.SongFile();
        QFile file(songFile);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.end()), bytes);
        EXPECT_EQ(ModeOf(songFile), 0600u);
        EXPECT_EQ(ModeOf(folder), 0700u);
        EXPECT_TRUE(CRecoveryClaim::FindOrphans(folder).empty()); // this window owns it

        // What a killed window leaves: its files without a live lock.
        WriteFile(folder + QStringLiteral("/7-old.kes"),
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
        WriteFile(folder + QStringLiteral("/7-old.info"),
                  "KesV recovery 1\npath=/songs/夜.kes\nsaved=2026-01-02T03:04:05.678Z\n");
        auto orphans = CRecoveryClaim::FindOrphans(folder);
        ASSERT_EQ(orphans.size(), 1u);
        ASSERT_TRUE(orphans[0]->IsIntact());
        EXPECT_EQ(orphans[0]->GetOriginalPath(), QStringLiteral("/songs/夜.kes"));
        EXPECT_EQ(orphans[0]->GetSavedAt(), at);
        EXPECT_EQ(EncodeSong(orphans[0]->GetSong()), bytes);
        // While one start holds it, a second start does not offer it too.
        EXPECT_TRUE(CRecoveryClaim::FindOrphans(folder).empty());
        orphans[0]->Discard();
    }
    EXPECT_FALSE(QFile::exists(songFile)); // a normal end leaves nothing
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

// A write that fails leaves the previous song and header as they were, and a lock that
// cannot be written says why instead of naming another window.
TEST(Recovery, Slot_FailedWriteKeepsThePreviousBackup) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("recovery"));
    CRecoverySlot slot(folder);
    const QDateTime at = QDateTime::currentDateTimeUtc();
    ASSERT_EQ(slot.Write(SongBytes(12), QStringLiteral("/songs/a.kes"), at).kind,
              RecoveryWriteError::Kind::None);
    const QString header =
        QString(slot.SongFile()).replace(QStringLiteral(".kes"), QStringLiteral(".info"));
    const QByteArray oldSong = ReadFile(slot.SongFile());
    const QByteArray oldHeader = ReadFile(header);
    const std::vector<uint8_t> bigger = SongBytes(300);
    ASSERT_GT(bigger.size(), 512u); // the header fits under the limit, the song does not
    RecoveryWriteError failed;
    RecoveryWriteError unlocked;
    {
        const CFileSizeLimit limit(512);
        failed = slot.Write(bigger, QStringLiteral("/songs/b.kes"), at.addSecs(5));
        CRecoverySlot fresh(dir.filePath(QStringLiteral("other")));
        const CFileSizeLimit none(0);
        unlocked = fresh.Write(bigger, {}, at);
    }
    EXPECT_EQ(failed.kind, RecoveryWriteError::Kind::CannotWrite);
    EXPECT_EQ(failed.systemError, EFBIG);
    EXPECT_EQ(ReadFile(slot.SongFile()), oldSong);
    EXPECT_EQ(ReadFile(header), oldHeader);
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.tmp")}, QDir::Files).size(), 0);
    EXPECT_EQ(unlocked.kind, RecoveryWriteError::Kind::CannotWrite);
    EXPECT_EQ(unlocked.systemError, EFBIG);
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("other"))).entryList(QDir::Files).isEmpty());
}

// A start deletes what a window killed while it removed or wrote its backup left, and a
// backup of a song that was saved just before the kill; it keeps a running window's files
// and offers a backup older than its saved file with the file's time.
TEST(Recovery, FindOrphans_DropsLeftoversAndSavedSongs) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("recovery"));
    const auto at = [&folder](const QString& name) { return folder + QLatin1Char('/') + name; };
    CRecoverySlot live(folder);
    ASSERT_EQ(live.Write(SongBytes(2), {}, QDateTime::currentDateTimeUtc()).kind,
              RecoveryWriteError::Kind::None);
    QFile::remove(live.SongFile()); // its window goes on and writes again

    // A lock whose process is gone, beside the rest of a half-removed slot.
    WriteFile(at(QStringLiteral("9-gone.lock")), "2147483646\nKesV\n\n");
    WriteFile(at(QStringLiteral("9-gone.info")),
              "KesV recovery 1\npath=\nsaved=2026-01-02T03:04:05Z\n");
    WriteFile(at(QStringLiteral("9-gone.kes.tmp")), "half");

    const QString song = dir.filePath(QStringLiteral("夜.kes"));
    const QByteArray saved = AsBytes(SongBytes(5));
    WriteFile(song, saved);
    const QByteArray header =
        "KesV recovery 1\npath=" + song.toUtf8() + "\nsaved=2020-01-01T00:00:00Z\n";
    WriteFile(at(QStringLiteral("8-saved.kes")), saved);
    WriteFile(at(QStringLiteral("8-saved.info")), header);
    WriteFile(at(QStringLiteral("7-older.kes")), AsBytes(SongBytes(4)));
    WriteFile(at(QStringLiteral("7-older.info")), header);

    auto orphans = CRecoveryClaim::FindOrphans(folder);
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_EQ(QFileInfo(orphans[0]->SongFile()).fileName(), QStringLiteral("7-older.kes"));
    EXPECT_GT(orphans[0]->GetFileSavedAt(), orphans[0]->GetSavedAt());
    orphans.clear();
    QStringList left = QDir(folder).entryList(QDir::Files);
    left.sort();
    const QString liveId = QFileInfo(live.SongFile()).completeBaseName();
    QStringList kept = {QStringLiteral("7-older.info"), QStringLiteral("7-older.kes"),
                        liveId + QStringLiteral(".info"), liveId + QStringLiteral(".lock")};
    kept.sort();
    EXPECT_EQ(left, kept);
    EXPECT_EQ(ReadFile(song), saved);
}

// A restored song keeps its file name and stays modified even when its edits are undone.
TEST(Recovery, RestoredSong_StaysModifiedWithItsPath) {
    CKesDoc doc;
    Song song;
    DecodeSong(SongBytes(3), song);
    doc.OnRecoverDocument(song, QStringLiteral("/songs/a.kes"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), QStringLiteral("/songs/a.kes"));
    doc.ReplaceSongAsStep(Song{}, 0, 0);
    doc.GetUndoStack()->undo();
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetSong().count, 3);
}
