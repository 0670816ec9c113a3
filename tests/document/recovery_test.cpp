// Recovery files on disk: what a slot writes, what a later start finds and reads back, and
// a restored song that stays modified.
#include "document/kesdoc.h"
#include "document/recovery.h"
#include "song/songcodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUndoStack>

#include <gtest/gtest.h>

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
