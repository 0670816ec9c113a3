#include "song/musictime.h"

#include <gtest/gtest.h>

namespace {

Song MakeSong(std::initializer_list<std::pair<int, int>> ev) {
    Song song;
    for (auto [code, pitch] : ev) {
        song.events[song.count].code = uint8_t(code);
        song.events[song.count].pitch = uint8_t(pitch);
        ++song.count;
    }
    return song;
}

constexpr uint32_t On(int key) {
    return PackShortMessage(0x90, uint8_t(key), 127);
}
constexpr uint32_t Off(int key) {
    return PackShortMessage(0x80, uint8_t(key), 0);
}

} // namespace

TEST(MusicTime, DurationTable_IsNotInKeyOrder) {
    EXPECT_EQ(GetDurationTicks(0xC0), 1920);
    EXPECT_EQ(GetDurationTicks(0xC7), 160);
    EXPECT_EQ(GetDurationTicks(0xC9), 120);
    EXPECT_EQ(GetDurationTicks(0xCF), 2360);
    EXPECT_EQ(GetDurationTicks(0xD1), 1680);
    EXPECT_EQ(GetDurationTicks(0xD2), 0);
    EXPECT_EQ(GetDurationTicks(0x60), 0);
}

TEST(MusicTime, BarBeatTick_In44And68) {
    const TimeSignature fourFour{4, 4};
    BarBeatTick p = SplitBarBeat(2400, fourFour);
    EXPECT_EQ(p.bar, 1);
    EXPECT_EQ(p.beat, 1);
    EXPECT_EQ(p.tick, 0);

    const TimeSignature sixEight{6, 8};
    EXPECT_EQ(GetTicksPerBeat(sixEight), 240);
    EXPECT_EQ(GetTicksPerBar(sixEight), 1440);
    p = SplitBarBeat(1500, sixEight);
    EXPECT_EQ(p.bar, 1);
    EXPECT_EQ(p.beat, 0);
    EXPECT_EQ(p.tick, 60);
    const BeatSplit dottedQuarter = SplitBeats(720, sixEight);
    EXPECT_EQ(dottedQuarter.beats, 3);
    EXPECT_EQ(dottedQuarter.ticks, 0);
    const BeatSplit eighth = SplitBeats(240, fourFour);
    EXPECT_EQ(eighth.beats, 0);
    EXPECT_EQ(eighth.ticks, 240);
}

TEST(MusicTime, ZeroBeatsPerBar_CountsAsOne) {
    const TimeSignature zero{0, 4};
    EXPECT_EQ(GetTicksPerBar(zero), 480);
    EXPECT_EQ(SplitBarBeat(960, zero).bar, 2);
}

TEST(MusicTime, NoteNames) {
    auto name = [](int p) {
        auto n = GetNoteName(uint8_t(p));
        return std::string(n.begin(), n.end());
    };
    EXPECT_EQ(name(51), "C 4");
    EXPECT_EQ(name(52), "C#4");
    EXPECT_EQ(name(3), "C 0");
    EXPECT_EQ(name(1), "A#/");
    EXPECT_EQ(name(2), "B /");
    EXPECT_EQ(name(95), "G#7");
}

TEST(MusicTime, TempoByte) {
    EXPECT_EQ(TempoFromByte(0x7E), 120);
    EXPECT_EQ(TempoFromByte(0x60), 60);
    EXPECT_EQ(TempoFromByte(0xFF), 378);
    EXPECT_EQ(TempoToByte(125), 0x80);
    EXPECT_EQ(TempoFromByte(TempoToByte(125)), 124);
    EXPECT_EQ(TempoToByte(132), 0x84);
}

TEST(MusicTime, StartTicks_IncludeTheEndPosition) {
    Song empty;
    ComputeStartTicks(empty);
    EXPECT_EQ(empty.events[0].startTick, 0u);

    Song song = MakeSong({{0xC4, 51}, {0xD5, 51}, {0xC4, 0xFF}});
    ComputeStartTicks(song);
    EXPECT_EQ(song.events[1].startTick, 480u);
    EXPECT_EQ(song.events[2].startTick, 480u); // 0xD5 has no length
    EXPECT_EQ(song.events[3].startTick, 960u); // a trailing tie still counts
}

TEST(Performance, OneQuarterNote) {
    const auto perf = BuildPerformance(MakeSong({{0xC4, 51}}));
    EXPECT_EQ(perf, (std::vector<PlayEvent>{{0, On(60)}, {475, Off(60)}}));
}

TEST(Performance, TiesMergeIntoTheFollowingUnit) {
    // A half-note tie then a quarter C 4: one note of 1440 ticks.
    auto perf = BuildPerformance(MakeSong({{0xC2, 0xFF}, {0xC4, 51}}));
    EXPECT_EQ(perf, (std::vector<PlayEvent>{{0, On(60)}, {1435, Off(60)}}));

    // A tie then a rest: one rest of the combined length.
    perf = BuildPerformance(MakeSong({{0xC2, 0xFF}, {0xC4, 0}, {0xC4, 53}}));
    EXPECT_EQ(perf, (std::vector<PlayEvent>{{1440, On(62)}, {1915, Off(62)}}));

    // A trailing tie is not played.
    perf = BuildPerformance(MakeSong({{0xC4, 51}, {0xC2, 0xFF}}));
    EXPECT_EQ(perf, (std::vector<PlayEvent>{{0, On(60)}, {475, Off(60)}}));
}

TEST(Performance, CodesOutsideTheTable_AreSkipped) {
    const auto perf = BuildPerformance(MakeSong({{0xD5, 51}, {0xC4, 1}}));
    EXPECT_EQ(perf, (std::vector<PlayEvent>{{0, On(10)}, {475, Off(10)}}));
}

TEST(Performance, KeyIsMaskedToSevenBits) {
    const auto perf = BuildPerformance(MakeSong({{0xC4, 0x7F}}));
    ASSERT_EQ(perf.size(), 2u);
    EXPECT_EQ((perf[0].message >> 8) & 0xFF, uint32_t((0x7F + 9) & 0x7F));
}
