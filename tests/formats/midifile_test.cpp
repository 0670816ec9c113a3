#include "formats/midifile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stop_token>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kCodes[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8,
                              0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1};

Song RandomSong(std::mt19937& random, int count) {
    Song song;
    song.tempo = uint8_t(std::uniform_int_distribution<int>(0x60, 255)(random)); // 60 to 378
    std::uniform_int_distribution<int> code(0, int(std::size(kCodes)) - 1);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> pitch(1, 0x5F);
    for (int i = 0; i < count; ++i) {
        const int k = kind(random);
        song.events[size_t(i)].code = kCodes[code(random)];
        song.events[size_t(i)].pitch = k < 2   ? kPitchRest
                                       : k < 4 ? kPitchTie
                                               : uint8_t(pitch(random));
    }
    song.count = count;
    return song;
}

MidiImport Imported(const Bytes& bytes) {
    MidiImport import;
    const MidiReadResult result = DecodeMidiFile(bytes, import);
    EXPECT_EQ(result.error, MidiReadError::None) << int(result.error);
    return import;
}

Bytes Chunk(const char* type, const Bytes& body) {
    Bytes out(type, type + 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(body.size() >> shift));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes File(uint16_t format, uint16_t division, std::initializer_list<Bytes> tracks) {
    Bytes out = Chunk("MThd", {0, uint8_t(format), 0, uint8_t(tracks.size()),
                               uint8_t(division >> 8), uint8_t(division)});
    for (const Bytes& track : tracks) {
        const Bytes chunk = Chunk("MTrk", track);
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

} // namespace

TEST(MidiFile, RandomSongs_ReadBackToTheSamePerformance) {
    std::mt19937 random(13);
    for (int round = 0; round < 60; ++round) {
        const int count =
            round < 6 ? kMaxEvents : std::uniform_int_distribution<int>(0, 80)(random);
        const Song song = RandomSong(random, count);
        const Bytes bytes = EncodeMidiFile(song, TimeSignature{3, 8}, "title");
        if (BuildPerformance(song).empty()) {
            MidiImport none;
            EXPECT_EQ(DecodeMidiFile(bytes, none).error, MidiReadError::NoNotes);
            continue;
        }
        const MidiImport back = Imported(bytes);
        ASSERT_EQ(BuildPerformance(back.song), BuildPerformance(song)) << "round " << round;
        EXPECT_EQ(back.song.tempo, song.tempo);
        EXPECT_EQ(back.title, "title");
        EXPECT_FALSE(back.truncated);
        EXPECT_LE(back.song.count, song.count);
    }
}

TEST(MidiFile, ForeignTimings_AreQuantisedWithoutDrift) {
    // Division 96, a humanised line (each note off by a tick or two) and triplets: every
    // note starts within half a 128th of its exact place, however far into the song.
    Bytes track;
    int last = 0;
    const auto at = [&](int tick, Bytes message) {
        int delta = tick - last;
        last = tick;
        Bytes vlq{uint8_t(delta & 0x7F)};
        while (delta >>= 7)
            vlq.insert(vlq.begin(), uint8_t(0x80 | (delta & 0x7F)));
        track.insert(track.end(), vlq.begin(), vlq.end());
        track.insert(track.end(), message.begin(), message.end());
    };
    std::vector<int> starts;
    for (int i = 0; i < 300; ++i) {
        const int start = i * 32 + (i % 3) - 1 + 1; // triplet eighths, slightly off
        starts.push_back(start);
        at(start, {0x90, uint8_t(60 + i % 12), 100});
        at(start + 30, {0x80, uint8_t(60 + i % 12), 0});
    }
    at(last, {0xFF, 0x2F, 0});
    const MidiImport import = Imported(File(0, 96, {track}));
    const std::vector<PlayEvent> performance = BuildPerformance(import.song);
    ASSERT_EQ(performance.size(), 600u);
    for (size_t i = 0; i < starts.size(); ++i)
        EXPECT_NEAR(performance[2 * i].tick, starts[i] * 5, 7) << "note " << i;
}

TEST(MidiFile, FormatOneFromMido_TakesTheBusiestTrackAndTheHighestNote) {
    // Written by mido: tempo 400000 then 600000 in the first track, the melody on channel 3
    // of the second with running status, a low note held under a higher one, and a drum
    // track; division 96.
    std::ifstream in(std::string(KESV_CORPUS_DIR) + "/format1-overlap.mid", std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), {});
    const MidiImport import = Imported(bytes);
    EXPECT_EQ(import.title, "Tune");
    // 400000 µs a quarter for 192 ticks, then 600000 for 480: 110.5 a minute keeps the length.
    EXPECT_EQ(TempoFromByte(import.song.tempo), 110);
    EXPECT_EQ(import.tempoChangesFolded, 1);
    std::vector<std::pair<int, int>> notes; // tick, key of each note-on
    for (const PlayEvent& event : BuildPerformance(import.song)) {
        if ((event.message & 0xF0) == 0x90)
            notes.emplace_back(event.tick, int(event.message >> 8 & 0x7F));
    }
    const std::vector<std::pair<int, int>> expected{{0, 60},    {480, 62},  {960, 64},  {1440, 65},
                                                    {1920, 67}, {2400, 48}, {2640, 72}, {2880, 48}};
    EXPECT_EQ(notes, expected);
}

TEST(MidiFile, LimitsAndRefusals) {
    // Over 999 events: the first 999 are kept and the cut is reported.
    Song song;
    for (int i = 0; i < kMaxEvents; ++i)
        song.events[size_t(i)] = {0, 0xC4, uint8_t(1 + i % 2)};
    song.count = kMaxEvents;
    Bytes longer = EncodeMidiFile(song, TimeSignature{}, "");
    longer.resize(longer.size() - 4); // the end of the track goes; one more note comes
    longer.insert(longer.end(), {0x05, 0x90, 50, 100, 0x83, 0x60, 0x80, 50, 0});
    const size_t length = longer.size() - 22;
    for (int i = 0; i < 4; ++i)
        longer[size_t(18 + i)] = uint8_t(length >> (24 - 8 * i));
    const MidiImport over = Imported(longer);
    EXPECT_TRUE(over.truncated);
    EXPECT_EQ(over.song.count, kMaxEvents);

    // Keys a song cannot hold are refused one by one and counted.
    const MidiImport range =
        Imported(File(0, 480, {{0x00, 0x90, 9,    100,  0x00, 0x90, 60,   100,  0x00, 0x90, 105,
                                100,  0x83, 0x60, 0x80, 60,   0,    0x00, 0xFF, 0x2F, 0x00}}));
    EXPECT_EQ(range.notesOutOfRange, 2);
    EXPECT_EQ(range.song.count, 1);

    // Malformed files are refused, naming the fault; the import is left as it was.
    const Bytes good = File(1, 480, {{0x00, 0xFF, 0x2F, 0x00}});
    Bytes twoGigabytes = good;
    twoGigabytes[18] = 0x7F;
    Bytes badFrameRate = good;
    badFrameRate[12] = 0xE4; // -28 frames a second: no time code
    const struct {
        Bytes bytes;
        MidiReadError error;
    } bad[] = {
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0}, MidiReadError::NotMidi},
        {Bytes(good.begin(), good.begin() + 10), MidiReadError::ChunkPastEnd},
        {Bytes(good.begin(), good.begin() + 16), MidiReadError::TrackMissing},
        {Bytes(good.begin(), good.end() - 1), MidiReadError::EventPastEnd},
        {twoGigabytes, MidiReadError::NoNotes}, // the last track read to the file's end
        {badFrameRate, MidiReadError::BadHeader},
        {File(0, 480, {{}, {}}), MidiReadError::NoNotes},
        {File(0, 480, {{0x00, 0x99, 36, 100, 0x60, 0x89, 36, 0}}), MidiReadError::NoNotes},
        {File(2, 480, {{}}), MidiReadError::UnsupportedFormat},
        // Every key beyond a song's; a first note 2^28 ticks of division 1 in (more quarters
        // than 999 whole rests hold); a first note 2^30 quarters long.
        {File(0, 480, {{0x00, 0x90, 9, 100, 0x60, 0x80, 9, 0}}), MidiReadError::NoNotesInRange},
        {File(0, 1,
              {{0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0x01, 0x90, 60, 100, 0x01, 0x80, 60, 0}}),
         MidiReadError::NotesBeyondSong},
        {File(0, 1, {{0x00, 0x90, 60,   100,  0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0xFF,
                      0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01,
                      0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0x04, 0x80, 60,   0}}),
         MidiReadError::NotesBeyondSong},
        {File(0, 480, {{0x00, 60, 100}}), MidiReadError::BadEvent},
        {File(0, 480, {{0x00, 0x90, 60}}), MidiReadError::EventPastEnd},
        {File(0, 480, {{0x00, 0xFF, 0x03, 0x10, 'a'}}), MidiReadError::EventPastEnd},
    };
    for (const auto& [bytes, error] : bad) {
        MidiImport import;
        import.title = "kept";
        EXPECT_EQ(DecodeMidiFile(bytes, import).error, error) << int(error);
        EXPECT_EQ(import.title, "kept");
    }

    // A reading asked to stop stops, and leaves the import as it was.
    std::stop_source stop;
    stop.request_stop();
    MidiImport import;
    std::vector<MelodyCandidate> candidates;
    EXPECT_EQ(DecodeMidiFile(longer, import, {}, stop.get_token()).error, MidiReadError::Cancelled);
    EXPECT_EQ(import.song.count, 0);
    EXPECT_EQ(ReadMelodyCandidates(longer, candidates, stop.get_token()).error,
              MidiReadError::Cancelled);
}

namespace {

// A track of notes (start, length, key) on one channel in 480 ticks a quarter, with a name
// and a program when given.
Bytes NoteTrack(int channel, std::vector<std::array<int, 3>> notes, const std::string& name = {},
                int program = -1) {
    struct Mark {
        int tick;
        Bytes message;
    };
    std::vector<Mark> marks;
    for (const auto& [start, length, key] : notes) {
        marks.push_back({start + length, {uint8_t(0x80 | channel), uint8_t(key), 0}});
        marks.push_back({start, {uint8_t(0x90 | channel), uint8_t(key), 100}});
    }
    std::stable_sort(marks.begin(), marks.end(),
                     [](const Mark& a, const Mark& b) { return a.tick < b.tick; });
    Bytes track;
    if (!name.empty()) {
        track.insert(track.end(), {0x00, 0xFF, 0x03, uint8_t(name.size())});
        track.insert(track.end(), name.begin(), name.end());
    }
    if (program >= 0)
        track.insert(track.end(), {0x00, uint8_t(0xC0 | channel), uint8_t(program)});
    int last = 0;
    for (const Mark& mark : marks) {
        int delta = mark.tick - last;
        last = mark.tick;
        Bytes vlq{uint8_t(delta & 0x7F)};
        while (delta >>= 7)
            vlq.insert(vlq.begin(), uint8_t(0x80 | (delta & 0x7F)));
        track.insert(track.end(), vlq.begin(), vlq.end());
        track.insert(track.end(), mark.message.begin(), mark.message.end());
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    return track;
}

// `count` notes a quarter apart from `key` stepping through `steps`, each `length` long.
std::vector<std::array<int, 3>> Line(int count, int key, std::vector<int> steps, int length = 480) {
    std::vector<std::array<int, 3>> notes;
    for (int i = 0; i < count; ++i)
        notes.push_back({i * 480, length, key + steps[size_t(i) % steps.size()]});
    return notes;
}

std::vector<int> FirstKeys(const Song& song, size_t count) {
    std::vector<int> keys;
    for (const PlayEvent& event : BuildPerformance(song)) {
        if ((event.message & 0xF0) == 0x90 && keys.size() < count)
            keys.push_back(int(event.message >> 8 & 0x7F));
    }
    return keys;
}

} // namespace

TEST(MelodyChoice, GeneralMidiSong_TakesTheTuneNeverTheDrums) {
    // Drums hold the most notes, a bass line the next most; chords on a pad; the tune is a
    // nameless track in the middle.
    std::vector<std::array<int, 3>> drums;
    for (int i = 0; i < 256; ++i)
        drums.push_back({i * 120, 60, i % 2 ? 42 : 36});
    std::vector<std::array<int, 3>> chords;
    for (int i = 0; i < 16; ++i) {
        for (int key : {60, 64, 67})
            chords.push_back({i * 1920, 1900, key});
    }
    const Bytes file =
        File(1, 480,
             {NoteTrack(9, drums), NoteTrack(1, Line(128, 36, {0, 7, 12, 7}), {}, 33),
              NoteTrack(2, chords, "Strings", 48), NoteTrack(0, Line(48, 72, {0, 2, 4, 5, 7}))});
    std::vector<MelodyCandidate> candidates;
    ASSERT_EQ(ReadMelodyCandidates(file, candidates).error, MidiReadError::None);
    ASSERT_EQ(candidates.size(), 3u);
    for (const MelodyCandidate& candidate : candidates)
        EXPECT_NE(candidate.channel, 9);
    EXPECT_EQ(candidates.front().track, 3);
    const MidiImport import = Imported(file);
    EXPECT_EQ(FirstKeys(import.song, 3), (std::vector<int>{72, 74, 76}));

    // The track can be chosen; one of drums alone is no melody.
    MidiImport bass;
    ASSERT_EQ(DecodeMidiFile(file, bass, {1, -1}).error, MidiReadError::None);
    EXPECT_EQ(FirstKeys(bass.song, 2), (std::vector<int>{36, 43}));
    EXPECT_EQ(DecodeMidiFile(file, bass, {0, -1}).error, MidiReadError::NoSuchTrack);
}

TEST(MelodyChoice, PianoPiece_TakesTheRightHandAndNamesCount) {
    // The left hand's broken chords hold twice the notes of the right hand's tune.
    const Bytes hands = File(
        1, 480,
        {NoteTrack(0, Line(64, 43, {0, 7, 12, 7}, 240)), NoteTrack(0, Line(32, 67, {0, 2, 4, 2}))});
    EXPECT_EQ(FirstKeys(Imported(hands).song, 2), (std::vector<int>{67, 69}));
    // A name says more than the range: "Melody" below a high "Bass".
    const Bytes named = File(
        1, 480,
        {NoteTrack(0, Line(32, 76, {0, 2}), "Bass"), NoteTrack(1, Line(32, 60, {0, 4}), "Melody")});
    EXPECT_EQ(FirstKeys(Imported(named).song, 2), (std::vector<int>{60, 64}));
}

TEST(MidiFile, FilesOtherReadersTake_AreReadAndSaySo) {
    const Bytes tune = NoteTrack(0, Line(8, 60, {0, 2, 4}));
    // A time code of 25 frames of 40 ticks: 1000 ticks a second, a quarter at 120 a minute.
    Bytes smpte = File(0, 480, {NoteTrack(0, Line(8, 60, {0, 2, 4}, 500))});
    smpte[12] = 0xE7;
    smpte[13] = 40;
    const MidiImport timeCode = Imported(smpte);
    EXPECT_TRUE(timeCode.timeCode);
    EXPECT_EQ(TempoFromByte(timeCode.song.tempo), 120);
    EXPECT_NEAR(BuildPerformance(timeCode.song)[2].tick, 461, 7); // 0.48 s: 0.96 of a quarter

    const MidiImport twoTracks = Imported(File(0, 480, {{0x00, 0xFF, 0x2F, 0x00}, tune}));
    EXPECT_TRUE(twoTracks.extraTracks);
    EXPECT_EQ(FirstKeys(twoTracks.song, 2), (std::vector<int>{60, 62}));

    Bytes longer = File(1, 480, {{0x00, 0xFF, 0x2F, 0x00}, tune});
    longer[longer.size() - tune.size() - 2] = 0x10; // the last length claims 4 kB more
    const MidiImport cut = Imported(longer);
    EXPECT_TRUE(cut.lastTrackCut);
    EXPECT_EQ(FirstKeys(cut.song, 8).size(), 8u);

    // A default name is no title; the melody track's name is.
    const MidiImport named = Imported(
        File(1, 480, {NoteTrack(1, {}, "Track 1"), NoteTrack(0, Line(8, 60, {0}), "Für")}));
    EXPECT_EQ(named.title, "Für");
    EXPECT_TRUE(IsGenericName("control track"));
    EXPECT_TRUE(IsGenericName("Untitled"));
    EXPECT_FALSE(IsGenericName("Track of Dreams"));
}

TEST(MidiFile, PerformedNotes_BecomeWrittenOnes) {
    const auto codesOf = [](const Song& song) {
        std::vector<std::pair<int, int>> codes; // code, pitch
        for (int i = 0; i < song.count; ++i)
            codes.emplace_back(song.events[size_t(i)].code, song.events[size_t(i)].pitch);
        return codes;
    };
    // Staccato eighths, 220 of 240 ticks at 480 a quarter: one eighth each, no rests.
    const MidiImport staccato = Imported(File(0, 480, {NoteTrack(0, [] {
                                                  std::vector<std::array<int, 3>> notes;
                                                  for (int i = 0; i < 1500; ++i)
                                                      notes.push_back({i * 240, 220, 60 + i % 5});
                                                  return notes;
                                              }())}));
    EXPECT_EQ(staccato.song.count, kMaxEvents);
    for (const auto& [code, pitch] : codesOf(staccato.song))
        ASSERT_EQ(code, 0xC6);
    // 540 ticks, then a gap longer than a 32nd: a quarter tied to a 32nd and a rest.
    const MidiImport dotted =
        Imported(File(0, 480, {NoteTrack(0, {{0, 540, 60}, {620, 480, 62}})}));
    EXPECT_EQ(codesOf(dotted.song),
              (std::vector<std::pair<int, int>>{
                  {0xC4, kPitchTie}, {0xCB, 51}, {0xC8, kPitchRest}, {0xC4, 53}}));
    // Sixteen notes of 1/96 of a quarter, a sixteenth apart: sixteen 128ths, none dropped.
    std::vector<std::array<int, 3>> tiny;
    for (int i = 0; i < 16; ++i)
        tiny.push_back({i * 24, 1, 60});
    const MidiImport shortest = Imported(File(0, 96, {NoteTrack(0, tiny)}));
    int notes = 0;
    for (const auto& [code, pitch] : codesOf(shortest.song))
        notes += pitch == 51 && code == 0xCD ? 1 : 0;
    EXPECT_EQ(notes, 16);
    EXPECT_EQ(shortest.notesTooShort, 0);
}

// The song's key and time signature become the file's events and come back from them; a file
// without a key signature gets the key of its notes and says so.
TEST(MidiFile, KeyAndTimeSignatureEvents) {
    Song song;
    for (const uint8_t pitch : {0x2C, 0x30, 0x33, 0x31, 0x30, 0x2E, 0x2C}) // F A C Bb A G F
        song.events[size_t(song.count++)] = {0, 0xC4, pitch};
    song.music = {SongKey{-1, false}, TimeSignature{3, 4}, 0, {}};
    const Bytes bytes = EncodeMidiFile(song, {4, 4}, "");
    const Bytes time{0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08};
    const Bytes key{0xFF, 0x59, 0x02, 0xFF, 0x00};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), time.begin(), time.end()), bytes.end());
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), key.begin(), key.end()), bytes.end());
    MidiImport import = Imported(bytes);
    EXPECT_EQ(import.song.music.key, song.music.key);
    EXPECT_EQ(import.song.music.time, song.music.time);
    EXPECT_FALSE(import.keyDetected);

    Bytes track;
    for (int i = 0; i < song.count; ++i) {
        const uint8_t midiKey = uint8_t(song.events[size_t(i)].pitch + 9);
        track.insert(track.end(), {0x00, 0x90, midiKey, 0x64, 0x83, 0x60, 0x80, midiKey, 0x00});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    import = Imported(File(0, 480, {track}));
    EXPECT_TRUE(import.keyDetected);
    EXPECT_EQ(import.song.music.key, (SongKey{-1, false}));
    EXPECT_EQ(import.song.music.time, std::nullopt);
}
