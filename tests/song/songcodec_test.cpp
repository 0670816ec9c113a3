#include "song/songcodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

Song MakeSong(std::string title, uint8_t tempo, std::initializer_list<std::pair<int, int>> ev) {
    Song song;
    song.title = std::move(title);
    song.tempo = tempo;
    for (auto [code, pitch] : ev) {
        song.events[song.count].code = uint8_t(code);
        song.events[song.count].pitch = uint8_t(pitch);
        ++song.count;
    }
    return song;
}

Song Decoded(const Bytes& bytes) {
    Song song;
    EXPECT_EQ(DecodeSong(bytes, song), SongDecodeError::None);
    return song;
}

} // namespace

TEST(SongFile, FreshSong_IsFourBytes) {
    EXPECT_EQ(EncodeSong(Song{}), (Bytes{0xE1, 0xF1, 0x7E, 0xFF}));
}

TEST(SongFile, TitleTempoNoteAndTie_RoundTrip) {
    const Song song = MakeSong("abc", 0x7E, {{0xC4, 0x33}, {0xC2, 0xFF}});
    const Bytes bytes{0xE1, 0xF0, 0x61, 0x62, 0x63, 0xFD, 0xF1, 0x7E, 0xC4, 0x33, 0xC2, 0xFF};
    EXPECT_EQ(EncodeSong(song), bytes);
    EXPECT_EQ(Decoded(bytes), song);
}

TEST(SongFile, PitchAbove5F_IsStoredAsTie) {
    const Song song = MakeSong("", 0x7E, {{0xC4, 0x70}});
    EXPECT_EQ(EncodeSong(song), (Bytes{0xE1, 0xF1, 0x7E, 0xC4, 0xFF}));
    EXPECT_EQ(Decoded(EncodeSong(song)).events[0].pitch, 0xFF);
}

TEST(SongFile, LongString_GetsOneContinuationByteAt249) {
    // 3 header bytes + 148 events x 2 + 1 end byte = 300 bytes.
    Song song;
    song.count = 148;
    for (int i = 0; i < song.count; ++i)
        song.events[i] = {0, 0xC4, uint8_t(24 + i % 60)};
    const Bytes bytes = EncodeSong(song);
    ASSERT_EQ(bytes.size(), 301u);
    EXPECT_EQ(bytes[249], 0xA1);
    EXPECT_EQ(Decoded(bytes), song);
}

TEST(SongFile, StringOf249Bytes_IsWrittenWithoutContinuation) {
    // 3 + 2 x 122 + 1 = 248, plus one event without a pitch byte = 249.
    Song song;
    song.count = 123;
    for (int i = 0; i < 122; ++i)
        song.events[i] = {0, 0xC4, 0x33};
    song.events[122] = {0, 0xC2, 0xFF};
    const Bytes bytes = EncodeSong(song);
    ASSERT_EQ(bytes.size(), 249u);
    EXPECT_EQ(bytes.back(), 0xFF);
    EXPECT_EQ(Decoded(bytes), song);

    // Older writers appended the continuation byte after the end byte.
    Bytes old = bytes;
    old.push_back(0xA1);
    EXPECT_EQ(Decoded(old), song);
}

TEST(SongFile, ContinuationBytesAmongEvents_AreSkipped) {
    const Song song = Decoded({0xE1, 0xF1, 0x7E, 0xA1, 0xC4, 0xA1, 0x33, 0xFF});
    ASSERT_EQ(song.count, 1);
    EXPECT_EQ(song.events[0].code, 0xC4);
    EXPECT_EQ(song.events[0].pitch, 0x33);
}

TEST(SongFile, MoreThan999Events_LoadsTheFirst999) {
    Bytes bytes{0xE1, 0xF1, 0x7E};
    for (int i = 0; i < 1200; ++i) {
        bytes.push_back(0xC4);
        bytes.push_back(uint8_t(i % 90 + 1));
    }
    bytes.push_back(0xFF);
    const Song song = Decoded(bytes);
    EXPECT_EQ(song.count, 999);
    EXPECT_EQ(song.events[998].pitch, 998 % 90 + 1);
}

TEST(SongFile, PitchBytes_AttachToTheEventBegunLast) {
    Song song = Decoded({0xE1, 0xF1, 0x7E, 0x33, 0xC4, 0xFF});
    ASSERT_EQ(song.count, 1);
    EXPECT_EQ(song.events[0].pitch, 0xFF);

    song = Decoded({0xE1, 0xF1, 0x7E, 0xC4, 0x33, 0x34, 0xFF});
    ASSERT_EQ(song.count, 1);
    EXPECT_EQ(song.events[0].pitch, 0x34);

    song = Decoded({0xE1, 0xF1, 0xFF});
    EXPECT_EQ(song.count, 0);
    EXPECT_EQ(song.tempo, 0xFF);
}

TEST(SongFile, Errors_LeaveTheSongUntouched) {
    const Song original = MakeSong("keep", 0x80, {{0xC0, 0x40}});
    const struct {
        Bytes bytes;
        SongDecodeError error;
    } cases[] = {
        {{}, SongDecodeError::BadFrame},
        {{0xE0, 0xF1, 0x7E, 0xFF}, SongDecodeError::BadFrame},
        {{0xE1, 0xF1, 0x7E, 0xC4, 0xA1}, SongDecodeError::BadFrame},
        {{0xE1, 0xF0, 0x41, 0x42, 0xF1, 0x7E, 0xFF}, SongDecodeError::UnendedTitle},
        {{0xE1, 0x7E, 0xFF}, SongDecodeError::NoTempo},
        {{0xE1, 0xF0, 0x41, 0xFD, 0x7E, 0xFF}, SongDecodeError::NoTempo},
    };
    for (const auto& c : cases) {
        Song song = original;
        EXPECT_EQ(DecodeSong(c.bytes, song), c.error);
        EXPECT_EQ(song, original);
    }
}

TEST(SongFile, LongTitles_AreCutOnACharacterBoundary) {
    Song song;
    song.title = std::string(243, 'a') + "\x82\xa0"; // 245 bytes, the last character double
    Song back = Decoded(EncodeSong(song));
    EXPECT_EQ(back.title, std::string(243, 'a'));
    song.title = std::string(300, 'b');
    back = Decoded(EncodeSong(song));
    EXPECT_EQ(back.title, std::string(244, 'b'));
    EXPECT_EQ(back.tempo, song.tempo);
}

TEST(SongFile, RandomValidSongs_RoundTrip) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 2000; ++round) {
        Song song;
        const int titleLength = std::uniform_int_distribution<int>(0, 244)(rng);
        for (int i = 0; i < titleLength; ++i) {
            // Title bytes: anything but the block end 0xFD, kept as single bytes.
            uint8_t b = uint8_t(std::uniform_int_distribution<int>(0x20, 0x7E)(rng));
            song.title.push_back(char(b));
        }
        song.tempo = uint8_t(std::uniform_int_distribution<int>(0, 255)(rng));
        if (rng() % 2)
            song.music.key = SongKey{int(rng() % 15) - 7, rng() % 2 == 1};
        if (rng() % 2)
            song.music.time = TimeSignature{1 + int(rng() % 99), 2 << (rng() % 4)};
        song.music.pickup = rng() % 2 ? int(rng() % 0x10000) : 0;
        song.count = std::uniform_int_distribution<int>(0, 999)(rng);
        for (int i = 0; i < song.count; ++i) {
            int code;
            do {
                code = std::uniform_int_distribution<int>(0x60, 0xFE)(rng);
            } while (code == 0xA1);
            int pitch = std::uniform_int_distribution<int>(0, 0x60)(rng);
            if (pitch == 0x60)
                pitch = 0xFF;
            song.events[i].code = uint8_t(code);
            song.events[i].pitch = uint8_t(pitch);
        }
        const Bytes bytes = EncodeSong(song);
        Song back;
        ASSERT_EQ(DecodeSong(bytes, back), SongDecodeError::None) << round;
        ASSERT_EQ(back, song) << round;
        ASSERT_EQ(EncodeSong(back), bytes) << round;
    }
}

TEST(SongFile, ReaderFedPieceByPiece_MatchesTheWholeFile) {
    Bytes oldWriter = {0xE1, 0xF1, 0x7E};
    oldWriter.resize(248, 0xC4);
    oldWriter.push_back(0xFF);
    oldWriter.push_back(0xA1); // after the end byte of a 249-byte string
    Song song = MakeSong("t", 0x90, {});
    for (int i = 0; i < 600; ++i)
        song.events[song.count++] = {0, uint8_t(0x60 + i % 0x9F), uint8_t(i % 0x5F)};
    Song withMusic = song;
    withMusic.music = {SongKey{-3, true}, TimeSignature{6, 8}, 240, {}};
    const Bytes cases[] = {
        oldWriter, EncodeSong(song), EncodeSong(withMusic), {0xE1, 0xF0, 0x41, 0xF1, 0xFF}};
    for (const Bytes& bytes : cases) {
        Song whole, pieces;
        const SongDecodeError expected = DecodeSong(bytes, whole);
        SongReader reader;
        for (uint8_t b : bytes)
            reader.Feed({&b, 1});
        EXPECT_EQ(reader.Finish(pieces), expected);
        EXPECT_EQ(pieces, whole);
    }
}

TEST(SongFile, DamagedLongTitle_IsKeptUpToTheBoundOnACharacterBoundary) {
    Bytes bytes = {0xE1, 0xF0};
    bytes.insert(bytes.end(), kMaxKeptTitleBytes - 1, 'a');
    bytes.insert(bytes.end(), {0x82, 0xA0, 'b', 0xFD, 0xF1, 0x7E, 0xC4, 0xFF});
    const Song song = Decoded(bytes);
    EXPECT_EQ(song.title, std::string(kMaxKeptTitleBytes - 1, 'a'));
    EXPECT_EQ(song.count, 1);
}

// The README's sample holds exactly the song a reader shows: nothing after its end byte.
TEST(SongFile, SampleSong_IsWhatItShows) {
    std::ifstream file(KESV_SAMPLE_SONG, std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(EncodeSong(Decoded(bytes)), bytes);
}

// The song's key, time signature and pickup follow the first end byte: a reader that stops
// there and checks only the last byte reads the same song as from a file without them, the
// continuation byte included; the extension reads back byte for byte.
TEST(SongFile, Extension_IsInvisibleToAReaderThatStopsAtTheFirstEndByte) {
    Song shortSong = MakeSong("abc", 0x7E, {{0xC4, 0x33}});
    Song fullString = MakeSong("", 0x7E, {}); // a classic string of exactly 249 bytes
    for (int i = 0; i < 122; ++i)
        fullString.events[fullString.count++] = {0, 0xC4, 0x33};
    fullString.events[fullString.count++] = {0, 0xC2, 0xFF};
    Song longSong = MakeSong("t", 0xFF, {});
    for (int i = 0; i < 999; ++i)
        longSong.events[longSong.count++] = {0, 0xC6, uint8_t(i % 0x60)};
    const SongMusic music{SongKey{-1, false}, TimeSignature{6, 8}, 240, {}};
    for (Song song : {shortSong, fullString, longSong, MakeSong("", 0xFF, {})}) {
        const Bytes classic = EncodeSong(song);
        song.music = music;
        const Bytes bytes = EncodeSong(song);
        ASSERT_GT(bytes.size(), classic.size());
        EXPECT_TRUE(std::equal(classic.begin(), classic.end(), bytes.begin()));
        EXPECT_EQ(bytes.back(), 0xFF);
        EXPECT_EQ(Decoded(bytes), song);
        EXPECT_EQ(EncodeSong(Decoded(bytes)), bytes);
    }
    shortSong.music = music;
    const Bytes bytes = EncodeSong(shortSong);
    const Bytes tail(bytes.begin() + 11, bytes.end()); // after E1 F0 "abc" FD F1 7E C4 33 FF
    EXPECT_EQ(tail, (Bytes{'K', 'e', 's', 'V', 0x01, 0x01, 0x02, 0x06, 0x00, 0x02, 0x02, 0x06, 0x08,
                           0x03, 0x02, 0x00, 0xF0, 0xFF}));
}

// Bytes after the end byte that are not our extension (stray bytes, a later version, a damaged
// field list) leave the song without music and are not written back; fields of a later KesV
// are kept unless their tag says they go with the events, and a field out of range is dropped.
TEST(SongFile, Extension_ForeignBytesAreIgnoredAndLaterFieldsKept) {
    const Bytes classic{0xE1, 0xF1, 0x7E, 0xC4, 0x33, 0xFF};
    const auto with = [&classic](Bytes after) {
        Bytes bytes = classic;
        bytes.insert(bytes.end(), after.begin(), after.end());
        return bytes;
    };
    for (const Bytes& after : {Bytes{0x12, 0x34, 0xFF}, Bytes{0xA1, 0xFF},
                               Bytes{'K', 'e', 's', 'V', 0x02, 0x01, 0x02, 0x06, 0x00, 0xFF},
                               Bytes{'K', 'e', 's', 'V', 0x01, 0x01, 0x05, 0x06, 0x00, 0xFF},
                               Bytes{'K', 'e', 's', 'V', 0x01, 0xFF, 0x00, 0xFF}}) {
        const Song song = Decoded(with(after));
        EXPECT_EQ(song.count, 1);
        EXPECT_EQ(song.music, SongMusic{});
        EXPECT_EQ(EncodeSong(song), classic);
    }
    const Song song = Decoded(with({'K',  'e',  's',  'V',  0x01, 0x40, 0x01, 0xAA, 0x90, 0x01,
                                    0xBB, 0x01, 0x02, 0x0F, 0x00, 0x02, 0x02, 0x03, 0x04, 0xFF}));
    EXPECT_EQ(song.music, (SongMusic{std::nullopt, TimeSignature{3, 4}, 0, "\x40\x01\xAA"}));
    EXPECT_EQ(EncodeSong(song),
              with({'K', 'e', 's', 'V', 0x01, 0x02, 0x02, 0x03, 0x04, 0x40, 0x01, 0xAA, 0xFF}));
}
