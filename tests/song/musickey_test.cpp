#include "song/musickey.h"
#include "song/musictime.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// "Bb4q" is a quarter B flat 4, "r" a rest; lengths w h. h q. q e. e s.
Song MelodyOf(const std::string& text) {
    Song song;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        size_t i = 1;
        int pitch = kPitchRest;
        if (token[0] != 'r') {
            static constexpr int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A to G
            int key = kSemitones[token[0] - 'A'];
            for (; token[i] == '#' || token[i] == 'b'; ++i)
                key += token[i] == '#' ? 1 : -1;
            key += 12 * (token[i++] - '0' + 1);
            pitch = key - 9;
        }
        const std::string length = token.substr(i);
        const uint8_t code = length == "w"    ? 0xC0
                             : length == "h." ? 0xC1
                             : length == "h"  ? 0xC2
                             : length == "q." ? 0xC3
                             : length == "q"  ? 0xC4
                             : length == "e." ? 0xC5
                             : length == "e"  ? 0xC6
                                              : 0xC9;
        song.events[size_t(song.count++)] = {0, code, uint8_t(pitch)};
    }
    return song;
}

int PitchOf(const KeySpelling& spelling) {
    static constexpr int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7};
    return 12 * (spelling.octave + 1) + kSemitones[spelling.step - 'A'] + spelling.alter;
}

} // namespace

TEST(KeyDetection, ShortMelodiesOfKnownKeys) {
    const struct {
        const char* melody;
        SongKey key;
    } cases[] = {
        {"A4q A4q Bb4q C5q C5q Bb4q A4q G4q F4q F4q G4q A4q A4q. G4e G4h", {-1, false}},
        {"Eb4e Gb4q Ab4e Bb4e. Cb5s Bb4e Ab4q F4e Db4e. Eb4s F4e Gb4q Eb4e Eb4e. D4s Eb4e F4q "
         "D4e Bb3q Eb4e Gb4q Ab4e Bb4e. Cb5s Bb4e Ab4q F4e Db4e. Eb4s F4e Gb4e. F4s Eb4e D4e. "
         "C4s D4e Eb4h.",
         {-6, true}},
        {"F#4q F#4q G4q A4q A4q G4q F#4q E4q D4q D4q E4q F#4q F#4q. E4e E4h", {2, false}},
        {"A4e C5q D5e E5e. F5s E5e D5q B4e G4e. A4s B4e C5q A4e A4e. G#4s A4e B4q G#4e E4q A4e "
         "C5q D5e E5e. F5s E5e D5q B4e G4e. A4s B4e C5e. B4s A4e G#4e. F#4s G#4e A4q.",
         {0, true}},
        // A jig in 6/8 from its upbeat.
        {"D4e G4q. B4e A4e G4e D5q. B4e G4e A4e F#4e D4e F#4e A4q. C5e B4e A4e G4q. B4e A4e G4e "
         "D5q. B4e G4e A4e F#4e D4e F#4e G4q.",
         {1, false}},
    };
    for (const auto& c : cases) {
        const std::optional<SongKey> key = DetectKey(MelodyOf(c.melody));
        ASSERT_TRUE(key.has_value()) << c.melody;
        EXPECT_EQ(*key, c.key) << c.melody;
    }
    EXPECT_EQ(DetectKey(MelodyOf("rq rh")), std::nullopt);
    EXPECT_EQ(DetectKey(Song{}), std::nullopt);
}

// Every key spells every pitch as itself with one accidental at most, and its own scale as its
// signature writes it.
TEST(KeySpelling, EveryKeySpellsItsScaleByItsSignature) {
    static constexpr int kMajorScale[7] = {0, 2, 4, 5, 7, 9, 11};
    static constexpr int kMinorScale[7] = {0, 2, 3, 5, 7, 8, 10};
    for (int fifths = -7; fifths <= 7; ++fifths) {
        for (const bool minor : {false, true}) {
            const SongKey key{fifths, minor};
            for (int midiKey = 10; midiKey <= 104; ++midiKey) {
                const KeySpelling spelling = SpellKeyIn(midiKey, key);
                ASSERT_EQ(PitchOf(spelling), midiKey) << fifths << minor;
                ASSERT_LE(std::abs(spelling.alter), 1);
            }
            for (const int degree : minor ? kMinorScale : kMajorScale) {
                const KeySpelling spelling = SpellKeyIn(60 + TonicPitchClass(key) + degree, key);
                EXPECT_EQ(spelling.alter, SignatureAlter(spelling.step, key)) << fifths << minor;
            }
        }
    }
}

TEST(KeySpelling, NoteNamesFollowTheKey) {
    const auto name = [](int midiKey, std::optional<SongKey> key) {
        const std::array<char, 3> text = GetNoteName(uint8_t(midiKey - 9), key);
        return std::string(text.data(), 3);
    };
    EXPECT_EQ(name(70, SongKey{-1, false}), "Bb4"); // F major
    EXPECT_EQ(name(70, std::nullopt), "A#4");       // no key: as before
    EXPECT_EQ(name(61, SongKey{-1, false}), "C#4"); // leading to D minor
    EXPECT_EQ(name(59, SongKey{-6, true}), "Cb4");  // E flat minor's sixth
    EXPECT_EQ(name(62, SongKey{-6, true}), "D 4");  // and its leading note
    EXPECT_EQ(name(60, SongKey{7, false}), "B#3");  // C sharp major's seventh
    EXPECT_EQ(name(68, SongKey{0, true}), "G#4");   // A minor's leading note
    EXPECT_EQ(name(70, SongKey{0, true}), "Bb4");
    EXPECT_EQ(SignatureAlter('B', {-2, false}), -1);
    EXPECT_EQ(SignatureAlter('A', {-2, false}), 0);
    EXPECT_EQ(SignatureAlter('D', {4, false}), 1);
    EXPECT_EQ(SignatureAlter('A', {4, false}), 0);
}
