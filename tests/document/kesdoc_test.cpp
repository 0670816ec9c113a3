// What the document decides: when the song counts as modified, that start ticks follow every
// change, and that an import in the window is one undoable step.
#include "document/kesdoc.h"
#include "filesizelimit.h"
#include "song/musictime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace {

constexpr uint8_t kWhole = 0xC0;   // 1920 ticks
constexpr uint8_t kShort = 0xC9;   // 120 ticks
constexpr uint8_t kPitchC4 = 0x34; // any note

Song MakeSong(std::initializer_list<uint8_t> codes, const char* title = "", uint8_t tempo = 0x70) {
    Song song;
    song.title = title;
    song.tempo = tempo;
    for (uint8_t code : codes)
        song.events[size_t(song.count++)] = {0, code, kPitchC4};
    return song;
}

TEST(KesDoc, ModifiedFlag_FollowsChangesSavesAndTheUndoStack) {
    QTemporaryDir dir;
    CKesDoc doc;
    QSignalSpy modified(&doc, &CKesDoc::modifiedChanged);
    doc.OnNewDocument();
    EXPECT_FALSE(doc.IsModified());

    doc.ReplaceSongAsStep(MakeSong({kWhole}), 0, 0);
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.OnSaveDocument(dir.filePath(QStringLiteral("a.kes")), nullptr));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.GetUndoStack()->isClean());

    // Undoing past the saved state modifies the song again; redoing back to it does not.
    doc.GetUndoStack()->undo();
    EXPECT_TRUE(doc.IsModified());
    doc.GetUndoStack()->redo();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(modified.count(), 4); // set, saved, undone, redone: one signal each

    // A change made without the stack still counts; opening a file clears it.
    doc.GetSong().tempo = 0x71;
    doc.OnSongChanged();
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.OnOpenDocument(dir.filePath(QStringLiteral("a.kes")), nullptr));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetUndoStack()->count(), 0);
}

TEST(KesDoc, StartTicks_AreCurrentAfterEveryKindOfChange) {
    CKesDoc doc;
    doc.OnNewDocument();
    const int whole = GetDurationTicks(kWhole);
    const int shortTicks = GetDurationTicks(kShort);
    ASSERT_GT(whole, 0);
    ASSERT_GT(shortTicks, 0);

    doc.ReplaceSongAsStep(MakeSong({kWhole, kShort, kWhole}), 0, 0);
    EXPECT_EQ(doc.GetSong().events[2].startTick, uint32_t(whole + shortTicks));
    EXPECT_EQ(doc.GetSong().events[3].startTick, uint32_t(2 * whole + shortTicks)); // end position

    doc.GetSong().events[0].code = kShort;
    doc.OnSongChanged();
    EXPECT_EQ(doc.GetSong().events[3].startTick, uint32_t(whole + 2 * shortTicks));

    doc.GetUndoStack()->undo(); // back to the empty song
    EXPECT_EQ(doc.GetSong().count, 0);
    EXPECT_EQ(doc.GetSong().events[0].startTick, 0u);
    doc.GetUndoStack()->redo();
    EXPECT_EQ(doc.GetSong().events[1].startTick, uint32_t(whole));
}

// An import in the window: events, title, tempo, key, time signature and pickup in one step.
TEST(KesDoc, ReplaceSongAsStep_IsOneStepThatKeepsTheFileAndClampsTheCursor) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.kes"));
    CKesDoc doc;
    doc.OnNewDocument();
    doc.GetSong() = MakeSong({kWhole, kWhole, kWhole, kWhole}, "old", 0x7E);
    doc.OnSongChanged();
    ASSERT_TRUE(doc.OnSaveDocument(path, nullptr));
    const Song before = doc.GetSong();

    QSignalSpy cursor(&doc, &CKesDoc::stepApplied);
    Song imported = MakeSong({kShort}, "new", 0x70);
    imported.music = {SongKey{-1, false}, TimeSignature{6, 8}, 240, {}};
    doc.ReplaceSongAsStep(imported, 3, 1);
    EXPECT_EQ(doc.GetUndoStack()->count(), 1);
    EXPECT_EQ(doc.GetSong().music, imported.music);
    EXPECT_EQ(doc.GetSong().title, "new");
    EXPECT_EQ(doc.GetSong().tempo, 0x70);
    EXPECT_EQ(doc.GetSong().count, 1);
    EXPECT_EQ(doc.GetPathName(), QFileInfo(path).absoluteFilePath());

    doc.GetUndoStack()->undo();
    EXPECT_TRUE(doc.GetSong() == before);
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(cursor.count(), 1);
    EXPECT_EQ(cursor.at(0).at(0).toInt(), 3); // the cursor where it was
    doc.GetUndoStack()->redo();
    EXPECT_EQ(doc.GetSong().music, imported.music);
    ASSERT_EQ(cursor.count(), 2);
    EXPECT_EQ(cursor.at(1).at(0).toInt(), 1); // within the one-event song: its end row
    EXPECT_EQ(cursor.at(1).at(1).toInt(), 1);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A save that fails (at a file-size limit here, as on a full disk) leaves the old file and the
// song modified: the modified flag, the title's mark, the question at exit and the backup of
// unsaved work (removed only once the flag clears) all stay.
TEST(KesDoc, FailedSave_KeepsTheOldFileAndTheModifiedFlag) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.kes"));
    CKesDoc doc;
    doc.OnNewDocument();
    doc.GetSong() = MakeSong({kWhole, kShort, kWhole}, "old");
    doc.OnSongChanged();
    ASSERT_TRUE(doc.OnSaveDocument(path, nullptr));
    const QByteArray before = ReadFile(path);
    Song full = MakeSong({});
    while (full.count < kMaxEvents)
        full.events[size_t(full.count++)] = {0, kShort, kPitchC4};
    doc.ReplaceSongAsStep(full, 0, 0);
    QSignalSpy modified(&doc, &CKesDoc::modifiedChanged);
    for (const rlim_t limit : {rlim_t(0), rlim_t(before.size() + 10)}) {
        SongFileError error;
        bool saved = true;
        {
            const FileSizeLimit full(limit);
            saved = doc.OnSaveDocument(path, &error);
        }
        EXPECT_FALSE(saved);
        EXPECT_EQ(error.kind, SongFileError::Kind::CannotSave);
        EXPECT_EQ(error.write.systemError, EFBIG);
        EXPECT_EQ(ReadFile(path), before);
        EXPECT_TRUE(doc.IsModified());
    }
    EXPECT_EQ(modified.count(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// A write by another program is noticed, also one in place that keeps the inode, until this
// document writes the file again; its own saves are not, nor a file that is gone.
TEST(KesDoc, FileChangedOnDisk_IsNoticedUntilTheNextSave) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shared.kes"));
    CKesDoc doc;
    doc.OnNewDocument();
    EXPECT_FALSE(doc.HasFileChangedOnDisk()); // no file yet
    ASSERT_TRUE(doc.OnSaveDocument(path, nullptr));
    ASSERT_TRUE(doc.OnSaveDocument(path, nullptr));
    EXPECT_FALSE(doc.HasFileChangedOnDisk());
    ASSERT_TRUE(WriteFile(path, ReadFile(path) + QByteArray(1, '\0')));
    EXPECT_TRUE(doc.HasFileChangedOnDisk());
    ASSERT_TRUE(doc.OnSaveDocument(path, nullptr));
    EXPECT_FALSE(doc.HasFileChangedOnDisk());
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(doc.HasFileChangedOnDisk());
}

// Opening a song removes the temporary file that a save killed before its rename left beside it.
TEST(KesDoc, Open_RemovesWhatAKilledSaveLeft) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.kes"));
    CKesDoc doc;
    doc.OnNewDocument();
    ASSERT_TRUE(doc.OnSaveDocument(path, nullptr));
    const QString leftover = dir.filePath(QStringLiteral(".song.kes.kesv-q7Rt2Z"));
    ASSERT_TRUE(WriteFile(leftover, ReadFile(path)));
    ASSERT_TRUE(doc.OnOpenDocument(path, nullptr));
    EXPECT_FALSE(QFile::exists(leftover));
}

} // namespace
