// Zip archives over zlib: an archive another program wrote (deflated and stored entries, data
// descriptors, a comment) is read; ours read back; damage is found, never unpacked.
#include "formats/musicxml.h"
#include "formats/ziparchive.h"

#include <gtest/gtest.h>

namespace {

// Written by Python's zipfile to a stream it cannot seek: META-INF/container.xml deflated,
// naming a/s.xml, which is stored; sizes and checksums in data descriptors after the data.
const QByteArray kOtherProgramsArchive(
    "\x50\x4B\x03\x04\x14\x00\x08\x00\x08\x00\x05\x39\xA6\x50\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x16\x00\x00\x00\x4D\x45\x54\x41\x2D\x49\x4E\x46\x2F\x63\x6F\x6E\x74\x61"
    "\x69\x6E\x65\x72\x2E\x78\x6D\x6C\xB3\x49\xCE\xCF\x2B\x49\xCC\xCC\x4B\x2D\xB2\xB3\x29\xCA"
    "\xCF\x2F\x49\xCB\xCC\x49\x2D\x46\x30\x15\xD2\x4A\x73\x72\x74\x0B\x12\x4B\x32\x6C\xD5\x13"
    "\xF5\x8B\xF5\x2A\x72\x73\xD4\xF5\xED\x6C\xF4\x91\x94\xEA\x23\x4C\x00\x00\x50\x4B\x07\x08"
    "\x0D\xDF\x9E\xAD\x36\x00\x00\x00\x4D\x00\x00\x00\x50\x4B\x03\x04\x14\x00\x08\x00\x00\x00"
    "\x05\x39\xA6\x50\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x07\x00\x00\x00\x61\x2F"
    "\x73\x2E\x78\x6D\x6C\x3C\x73\x63\x6F\x72\x65\x2D\x70\x61\x72\x74\x77\x69\x73\x65\x2F\x3E"
    "\x50\x4B\x07\x08\x52\x48\x1D\x10\x11\x00\x00\x00\x11\x00\x00\x00\x50\x4B\x01\x02\x14\x03"
    "\x14\x00\x08\x00\x08\x00\x05\x39\xA6\x50\x0D\xDF\x9E\xAD\x36\x00\x00\x00\x4D\x00\x00\x00"
    "\x16\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80\x01\x00\x00\x00\x00\x4D\x45\x54\x41"
    "\x2D\x49\x4E\x46\x2F\x63\x6F\x6E\x74\x61\x69\x6E\x65\x72\x2E\x78\x6D\x6C\x50\x4B\x01\x02"
    "\x14\x03\x14\x00\x08\x00\x00\x00\x05\x39\xA6\x50\x52\x48\x1D\x10\x11\x00\x00\x00\x11\x00"
    "\x00\x00\x07\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80\x01\x7A\x00\x00\x00\x61\x2F"
    "\x73\x2E\x78\x6D\x6C\x50\x4B\x05\x06\x00\x00\x00\x00\x02\x00\x02\x00\x79\x00\x00\x00\xC0"
    "\x00\x00\x00\x09\x00\x65\x6C\x73\x65\x77\x68\x65\x72\x65",
    344);

using Result = CZipArchiveReader::Result;

Result ReadOne(const QByteArray& archive, const std::string& name, QByteArray* out = nullptr) {
    QByteArray bytes;
    const Result result = CZipArchiveReader(archive).Read(name, 1 << 20, bytes);
    if (out)
        *out = bytes;
    return result;
}

// Where the one entry's central record starts, from the end record.
qsizetype CentralRecord(const QByteArray& archive) {
    const auto* end = reinterpret_cast<const uint8_t*>(archive.constData() + archive.size() - 22);
    return qsizetype(end[16] | end[17] << 8 | end[18] << 16 | end[19] << 24);
}

} // namespace

TEST(ZipArchive, ReadsAnArchiveAnotherProgramWrote) {
    QByteArray score;
    EXPECT_EQ(ReadOne(kOtherProgramsArchive, "a/s.xml", &score), Result::Ok);
    EXPECT_EQ(score, QByteArray("<score-partwise/>"));
    EXPECT_EQ(ReadOne(kOtherProgramsArchive, "s.xml"), Result::NoEntry);
    EXPECT_EQ(CZipArchiveReader(kOtherProgramsArchive).Read("a/s.xml", 16, score),
              Result::TooLarge);
    QByteArray xml;
    ASSERT_EQ(UnpackMxl(kOtherProgramsArchive, xml).error, MusicXmlError::None);
    EXPECT_EQ(xml, QByteArray("<score-partwise/>"));
}

TEST(ZipArchive, WhatItWritesReadsBackTheSameEveryTime) {
    const QByteArray text = QByteArray("<note/>").repeated(5000);
    const std::vector<ZipEntryToWrite> entries = {{"mimetype", "type", false},
                                                  {"dir/score.xml", text, true}};
    const QByteArray archive = WriteZipArchive(entries);
    EXPECT_LT(archive.size(), text.size() / 10);
    EXPECT_EQ(WriteZipArchive(entries), archive);
    EXPECT_EQ(archive.mid(30, 8), QByteArray("mimetype")); // first, so its type shows
    QByteArray got;
    EXPECT_EQ(ReadOne(archive, "dir/score.xml", &got), Result::Ok);
    EXPECT_EQ(got, text);
    EXPECT_EQ(ReadOne(archive, "mimetype", &got), Result::Ok);
    EXPECT_EQ(got, QByteArray("type"));
}

TEST(ZipArchive, DamageIsFoundAndNothingIsUnpacked) {
    const QByteArray text = QByteArray("<note/>").repeated(100);
    const QByteArray deflated = WriteZipArchive({{"s", text, true}});
    const QByteArray stored = WriteZipArchive({{"s", text, false}});
    const qsizetype data = 30 + 1; // after the local header and its one-letter name
    QByteArray damaged;
    const auto changed = [](QByteArray bytes, qsizetype at, char value) {
        bytes[at] = value;
        return bytes;
    };
    // A changed byte of the data: the checksum, or the deflate stream itself, disagrees.
    for (const QByteArray& archive : {deflated, stored}) {
        damaged = changed(archive, data + 3, char(archive[data + 3] ^ 0x20));
        EXPECT_EQ(ReadOne(damaged, "s"), Result::Damaged);
    }
    // A record that claims fewer bytes than the data unpacks to: never more than it says.
    const qsizetype central = CentralRecord(deflated);
    damaged = changed(deflated, central + 24, char(deflated[central + 24] - 1));
    EXPECT_EQ(ReadOne(damaged, "s"), Result::Damaged);
    // Methods other than stored and deflated, and encryption.
    EXPECT_EQ(ReadOne(changed(deflated, central + 10, 12), "s"), Result::Damaged);
    EXPECT_EQ(ReadOne(changed(deflated, central + 8, 1), "s"), Result::Damaged);
    // An archive cut short, or whose directory lies beyond its end: no archive at all.
    EXPECT_FALSE(CZipArchiveReader(deflated.left(deflated.size() - 1)).IsValid());
    EXPECT_FALSE(CZipArchiveReader(changed(deflated, deflated.size() - 5, 0x7F)).IsValid());
    EXPECT_FALSE(CZipArchiveReader(QByteArray("PK\x03\x04 not really")).IsValid());
    // A local header offset beyond the data.
    EXPECT_EQ(ReadOne(changed(deflated, central + 44, 0x7F), "s"), Result::Damaged);
}
