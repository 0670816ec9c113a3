#include "view/staffrules.h"
#include "view/viewlayout.h"

#include <gtest/gtest.h>

namespace {

Song MakeSong(std::initializer_list<std::pair<uint8_t, uint8_t>> events) {
    Song song;
    for (const auto& [code, pitch] : events)
        song.events[size_t(song.count++)] = {0, code, pitch};
    ComputeStartTicks(song);
    return song;
}

std::string Row(const Song& song, int i, RowRepeat& repeat, TimeSignature sig = {}) {
    const SongEvent* event = i < song.count ? &song.events[size_t(i)] : nullptr;
    return FormatEventRow(i, event, song.events[size_t(i)].startTick, sig, repeat);
}

} // namespace

TEST(ViewLayout, HeaderHitTest_RightAndBottomEdgesAreOutside) {
    const ViewMetrics m{6, 13};
    EXPECT_EQ(HitTestHeader(m, 0, 0), HeaderHit::Tempo);
    EXPECT_EQ(HitTestHeader(m, 5 * 6 + 3, 13 + 3), HeaderHit::Tempo);
    EXPECT_EQ(HitTestHeader(m, 5 * 6 + 4, 0), HeaderHit::None); // the tempo value box
    EXPECT_EQ(HitTestHeader(m, 0, 13 + 4), HeaderHit::None);
    EXPECT_EQ(HitTestHeader(m, 8 * 6 + 8, 0), HeaderHit::Title);
    EXPECT_EQ(HitTestHeader(m, 13 * 6 + 11, 5), HeaderHit::Title);
    EXPECT_EQ(HitTestHeader(m, 13 * 6 + 12, 5), HeaderHit::None);
}

TEST(ViewLayout, Geometry_RowTopsAndListWidth) {
    const ViewMetrics m{6, 12};
    EXPECT_EQ(m.GetListWidth(), 206);
    EXPECT_EQ(m.GetRowTop(0), 29);
    EXPECT_EQ(m.GetRowTop(3), 68);
    // Code column: characters 4-5, one pixel of frame beyond each side.
    EXPECT_EQ(m.CursorRect(2, 4, 2), (PixelRect{41, 55, 55, 69}));
}

TEST(ViewLayout, TempoText_ShowsDashBelowTheTempoRange) {
    EXPECT_EQ(FormatTempoText(0x7E), "120");
    EXPECT_EQ(FormatTempoText(0x60), " 60");
    EXPECT_EQ(FormatTempoText(0x5F), "  -");
}

// With a pickup the list counts it as bar 0 ending on the bar's last beats; names follow the key.
TEST(ViewLayout, RowText_PickupBarAndKeySpelling) {
    Song song = MakeSong({{0xC6, 0x3D}, {0xC3, 0x39}, {0xC6, 0x3B}});
    const Meter jig{{6, 8}, 240};
    const SongKey eFlatMinor{-6, true};
    RowRepeat repeat;
    EXPECT_EQ(FormatEventRow(0, &song.events[0], 0, jig, eFlatMinor, repeat),
              "000 C6 3D :   0/6/  0 Bb4 1/  0");
    EXPECT_EQ(FormatEventRow(1, &song.events[1], 240, jig, eFlatMinor, repeat),
              "001 C3 39 :   1/1/  0 Gb4 3/  0");
    EXPECT_EQ(FormatEventRow(2, &song.events[2], 960, jig, std::nullopt, repeat),
              "002 C6 3B :     4/  0 G#4 1/  0");
}

TEST(ViewLayout, RowText_EmptySongShowsOnlyTheEndRow) {
    Song song = MakeSong({});
    RowRepeat repeat;
    EXPECT_EQ(Row(song, 0, repeat), "000       :   0/1/  0");
}

TEST(ViewLayout, RowText_RepeatedBarAndBeatAreBlanked) {
    Song song = MakeSong({{0xC4, 51}, {0xC4, 53}, {0xC6, 55}, {0xC6, 56}});
    RowRepeat repeat;
    EXPECT_EQ(Row(song, 0, repeat), "000 C4 33 :   0/1/  0 C 4 1/  0");
    EXPECT_EQ(Row(song, 1, repeat), "001 C4 35 :     2/  0 D 4 1/  0");
    EXPECT_EQ(Row(song, 2, repeat), "002 C6 37 :     3/  0 E 4   240");
    EXPECT_EQ(Row(song, 3, repeat), "003 C6 38 :       240 F 4   240");
    EXPECT_EQ(Row(song, 4, repeat), "004       :     4/  0");
}

TEST(ViewLayout, RowText_FirstVisibleRowShowsItsPositionInFull) {
    Song song = MakeSong({{0xC4, 51}, {0xC4, 53}, {0xC4, 55}});
    RowRepeat repeat; // painting starts at row 2
    EXPECT_EQ(Row(song, 2, repeat), "002 C4 37 :   0/3/  0 E 4 1/  0");
}

TEST(ViewLayout, RowText_TieRestAndUnknownCode) {
    Song song = MakeSong({{0xC4, kPitchTie}, {0xC4, kPitchRest}, {0x70, 51}, {0xC4, 51}});
    RowRepeat repeat;
    EXPECT_EQ(Row(song, 0, repeat), std::string("000 C4    :   0/1/  0 ") + kTieMark + "  1/  0");
    EXPECT_EQ(Row(song, 1, repeat), std::string("001 C4 00 :     2/  0 ") + kRestMark + "  1/  0");
    EXPECT_EQ(Row(song, 2, repeat), "002 70 33 :     3/  0 C 4");       // no length
    EXPECT_EQ(Row(song, 3, repeat), "003 C4 33 :         0 C 4 1/  0"); // same tick
}

TEST(ViewLayout, RowText_LengthsCountBeatsOfTheTimeSignature) {
    Song song = MakeSong({{0xC3, 51}});
    RowRepeat repeat;
    EXPECT_EQ(Row(song, 0, repeat, {6, 8}).substr(26), "3/  0");
    RowRepeat again;
    EXPECT_EQ(Row(song, 0, again, {4, 4}).substr(26), "1/240");
}

TEST(ViewLayout, ColumnHeader_NoteMarkTakesTwoCells) {
    const std::string header = ColumnHeaderText();
    EXPECT_EQ(header.find("Len."), 27u);
    EXPECT_EQ(header.substr(22, 2), kNoteMark);
}

TEST(ViewScroll, PageSize_IsWholeRowsBelowTheListTop) {
    const ViewMetrics m{6, 12};
    EXPECT_EQ(ComputePageSize(m, 29 + 13 * 10), 10);
    EXPECT_EQ(ComputePageSize(m, 29 + 13 * 10 - 1), 9);
    EXPECT_EQ(ComputePageSize(m, 10), 1); // never below one row
}

TEST(ViewScroll, ScrollCodes_MoveAndStopWithTheEndRowLast) {
    const ScrollState s{0, 30, 10, 5};
    EXPECT_EQ(ScrollPositionFor(kScrollLineUp, 0, s), 4);
    EXPECT_EQ(ScrollPositionFor(kScrollLineDown, 0, s), 6);
    EXPECT_EQ(ScrollPositionFor(kScrollPageUp, 0, s), 0);
    EXPECT_EQ(ScrollPositionFor(kScrollPageDown, 0, s), 15);
    EXPECT_EQ(ScrollPositionFor(kScrollPageDown, 0, {0, 30, 10, 18}), 21);
    EXPECT_EQ(ScrollPositionFor(kScrollThumbTrack, 12, s), 12);
    EXPECT_EQ(ScrollPositionFor(kScrollThumbPosition, 40, s), 21);
    EXPECT_EQ(ScrollPositionFor(kScrollTop, 0, s), 0);
    EXPECT_EQ(ScrollPositionFor(kScrollBottom, 0, s), 21);
    EXPECT_EQ(ScrollPositionFor(kScrollEnd, 0, s), std::nullopt);
    // The whole song fits: nothing scrolls.
    EXPECT_EQ(ScrollPositionFor(kScrollPageDown, 0, {0, 5, 10, 0}), 0);
}

TEST(ViewScroll, CursorKeptVisibleAndScrollToShowARow) {
    const ScrollState s{0, 30, 10, 5};
    EXPECT_EQ(RowKeptVisible(2, s), 5);
    EXPECT_EQ(RowKeptVisible(20, s), 14);
    EXPECT_EQ(RowKeptVisible(9, s), 9);
    EXPECT_EQ(RowKeptVisible(-3, {0, 0, 10, 0}), 0);
    EXPECT_EQ(PositionShowingRow(15, s), 6); // one row below the last: one row of scrolling
    EXPECT_EQ(PositionShowingRow(3, s), 3);
    EXPECT_EQ(PositionShowingRow(14, s), 5);
}

TEST(ViewLayout, KeyGuide_FurtherLinesOnlyWhenTheirTopIsInside) {
    EXPECT_EQ(KeyGuideLineCount(0, 12), 1);
    EXPECT_EQ(KeyGuideLineCount(14, 12), 1); // the second line would start at the bottom edge
    EXPECT_EQ(KeyGuideLineCount(15, 12), 2);
    EXPECT_EQ(KeyGuideLineCount(62, 12), 5);
    EXPECT_EQ(KeyGuideLineCount(63, 12), 6);
    EXPECT_EQ(KeyGuideLineCount(500, 12), 6);
}

TEST(StaffPanel, NoteOffsets_MiddleCOnTheMiddleLine) {
    EXPECT_EQ(NoteOffset(60), 0);
    EXPECT_EQ(NoteOffset(61), 0); // C sharp shares the C position
    EXPECT_EQ(NoteOffset(62), -4);
    EXPECT_EQ(NoteOffset(64), -8);
    EXPECT_EQ(NoteOffset(57), 8);
    EXPECT_EQ(NoteOffset(72), -28);
    EXPECT_EQ(NoteOffset(71), -24);
}

TEST(StaffPanel, LedgerLines_OnlyOutsideTheStavesAndOnTheMiddle) {
    EXPECT_EQ(LedgerOffsets(0), std::vector<int>{0});
    EXPECT_TRUE(LedgerOffsets(-4).empty());
    EXPECT_TRUE(LedgerOffsets(-44).empty());
    EXPECT_EQ(LedgerOffsets(-48), std::vector<int>{-48});
    EXPECT_EQ(LedgerOffsets(-60), (std::vector<int>{-48, -56}));
    EXPECT_EQ(LedgerOffsets(NoteOffset(36)), (std::vector<int>{48, 56}));
}

// In a flat key black keys are flats on the line above; E flat minor writes C flat for B.
TEST(StaffPanel, KeySpelling_FlatsAndTheirLines) {
    const SongKey fMajor{-1, false};
    const SongKey eFlatMinor{-6, true};
    EXPECT_EQ(NoteOffset(70, fMajor), NoteOffset(71));     // B flat on the B line
    EXPECT_EQ(NoteOffset(59, eFlatMinor), NoteOffset(60)); // C flat 4 on the C line
    AccidentalMemory memory(fMajor);
    EXPECT_EQ(memory.Check(70), kGlyphFlat);    // B flat
    EXPECT_EQ(memory.Check(82), std::nullopt);  // B flat an octave up
    EXPECT_EQ(memory.Check(71), kGlyphNatural); // B
    EXPECT_EQ(memory.Check(61), kGlyphSharp);   // C sharp, leading to D minor
}

TEST(StaffPanel, AccidentalMemory_LastsAcrossOctavesAndBars) {
    AccidentalMemory memory;
    EXPECT_EQ(memory.Check(61), kGlyphSharp);   // C#4
    EXPECT_EQ(memory.Check(60), kGlyphNatural); // C 4
    EXPECT_EQ(memory.Check(61), kGlyphSharp);   // C#4
    EXPECT_EQ(memory.Check(66), kGlyphSharp);   // F#4
    EXPECT_EQ(memory.Check(78), std::nullopt);  // F#5
    EXPECT_EQ(memory.Check(62), std::nullopt);  // D 4, never sharp
}

TEST(StaffPanel, DurationBars_OnlyForNotesLongerThanTheHead) {
    EXPECT_EQ(DurationBarWidth(TicksToPixels(80)), 0);
    EXPECT_EQ(DurationBarWidth(TicksToPixels(120)), 2);
    EXPECT_EQ(DurationBarWidth(TicksToPixels(480)), 38);
}

TEST(StaffPanel, Origin_IsTheCursorsBar) {
    Song song = MakeSong({{0xC4, 51}, {0xC4, 51}, {0xC4, 51}, {0xC4, 51}, {0xC4, 53}});
    const Meter fourFour{{4, 4}, 0};
    EXPECT_EQ(StaffOriginTick(song, 3, fourFour), 0u);
    EXPECT_EQ(StaffOriginTick(song, 4, fourFour), 1920u);
    EXPECT_EQ(StaffOriginTick(song, 5, fourFour), 1920u); // end row
    EXPECT_EQ(StaffOriginTick(MakeSong({}), 0, fourFour), 0u);
    // A quarter upbeat is bar 0; the next bar starts after it.
    const Meter upbeat{{4, 4}, 480};
    EXPECT_EQ(StaffOriginTick(song, 0, upbeat), 0u);
    EXPECT_EQ(StaffOriginTick(song, 1, upbeat), 480u);
    EXPECT_EQ(StaffOriginTick(song, 4, upbeat), 480u);
    EXPECT_EQ(StaffOriginTick(song, 5, upbeat), 2400u);
}

TEST(StaffPanel, Notes_TiesMergeRestsVanishAndTheWalkStopsAtTheEdge) {
    Song song = MakeSong({{0xC4, 51},
                          {0xC4, 51},
                          {0xC4, 51},
                          {0xC4, kPitchTie}, // bar 0
                          {0xC4, 55},        // 1920
                          {0xC4, kPitchTie},
                          {0xC4, 56},         // 2400
                          {0xC4, kPitchRest}, // 3360
                          {0xC4, 58}});       // 3840
    const std::vector<StaffNote> notes = CollectStaffNotes(song, 1920, 1000);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].key, 64);
    EXPECT_EQ(notes[0].x, 0);
    EXPECT_EQ(notes[0].width, 48); // its own length: the tie before the origin is skipped
    EXPECT_EQ(notes[1].key, 65);
    EXPECT_EQ(notes[1].x, 48);
    EXPECT_EQ(notes[1].width, 96);
    EXPECT_EQ(notes[2].x, 192);
    EXPECT_EQ(CollectStaffNotes(song, 1920, 100).size(), 2u);
}
