#include "formats/notation.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace {

constexpr uint8_t kCodes[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8,
                              0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1};

int SumTicks(const std::vector<NoteValue>& values) {
    return std::accumulate(values.begin(), values.end(), 0,
                           [](int sum, const NoteValue& v) { return sum + ValueTicks(v); });
}

Song RandomSong(std::mt19937& random, int count) {
    Song song;
    for (int i = 0; i < count; ++i) {
        const int kind = int(random() % 4);
        song.events[size_t(i)] = {0, kCodes[random() % std::size(kCodes)],
                                  uint8_t(kind == 0   ? kPitchRest
                                          : kind == 1 ? kPitchTie
                                                      : 1 + random() % 0x5F)};
    }
    song.count = count;
    ComputeStartTicks(song);
    return song;
}

} // namespace

TEST(NoteValues, LengthCodesAreTheirWrittenValues) {
    using T = NoteType;
    EXPECT_EQ(NoteValuesOfTicks(1920), (std::vector<NoteValue>{{T::Whole}}));
    EXPECT_EQ(NoteValuesOfTicks(1680), (std::vector<NoteValue>{{T::Half, 2}}));
    EXPECT_EQ(NoteValuesOfTicks(360), (std::vector<NoteValue>{{T::Eighth, 1}}));
    EXPECT_EQ(NoteValuesOfTicks(160), (std::vector<NoteValue>{{T::Eighth, 0, 3, 2}}));
    EXPECT_EQ(NoteValuesOfTicks(80), (std::vector<NoteValue>{{T::Sixteenth, 0, 3, 2}}));
    EXPECT_EQ(NoteValuesOfTicks(96), (std::vector<NoteValue>{{T::Sixteenth, 0, 5, 4}}));
    EXPECT_EQ(NoteValuesOfTicks(15), (std::vector<NoteValue>{{T::HundredTwentyEighth}}));
    EXPECT_EQ(NoteValuesOfTicks(1200), (std::vector<NoteValue>{{T::Half}, {T::Eighth}}));
    EXPECT_EQ(NoteValuesOfTicks(600), (std::vector<NoteValue>{{T::Quarter}, {T::Sixteenth}}));
    EXPECT_EQ(SumTicks(NoteValuesOfTicks(2360)), 2360);
}

TEST(NoteValues, EveryLengthIsWrittenExactly) {
    // Bar lines cut events at any tick, so every length must come out whole.
    for (int ticks = 1; ticks <= 8000; ++ticks) {
        const std::vector<NoteValue> values = NoteValuesOfTicks(ticks);
        ASSERT_EQ(SumTicks(values), ticks);
        for (const NoteValue& value : values)
            ASSERT_GT(ValueTicks(value), 0) << ticks;
    }
}

TEST(NoteValues, BlackKeysAreSpeltSharp) {
    EXPECT_EQ(SpellKey(60).step, 'C');
    EXPECT_EQ(SpellKey(60).octave, 4);
    EXPECT_EQ(SpellKey(61).step, 'C');
    EXPECT_EQ(SpellKey(61).alter, 1);
    EXPECT_EQ(SpellKey(70).step, 'A');
    EXPECT_EQ(SpellKey(70).alter, 1);
    EXPECT_EQ(SpellKey(59).octave, 3);
}

// A pickup is the first bar, as long as the pickup (an upbeat off the beat grid included).
TEST(Measures, BarsAddUpTiesPairAndBracketsClose) {
    std::mt19937 random(27);
    for (const Meter meter : {Meter{{4, 4}, 0}, Meter{{3, 4}, 0}, Meter{{6, 8}, 240},
                              Meter{{5, 16}, 0}, Meter{{4, 4}, 200}}) {
        const TimeSignature signature = meter.signature;
        for (int round = 0; round < 40; ++round) {
            const Song song = RandomSong(random, 1 + int(random() % 120));
            bool tieOpen = false;
            int tieKey = -1;
            const std::vector<ScoreMeasure> measures = LayOutMeasures(song, meter);
            for (const ScoreMeasure& measure : measures) {
                const bool pickup = meter.pickup > 0 && &measure == &measures.front();
                ASSERT_EQ(measure.ticks, pickup ? meter.pickup : GetTicksPerBar(signature));
                int ticks = 0;
                bool bracketOpen = false;
                for (const ScoreNote& note : measure.notes) {
                    ticks += note.ticks;
                    ASSERT_EQ(note.measureRest ? measure.ticks : ValueTicks(note.value),
                              note.ticks);
                    ASSERT_EQ(note.tiedFromPrior, tieOpen);
                    if (tieOpen) {
                        ASSERT_EQ(note.key, tieKey);
                    }
                    tieOpen = note.tiedToNext;
                    tieKey = note.key;
                    ASSERT_FALSE(note.tupletStart && bracketOpen);
                    if (note.value.IsTuplet()) {
                        ASSERT_TRUE(bracketOpen || note.tupletStart); // under a bracket
                    }
                    bracketOpen = (bracketOpen || note.tupletStart) && !note.tupletStop;
                }
                ASSERT_EQ(ticks, measure.ticks);
                ASSERT_FALSE(bracketOpen);
            }
            ASSERT_FALSE(tieOpen);
        }
    }
}

TEST(Measures, CrossingNotesTieSextupletsAndEmptyBars) {
    Song song;
    const SongEvent events[] = {
        {0, 0xC1, 0x33}, // dotted half C4
        {0, 0xC2, 0x35}, // half D4 across the bar line: quarter + quarter tied
        {0, 0xC8, 0x37}, {0, 0xC8, 0x37}, {0, 0xC8, 0x37}, // six sixteenth triplets
        {0, 0xC8, 0x37}, {0, 0xC8, 0x37}, {0, 0xC8, 0x37}, //
        {0, 0xC4, 0x00}, {0, 0xC0, 0x00},                  // rests: the third bar holds no note
    };
    for (const SongEvent& event : events)
        song.events[size_t(song.count++)] = event;
    ComputeStartTicks(song);
    const std::vector<ScoreMeasure> measures = LayOutMeasures(song, Meter{{4, 4}});
    ASSERT_EQ(measures.size(), 3u);
    ASSERT_EQ(measures[0].notes.size(), 2u);
    EXPECT_TRUE(measures[0].notes[1].tiedToNext);
    EXPECT_EQ(measures[1].notes[0].key, 62);
    EXPECT_TRUE(measures[1].notes[0].tiedFromPrior);
    EXPECT_EQ(measures[1].notes[1].value, (NoteValue{NoteType::Sixteenth, 0, 6, 4}));
    EXPECT_TRUE(measures[1].notes[1].tupletStart);
    EXPECT_TRUE(measures[1].notes[6].tupletStop);
    ASSERT_EQ(measures[2].notes.size(), 1u);
    EXPECT_TRUE(measures[2].notes[0].measureRest);
    // A lone run of three stays a triplet.
    song.count = 5;
    EXPECT_EQ(LayOutMeasures(song, Meter{{4, 4}})[1].notes[1].value,
              (NoteValue{NoteType::Sixteenth, 0, 3, 2}));
}

TEST(Measures, TiesEndingInARestAreWrittenAsRests) {
    Song song;
    song.events[0] = {0, 0xC4, kPitchTie};
    song.events[1] = {0, 0xC4, kPitchRest};
    song.events[2] = {0, 0xC4, 0x33};
    song.events[3] = {0, 0xC4, kPitchTie}; // trailing: sounds nothing
    song.count = 4;
    ComputeStartTicks(song);
    const std::vector<SoundingUnit> units = SoundingUnits(song);
    EXPECT_EQ(units, (std::vector<SoundingUnit>{{0, 960, -1}, {960, 480, 60}, {1440, 480, -1}}));
    const std::vector<ScoreMeasure> measures = LayOutMeasures(song, Meter{{4, 4}});
    for (size_t i : {0u, 1u, 3u})
        EXPECT_EQ(measures[0].notes[i].key, -1);
}

TEST(Measures, UnitsReadBackBecomeEvents) {
    Song song;
    bool truncated = false;
    EXPECT_EQ(AppendUnit(song, 960, {480, 480}, 60, truncated), 960);    // one half
    EXPECT_EQ(AppendUnit(song, 720, {480, 240}, 62, truncated), 720);    // one dotted quarter
    EXPECT_EQ(AppendUnit(song, 2400, {1920, 480}, 64, truncated), 2400); // two, tied
    EXPECT_EQ(AppendUnit(song, 1, {1}, -1, truncated), 15);              // the nearest sum
    ASSERT_EQ(song.count, 5);
    EXPECT_EQ(song.events[0].code, 0xC2);
    EXPECT_EQ(song.events[1].code, 0xC3);
    EXPECT_EQ(song.events[2].pitch, kPitchTie);
    EXPECT_EQ(song.events[3].pitch, 64 - 9);
    EXPECT_EQ(song.events[4].pitch, kPitchRest);
    EXPECT_FALSE(truncated);

    Song shortBars; // two whole notes' length tied over eight bars of 1/4: two events
    EXPECT_EQ(AppendUnit(shortBars, 3840, std::vector<int>(8, 480), 60, truncated), 3840);
    EXPECT_EQ(shortBars.count, 2);
    Song longRest; // longer than the length table: whole rests and the remainder
    EXPECT_EQ(AppendUnit(longRest, 100 * 1920 + 480, {}, -1, truncated), 100 * 1920 + 480);
    EXPECT_EQ(longRest.count, 101);
    EXPECT_FALSE(truncated);
    EXPECT_EQ(AppendUnit(longRest, 1 << 30, {}, -1, truncated), (kMaxEvents - 101) * 1920);
    EXPECT_TRUE(truncated);
}
