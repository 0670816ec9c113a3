#include "formats/abc.h"
#include "formats/notation.h"
#include "song/songcodec.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

namespace {

constexpr uint8_t kCodes[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8,
                              0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1};

// An event as the tables write it: a length code and a MIDI key, 0 for a rest, -1 for a tie.
struct E {
    uint8_t code;
    int key;
};

std::vector<E> EventsOf(const Song& song) {
    std::vector<E> out;
    for (int i = 0; i < song.count; ++i) {
        const SongEvent& e = song.events[size_t(i)];
        out.push_back({e.code, e.pitch == kPitchTie    ? -1
                               : e.pitch == kPitchRest ? 0
                                                       : e.pitch + 9});
    }
    return out;
}

std::string Show(const std::vector<E>& events) {
    std::string out;
    char text[16];
    for (const E& e : events) {
        std::snprintf(text, sizeof text, "%02X:%d ", e.code, e.key);
        out += text;
    }
    return out;
}

AbcTune Read(const std::string& text) {
    AbcTune tune;
    const AbcReadResult result = DecodeAbc(text, tune);
    EXPECT_EQ(result.error, AbcError::None)
        << text << " at " << result.line << ":" << result.column;
    return tune;
}

Song SongOf(const std::vector<E>& events, uint8_t tempo = kDefaultTempoByte) {
    Song song;
    song.tempo = tempo;
    for (const E& e : events)
        song.events[size_t(song.count++)] = {0, e.code,
                                             uint8_t(e.key < 0    ? kPitchTie
                                                     : e.key == 0 ? kPitchRest
                                                                  : e.key - 9)};
    ComputeStartTicks(song);
    return song;
}

std::string WithoutKeptEvents(const std::string& text) {
    return std::regex_replace(text, std::regex("%%kesv-events[^\n]*\n"), "");
}

struct Case {
    const char* what;
    const char* body; // after "X:1\n"
    std::vector<E> events;
};

// Every construct a melody needs, each once, with the events it must give.
const Case kCases[] = {
    {"default unit of 4/4 is an eighth",
     "M:4/4\nK:C\nCDEF|",
     {{0xC6, 60}, {0xC6, 62}, {0xC6, 64}, {0xC6, 65}}},
    {"default unit of 2/4 is a sixteenth", "M:2/4\nK:C\nC D|", {{0xC9, 60}, {0xC9, 62}}},
    {"lengths",
     "L:1/4\nK:C\nC D2 E/2 F/ G3/2 A//|",
     {{0xC4, 60}, {0xC2, 62}, {0xC6, 64}, {0xC6, 65}, {0xC3, 67}, {0xC9, 69}}},
    {"octaves",
     "L:1/4\nK:C\nC, C c c' B,,|",
     {{0xC4, 48}, {0xC4, 60}, {0xC4, 72}, {0xC4, 84}, {0xC4, 47}}},
    {"accidentals last the bar in their octave",
     "L:1/4\nK:C\n^c c C _D | c =B __B ^^F|",
     {{0xC4, 73},
      {0xC4, 73},
      {0xC4, 60},
      {0xC4, 61},
      {0xC4, 72},
      {0xC4, 71},
      {0xC4, 69},
      {0xC4, 67}}},
    {"key signature and mode",
     "L:1/4\nK:Dm\nB e | [K:A mix] G c f|",
     {{0xC4, 70}, {0xC4, 76}, {0xC4, 67}, {0xC4, 73}, {0xC4, 78}}},
    {"explicit signature", "L:1/4\nK:D exp ^f ^c\nF C G|", {{0xC4, 66}, {0xC4, 61}, {0xC4, 67}}},
    {"broken rhythm",
     "L:1/8\nK:C\nc>d c<d [L:1/2]c>>d|",
     {{0xC5, 72}, {0xC9, 74}, {0xC9, 72}, {0xC5, 74}, {0xD1, 72}, {0xC6, 74}}},
    {"rests and bar rests",
     "M:3/4\nL:1/4\nK:C\nz c x/ c/ | Z | c3|",
     {{0xC4, 0}, {0xC4, 72}, {0xC6, 0}, {0xC6, 72}, {0xC1, 0}, {0xC1, 72}}},
    {"ties join into one code",
     "L:1/8\nK:C\nc-c c4-|c2 c2-c2|",
     {{0xC4, 72}, {0xC1, 72}, {0xC2, 72}}},
    {"tuplets",
     "L:1/8\nK:C\n(3cde (5:4:5c/d/e/f/g/ (3:2:2cd/|",
     {{0xC7, 72},
      {0xC7, 74},
      {0xC7, 76},
      {0xCA, 72},
      {0xCA, 74},
      {0xCA, 76},
      {0xCA, 77},
      {0xCA, 79},
      {0xC7, 72},
      {0xC8, 74}}},
    {"a chord gives its top note", "L:1/4\nK:C\n[CEG]2 [c2e]|", {{0xC2, 67}, {0xC2, 76}}},
    {"grace notes, decorations, annotations, slurs",
     "L:1/4\nK:C\n{ga}c !trill!d ~e \"Am\"f \"^text\".(g a)|",
     {{0xC4, 72}, {0xC4, 74}, {0xC4, 76}, {0xC4, 77}, {0xC4, 79}, {0xC4, 81}}},
    {"repeats and endings played out",
     "L:1/4\nK:C\n|: c |1 d :|2 e |] f|",
     {{0xC4, 72}, {0xC4, 74}, {0xC4, 72}, {0xC4, 76}, {0xC4, 77}}},
    {"a repeat without its start",
     "L:1/4\nK:C\nc d :| e :: f :|",
     {{0xC4, 72},
      {0xC4, 74},
      {0xC4, 72},
      {0xC4, 74},
      {0xC4, 76},
      {0xC4, 76},
      {0xC4, 77},
      {0xC4, 77}}},
    {"parts in their order",
     "L:1/4\nP:ABA\nK:C\nP:A\nc|\nP:B\nd|",
     {{0xC4, 72}, {0xC4, 74}, {0xC4, 72}}},
    {"continuations, comments, directives",
     "L:1/4\nK:C\nc d \\\n%%MIDI program 1\ne % f\nf|",
     {{0xC4, 72}, {0xC4, 74}, {0xC4, 76}, {0xC4, 77}}},
    {"inline fields",
     "M:4/4\nL:1/4\nK:C\nf [K:D] f [L:1/8] f [M:3/4] f|",
     {{0xC4, 77}, {0xC4, 78}, {0xC6, 78}, {0xC6, 78}}},
    {"the first voice",
     "L:1/4\nV:1\nV:2\nK:C\nV:1\nc d|\nV:2\nC, D,|\nV:1\ne f & A B|",
     {{0xC4, 72}, {0xC4, 74}, {0xC4, 76}, {0xC4, 77}}},
    {"lengths without a code are split",
     "L:1/8\nK:C\nc9 c/3|",
     {{0xC0, -1}, {0xC6, 72}, {0xC8, 72}}},
    {"words are not music", "L:1/4\nK:C\nc d|\nw: la la\nW: more\n", {{0xC4, 72}, {0xC4, 74}}},
};

TEST(Abc, EachConstructGivesItsEvents) {
    for (const Case& c : kCases) {
        const AbcTune tune = Read(std::string("X:1\n") + c.body);
        EXPECT_EQ(Show(EventsOf(tune.song)), Show(c.events)) << c.what;
    }
}

TEST(Abc, HeaderGivesTitleTempoKeyMetreAndPickup) {
    const AbcTune tune = Read("X:7\nT:Caf\\'e \"Tune\"\nT:Second title\nM:6/8\nL:1/8\n"
                              "Q:3/8=80\nK:F#m\nc | f3 e2 d|\n");
    EXPECT_EQ(tune.number, 7);
    EXPECT_EQ(tune.title, "Café \"Tune\"");
    EXPECT_EQ(tune.tempo, 120);
    EXPECT_EQ(tune.song.tempo, TempoToByte(120));
    EXPECT_EQ(tune.key, (AbcKey{3, true}));
    EXPECT_EQ(tune.meter, (AbcMeter{6, 8}));
    EXPECT_EQ(tune.pickup, 240);
    EXPECT_EQ(EventsOf(tune.song).front().key, 73); // c sharp in F sharp minor

    EXPECT_EQ(Read("X:1\nM:C\nK:C\nc|").meter, (AbcMeter{4, 4, AbcMeter::Symbol::Common}));
    EXPECT_EQ(Read("X:1\nM:C|\nK:C\nc|").meter, (AbcMeter{2, 2, AbcMeter::Symbol::Cut}));
    EXPECT_EQ(Read("X:1\nM:C\nK:C\nc8|").pickup, 0);          // a whole bar is no pickup
    EXPECT_EQ(Read("X:1\nL:1/4\nQ:100\nK:C\nc|").tempo, 100); // the old form: unit notes
    EXPECT_EQ(Read("X:1\nL:1/8\nQ:100\nK:C\nc|").tempo, 50);
    EXPECT_EQ(Read("X:1\nK:Bb\nB|").song.events[0].pitch, 70 - 9);
    EXPECT_EQ(Read("X:1\nK:C\nc|").meter.numerator, 0); // no M: is a free metre
    EXPECT_EQ(Read("X:1\nT:Latin-1 \xe9t\xe9\nK:C\nc|").title, "Latin-1 été");
}

TEST(Abc, RemarksCountWhatWasLeftOutOrChanged) {
    const AbcTune tune = Read("X:1\nL:1/8\nQ:1/4=400\nK:D dor\n"
                              "{g}[CE]2 !fermata!\"Am\"c2 c9 |: d :| [Q:1/4=90] [K:G] [M:3/4] "
                              "C,,,,, ^/c|\nw: words\n");
    const AbcRemarks& r = tune.remarks;
    EXPECT_EQ(r.graceNotes, 1);
    EXPECT_EQ(r.chords, 1);
    EXPECT_EQ(r.decorations, 1);
    EXPECT_EQ(r.annotations, 1);
    EXPECT_EQ(r.splitLengths, 1);
    EXPECT_EQ(r.repeatsUnfolded, 1);
    EXPECT_EQ(r.tempoChanges, 1);
    EXPECT_EQ(r.keyChanges, 1);
    EXPECT_EQ(r.meterChanges, 1);
    EXPECT_EQ(r.outOfRange, 1);
    EXPECT_EQ(r.microtones, 1);
    EXPECT_EQ(r.lyricLines, 1);
    EXPECT_TRUE(r.modeApproximated);
    EXPECT_TRUE(r.tempoClamped);
    EXPECT_EQ(tune.key, (AbcKey{0, true})); // D dorian: its signature, as a minor key
    EXPECT_EQ(tune.song.tempo, TempoToByte(378));

    EXPECT_EQ(Read("X:1\nV:1\nK:C\nc|\nV:2\nd|\nV:3\ne|").remarks.otherVoices, 2);
    EXPECT_TRUE(Read("X:1\nK:C ^g\nc|").remarks.oddSignature);
    std::string many = "X:1\nK:C\n";
    for (int i = 0; i < 1200; ++i)
        many += "cd";
    const AbcTune cut = Read(many);
    EXPECT_TRUE(cut.remarks.truncated);
    EXPECT_EQ(cut.song.count, kMaxEvents);
}

TEST(Abc, ErrorsNameLineAndColumn) {
    struct Bad {
        const char* text;
        AbcError error;
        int line;
        int column;
    };
    const Bad kBad[] = {
        {"X:1\nK:C\nabc]", AbcError::UnexpectedBracket, 3, 4},
        {"X:1\nK:C\n\"ü\" é c]", AbcError::UnexpectedChar, 3, 5}, // columns count characters
        {"X:1\nK:C\ncd [CEG", AbcError::UnclosedChord, 3, 4},
        {"X:1\nK:C\nc {ga c", AbcError::UnclosedGrace, 3, 3},
        {"X:1\nK:C\nc \"Am c", AbcError::UnclosedText, 3, 3},
        {"X:1\nK:C\nc [K:D c", AbcError::UnclosedText, 3, 3},
        {"X:1\nK:C\nc d0", AbcError::BadLength, 3, 4},
        {"X:1\nK:C\nc d/0", AbcError::BadLength, 3, 4},
        {"X:1\nK:C\n(1cde", AbcError::BadTuplet, 3, 1},
        {"X:1\nM:x/4\nK:C\nc", AbcError::BadMeter, 2, 3},
        {"X:1\nL:0\nK:C\nc", AbcError::BadUnit, 2, 3},
        {"X:1\nK:Q\nc", AbcError::BadKey, 2, 3},
        {"X:1\nK:C\n\nc", AbcError::NoNotes, 1, 1}, // a blank line ends the tune
        {"X:1\nK:C\nz4|", AbcError::NoNotes, 1, 1},
        {"just some text\n", AbcError::NoTune, 0, 0},
    };
    for (const Bad& bad : kBad) {
        AbcTune tune;
        tune.title = "untouched";
        const AbcReadResult result = DecodeAbc(bad.text, tune);
        EXPECT_EQ(result.error, bad.error) << bad.text;
        EXPECT_EQ(result.line, bad.line) << bad.text;
        EXPECT_EQ(result.column, bad.column) << bad.text;
        EXPECT_EQ(tune.title, "untouched") << bad.text;
    }
    AbcTune tune;
    EXPECT_EQ(DecodeAbc("X:1\nK:C\nc", tune, 1).error, AbcError::NoSuchTune);
}

TEST(Abc, TunesAreListedAndChosen) {
    const std::string text = "%abc-2.1\nL:1/4\n\nSome words between the tunes.\n\n"
                             "X:3\nT:First\nM:3/4\nK:G\nc d e|\n\n"
                             "free text\n\n"
                             "X:5\nT:Broken\nK:C\nc ]\n"
                             "X:8\nT:Third\nK:Am\nc2 d2|\n";
    const std::vector<AbcTuneInfo> list = ListAbcTunes(text);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].number, 3);
    EXPECT_EQ(list[0].title, "First");
    EXPECT_EQ(list[0].key, "G");
    EXPECT_EQ(list[0].meter, "3/4");
    EXPECT_EQ(list[0].line, 6);
    EXPECT_EQ(list[0].events, 3);
    EXPECT_EQ(list[0].ticks, 3 * 480); // the file's L:1/4 holds for every tune
    EXPECT_EQ(list[1].title, "Broken");
    EXPECT_EQ(list[1].read.error, AbcError::UnexpectedBracket);
    EXPECT_EQ(list[1].read.line, 17);
    EXPECT_EQ(list[2].events, 2);
    EXPECT_EQ(FindAbcTune(text, 8), 2);
    EXPECT_EQ(FindAbcTune(text, 4), -1);
    AbcTune third;
    ASSERT_EQ(DecodeAbc(text, third, 2).error, AbcError::None);
    EXPECT_EQ(third.title, "Third");
    EXPECT_TRUE(LooksLikeAbc("\n  X:1\nT:x"));
    EXPECT_FALSE(LooksLikeAbc("T:x\nX:1"));
    // Music pasted without its X: line is one tune when it has a K: field.
    EXPECT_EQ(Read("K:G\nf|").song.events[0].pitch, 78 - 9);
}

TEST(Abc, EveryLengthCodeReadsBackAsTheSameSong) {
    std::vector<E> events;
    int key = 55;
    for (const uint8_t code : kCodes) {
        events.push_back({code, key});
        events.push_back({code, -1}); // a tie run: its lengths kept apart
        events.push_back({code, key + 1});
        events.push_back({code, 0});
        key += 2;
    }
    const Song song = SongOf(events, 0x87);
    for (const int pickup : {0, 240}) {
        AbcWriteOptions options;
        options.signature = {3, 4};
        options.pickup = pickup;
        const std::string text = EncodeAbc(song, options);
        const AbcTune back = Read(text);
        EXPECT_EQ(Show(EventsOf(back.song)), Show(events));
        EXPECT_EQ(back.song.tempo, 0x87);
        EXPECT_EQ(back.pickup, pickup);
        // The notes alone sound the same: another program plays what KesV plays.
        const AbcTune notesOnly = Read(WithoutKeptEvents(text));
        EXPECT_TRUE(SoundTheSame(SoundingUnits(notesOnly.song), SoundingUnits(song)));
    }
}

TEST(Abc, RandomSongsReadBackAsTheSameSong) {
    std::mt19937 random(36);
    for (int round = 0; round < 100; ++round) {
        Song song;
        song.tempo = uint8_t(0x60 + random() % 0x9E);
        song.count = 1 + int(random() % 200);
        for (int i = 0; i < song.count; ++i) {
            const int kind = int(random() % 5);
            song.events[size_t(i)] = {0, kCodes[random() % std::size(kCodes)],
                                      uint8_t(kind == 0   ? kPitchRest
                                              : kind == 1 ? kPitchTie
                                                          : 1 + random() % 0x5F)};
        }
        song.events[size_t(song.count - 1)].pitch = 40; // a note, so that there is one
        ComputeStartTicks(song);
        AbcWriteOptions options;
        options.signature = {int(2 + random() % 6), random() % 2 ? 4 : 8};
        options.key = AbcKey{int(random() % 15) - 7, random() % 2 == 0};
        const std::string text = EncodeAbc(song, options);
        const AbcTune back = Read(text);
        EXPECT_EQ(EncodeSong(back.song), EncodeSong(song)) << text;
        const AbcTune notesOnly = Read(WithoutKeptEvents(text));
        EXPECT_TRUE(SoundTheSame(SoundingUnits(notesOnly.song), SoundingUnits(song))) << text;
    }
}

TEST(Abc, WriterSpellsInTheKeyAndBarsAtTheMetre) {
    // G major: F sharp needs no sign, F natural does, and the sharp comes back in the bar;
    // a note across the bar line is tied; B flat spelt as in a major key.
    const Song song =
        SongOf({{0xC4, 66}, {0xC4, 65}, {0xC4, 66}, {0xC2, 79}, {0xC6, 70}, {0xC3, 67}});
    AbcWriteOptions options;
    options.title = "Tïtle 100%";
    options.key = AbcKey{1, false};
    const std::string text = EncodeAbc(song, options);
    EXPECT_EQ(text, "X:1\nT:Tïtle 100\\%\nM:4/4\nL:1/4\nQ:1/4=120\nK:G\n"
                    "F =F ^F g- | g _B/G3/2 |]\n");
    EXPECT_EQ(Read(text).title, "Tïtle 100%");

    // Without a key, the detection decides; without either, C major.
    options.key.reset();
    options.detectKey = [](const Song&) { return std::optional<AbcKey>(AbcKey{-3, true}); };
    EXPECT_NE(EncodeAbc(song, options).find("K:Cm\n"), std::string::npos);
    options.detectKey = nullptr;
    options.symbol = AbcMeter::Symbol::Common;
    const std::string plain = EncodeAbc(song, options);
    EXPECT_NE(plain.find("M:C\nL:1/4\nQ:1/4=120\nK:C\n^F =F ^F"), std::string::npos);
    // A selection: these rows only.
    options.firstRow = 3;
    options.rowCount = 1;
    EXPECT_EQ(Show(EventsOf(Read(EncodeAbc(song, options)).song)), Show({{0xC2, 79}}));
}

} // namespace
