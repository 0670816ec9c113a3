#include "fakeeditorhost.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int kTie = 0xFF;
constexpr int kRest = 0x00;

struct TypedCase {
    int column;
    int before; // the byte under the cursor before typing
    const char* text;
    int after;
};

// Types the text into the cell of event 0 and confirms it with Enter.
int TypeAndConfirm(const TypedCase& c) {
    FakeEditorHost host;
    host.SetEvents({{0xC4, 51}});
    (c.column == 0 ? host.song.events[0].code : host.song.events[0].pitch) = uint8_t(c.before);
    host.Place(0, c.column);
    host.Type(c.text);
    EXPECT_EQ(host.Press(vk::Return), 1);
    return c.column == 0 ? host.At(0).code : host.At(0).pitch;
}

} // namespace

TEST(StepEditorEntry, EndToEnd_QuarterNoteC4OnEmptySong) {
    FakeEditorHost host;
    EXPECT_EQ(host.Column(), 0);
    EXPECT_EQ(host.editor.CursorCell().width, 2);

    EXPECT_EQ(host.Press(vk::F1 + 4), 0); // F5 goes on to default processing as well
    ASSERT_EQ(host.song.count, 1);
    EXPECT_EQ(host.At(0).code, 0xC4);
    EXPECT_EQ(host.At(0).pitch, kTie);
    EXPECT_EQ(host.Row(), 1);

    EXPECT_EQ(host.Press(vk::Up), 1);
    EXPECT_EQ(host.Press(vk::Right), 1);
    EXPECT_EQ(host.Press(vk::Right), 1);
    EXPECT_EQ(host.Column(), 2);
    EXPECT_EQ(host.editor.CursorCell().position, 22);
    EXPECT_EQ(host.Type("C4"), 2);
    EXPECT_EQ(host.At(0).pitch, kTie) << "typed text changes nothing before it is applied";
    EXPECT_EQ(host.Press(vk::Return), 1);
    EXPECT_EQ(host.At(0).code, 0xC4);
    EXPECT_EQ(host.At(0).pitch, 51);
    EXPECT_EQ(host.Pending(), "");
    EXPECT_EQ(host.Row(), 0);
}

TEST(StepEditorEntry, TypedText_ClampedPerColumn) {
    const TypedCase cases[] = {
        // code byte in hexadecimal
        {0, 0xC4, "c4", 0xC4},
        {0, 0xC4, "00", 0xC0},
        {0, 0xC4, "ff", 0xDF},
        {0, 0xC4, " ", 0xC0},
        // pitch byte in hexadecimal: FF is the top note, blanks are a tie
        {1, 51, "3c", 60},
        {1, 51, "05", 24},
        {1, 51, "7f", 95},
        {1, 51, "ff", 95},
        {1, 51, "0", kRest},
        {1, 51, " ", kTie},
        // note names: last letter and digit win, a sharp needs a letter
        {2, kRest, "C", 51},
        {2, kTie, "4", 51},
        {2, 51, "E", 55},
        {2, 55, "5", 67},
        {2, 51, "f#3", 45},
        {2, 51, "#c", 52},
        {2, 51, "B#7", 95},
        {2, 51, " ", kTie},
        {2, 60, "#", 60},
        {2, 51, "ca", 60},
        // a recorded pitch 1 is octave 0 with semitone -2 (truncating division)
        {2, 1, "4", 49},
    };
    for (const TypedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "column " << c.column << " \"" << c.text << '"');
        EXPECT_EQ(TypeAndConfirm(c), c.after);
    }
}

TEST(StepEditorEntry, Typing_RefusesCharactersBeyondWidthOrSet) {
    FakeEditorHost host;
    host.SetEvents({{0xC4, 51}});
    host.Place(0, 1);
    EXPECT_EQ(host.Type("3c"), 2);
    EXPECT_EQ(host.OnChar('d'), 0) << "a third character in a two-wide column";
    host.Place(0, 0);
    host.editor.DiscardInput();
    for (unsigned int c : {unsigned('g'), unsigned('#'), 0u, 0xC3u, 0x3042u, 13u, 27u, 9u})
        EXPECT_EQ(host.OnChar(c), 0) << c;
    EXPECT_EQ(host.Pending(), "");
    host.Place(0, 2);
    EXPECT_EQ(host.Type("c#4g"), 3);
    EXPECT_EQ(host.Pending(), "c#4");
    EXPECT_EQ(host.modifiedMarks, 0);
}

TEST(StepEditorEntry, BackspaceEnterEsc_EditApplyOrDropText) {
    FakeEditorHost host;
    host.SetEvents({{0xC4, 51}, {0xC4, 51}});
    host.Place(0, 2);
    host.Type("E5");
    EXPECT_EQ(host.OnChar(8), 1);
    EXPECT_EQ(host.Pending(), "E");
    EXPECT_EQ(host.OnChar(8), 1);
    EXPECT_EQ(host.OnChar(8), 0) << "nothing pending: passed on";
    host.Type("F");
    host.Press(vk::Return);
    EXPECT_EQ(host.At(0).pitch, 56);

    host.Type("G");
    host.invalidated.clear();
    EXPECT_EQ(host.Press(vk::Escape), 1);
    EXPECT_EQ(host.Pending(), "");
    EXPECT_EQ(host.At(0).pitch, 56);
    EXPECT_FALSE(host.invalidated.empty());

    // Moving the cursor applies what was typed, like Enter.
    host.Type("G");
    EXPECT_EQ(host.Press(vk::Down), 1);
    EXPECT_EQ(host.At(0).pitch, 58);
    EXPECT_EQ(host.Row(), 1);
}

TEST(StepEditorEntry, EndRow_CodeTypedAddsEventPitchTypedDoesNot) {
    FakeEditorHost host;
    host.SetEvents({{0xC4, 51}});
    host.Place(1, 2);
    host.Type("C4");
    host.Press(vk::Return);
    EXPECT_EQ(host.song.count, 1) << "a name on the end row has no event to go to";

    host.Place(1, 0);
    host.Type("c6");
    host.Press(vk::Return);
    ASSERT_EQ(host.song.count, 2);
    EXPECT_EQ(host.At(1).code, 0xC6);
    EXPECT_EQ(host.At(1).pitch, kTie);
    EXPECT_EQ(host.Row(), 1) << "the cursor stands on the new event";
}

TEST(StepEditorFunctionKeys, LengthsWithShiftAndCtrl) {
    struct Case {
        int key; // 0 for F1
        int held;
        int code;  // expected code, or -1 when unchanged
        int pitch; // expected pitch, or -1 when unchanged
    };
    const Case cases[] = {
        {0, kNone, 0xC0, -1},          {4, kNone, 0xC4, -1},  {7, kNone, 0xC9, -1},
        {8, kNone, 0xC7, -1},          {9, kNone, 0xC8, -1},  {10, kNone, -1, kTie},
        {11, kNone, -1, kRest},        {0, kShift, 0xCA, -1}, {4, kCtrl, 0xCE, -1},
        {7, kShift | kCtrl, 0xD1, -1}, {8, kShift, -1, -1},   {10, kShift, -1, -1},
        {11, kCtrl, -1, -1},           {12, kNone, 0xC0, -1}, {13, kNone, 0xCB, -1},
        {19, kNone, 0xD1, -1},         {22, kNone, -1, -1},   {23, kShift, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "F" << c.key + 1 << " held " << c.held);
        FakeEditorHost host;
        host.SetEvents({{0xC2, 60}, {0xC2, 60}});
        host.Place(0, 2);
        host.Type("E");
        EXPECT_EQ(host.Press(vk::F1 + c.key, c.held), 0);
        EXPECT_EQ(host.At(0).code, c.code < 0 ? 0xC2 : c.code);
        EXPECT_EQ(host.At(0).pitch, c.pitch < 0 ? 60 : c.pitch) << "typed name is dropped";
        EXPECT_EQ(host.Pending(), "");
        EXPECT_EQ(host.Row(), 1);
        EXPECT_EQ(host.song.count, 2);
    }
}

TEST(StepEditorFunctionKeys, EndRow_LengthAddsEventTieAddsNothing) {
    FakeEditorHost host;
    host.SetEvents({{0xC2, 60}});
    host.Place(1, 0);
    host.Press(vk::F1 + 10);
    EXPECT_EQ(host.song.count, 1);
    EXPECT_EQ(host.Row(), 1);
    host.Press(vk::F1 + 6);
    ASSERT_EQ(host.song.count, 2);
    EXPECT_EQ(host.At(1).code, 0xC6);
    EXPECT_EQ(host.At(1).pitch, kTie);
    EXPECT_EQ(host.Row(), 2);

    // A key that changes nothing still drops the typed code, and its row is repainted.
    host.Type("c4");
    host.invalidated.clear();
    host.Press(vk::F1 + 8, kShift);
    EXPECT_EQ(host.song.count, 2);
    EXPECT_EQ(host.Pending(), "");
    EXPECT_NE(std::find(host.invalidated.begin(), host.invalidated.end(), std::pair(2, false)),
              host.invalidated.end());
}

TEST(StepEditorPiano, EndRowKeysCopyLastEvent) {
    FakeEditorHost host;
    host.UsePianoInput(true);
    host.Place(0, 2);
    EXPECT_EQ(host.OnChar('z'), 1);
    ASSERT_EQ(host.song.count, 1);
    EXPECT_EQ(host.At(0).code, 0xC0);
    EXPECT_EQ(host.At(0).pitch, 51);
    EXPECT_EQ(host.Row(), 1);
    EXPECT_EQ(host.OnChar('X'), 1);
    ASSERT_EQ(host.song.count, 2);
    EXPECT_EQ(host.At(1).code, 0xC0);
    EXPECT_EQ(host.At(1).pitch, 53);

    // A new length and octave on the last event carry over to the next key.
    host.song.events[1] = {0, 0xC6, 63}; // C 5, eighth
    EXPECT_EQ(host.OnChar('c'), 1);
    ASSERT_EQ(host.song.count, 3);
    EXPECT_EQ(host.At(2).code, 0xC6);
    EXPECT_EQ(host.At(2).pitch, 67);
    EXPECT_EQ(host.Row(), 3);
}

TEST(StepEditorPiano, OctaveTypedBetweenKeysAndClamp) {
    FakeEditorHost host;
    host.UsePianoInput(true);
    host.SetEvents({{0xC4, 87}, {0xC4, 51}});
    host.Place(0, 2);
    EXPECT_EQ(host.OnChar('m'), 1);
    EXPECT_EQ(host.At(0).pitch, 95) << "B 7 is above the highest note";
    EXPECT_EQ(host.OnChar('6'), 1);
    EXPECT_EQ(host.OnChar('v'), 1) << "the typed octave is applied before the key";
    EXPECT_EQ(host.At(1).pitch, 12 * 6 + 5 + 3);

    host.Place(0, 0); // outside the name column the letters are only hexadecimal
    EXPECT_EQ(host.OnChar('c'), 1);
    EXPECT_EQ(host.OnChar('z'), 0);
    EXPECT_EQ(host.Pending(), "c");
}

TEST(StepEditorDispatch, AltUnboundAndBadIdsArePassedOn) {
    FakeEditorHost host;
    host.Fill(5);
    host.Place(3, 0);
    EXPECT_EQ(host.Press(vk::Up, kAlt), 0);
    EXPECT_EQ(host.Press(vk::F1 + 4, kAlt), 0);
    for (int key : {vk::Home, vk::End, vk::Tab, 0x41, 0x31, 0x08})
        EXPECT_EQ(host.Press(key), 0) << key;
    EXPECT_EQ(host.Press(vk::Up, kShift | kCtrl), 0);
    EXPECT_TRUE(host.moves.empty());
    EXPECT_EQ(host.At(0).code, 0xC4);

    host.settings.bindings[0][0] = 2; // Home: to the end row
    EXPECT_EQ(host.Press(vk::Home), 1);
    EXPECT_EQ(host.Row(), 5);
    host.settings.bindings[0][0] = 99; // a corrupt stored id is no function
    EXPECT_EQ(host.Press(vk::Home), 0);
    host.settings.bindings[0][0] = -1;
    EXPECT_EQ(host.Press(vk::Home), 0);
    EXPECT_EQ(host.Row(), 5);
}

TEST(StepEditorLimits, FullTableRefusesAdditionsKeysStillMove) {
    FakeEditorHost host;
    host.Fill(kMaxEvents);
    const Song before = host.song;
    host.Place(kMaxEvents, 0);
    EXPECT_EQ(host.Press(vk::Insert), 0);
    EXPECT_EQ(host.Press(vk::Delete), 0) << "no event on the end row";
    EXPECT_EQ(host.Press(vk::F1 + 4), 0);
    EXPECT_EQ(host.Row(), kMaxEvents);
    EXPECT_EQ(host.moves.back(), kMaxEvents + 1);
    host.Type("d0");
    host.Press(vk::Return);
    host.UsePianoInput(true);
    host.Place(kMaxEvents, 2);
    host.OnChar('z');
    host.EnterRecordedPitch(40);
    EXPECT_EQ(host.song, before) << "the last event must not take what the end row was given";
    EXPECT_EQ(host.modifiedMarks, 0);

    host.Place(kMaxEvents - 1, 0);
    EXPECT_EQ(host.Press(vk::Insert), 0);
    EXPECT_EQ(host.Press(vk::Delete), 1);
    EXPECT_EQ(host.song.count, kMaxEvents - 1);
    EXPECT_EQ(host.Press(vk::Insert), 1) << "insert on the end row appends";
    EXPECT_EQ(host.song.count, kMaxEvents);
}

TEST(StepEditorValues, StepsClampAtBoundsRestsAndTies) {
    struct Case {
        int column;
        int before;
        int key;
        int after;
    };
    const Case cases[] = {
        {0, 0xDF, vk::Prior, 0xDF}, {0, 0xC4, vk::Prior, 0xC5}, {0, 0xC0, vk::Next, 0xC0},
        {1, 95, vk::Prior, 95},     {1, 60, vk::Next, 59},      {2, kRest, vk::Prior, 24},
        {2, kRest, vk::Next, 24},   {1, kTie, vk::Prior, 95},   {1, kTie, vk::Next, 95},
        {1, 1, vk::Next, kRest},    {1, 1, vk::Prior, 24},      {1, 10, vk::Next, 24},
        {1, 24, vk::Next, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "column " << c.column << " from " << c.before);
        FakeEditorHost host;
        host.SetEvents({{0xC4, 51}});
        host.Place(0, c.column);
        if (c.column == 0)
            host.song.events[0].code = uint8_t(c.before);
        else
            host.song.events[0].pitch = uint8_t(c.before);
        host.Type("  ");
        EXPECT_EQ(host.Press(c.key), 1);
        EXPECT_EQ(c.column == 0 ? host.At(0).code : host.At(0).pitch, c.after);
        EXPECT_EQ(host.Pending(), "") << "a value step drops typed text";
        EXPECT_EQ(host.modifiedMarks, c.before == c.after ? 0 : 1);
        EXPECT_GE(host.redraws, 1);
    }
    FakeEditorHost host;
    host.Place(0, 1);
    EXPECT_EQ(host.SetCellValue(false, 1, -1), 0) << "the end row holds no event";
    EXPECT_EQ(host.Press(vk::Prior), 1);
    EXPECT_EQ(host.song.count, 0);
}

TEST(StepEditorInsertDelete, InsertThenDeleteRestoresSong) {
    FakeEditorHost host;
    host.Place(0, 0);
    EXPECT_EQ(host.Press(vk::Insert), 1);
    ASSERT_EQ(host.song.count, 1);
    EXPECT_EQ(host.At(0).code, 0xC0);
    EXPECT_EQ(host.At(0).pitch, kTie);
    EXPECT_EQ(host.Row(), 0);

    host.SetEvents({{0xC0, 40}, {0xC4, 51}, {0xC6, 70}});
    const Song before = host.song;
    host.Place(1, 2);
    host.Type("E");
    const int updates = host.scrollRangeUpdates;
    EXPECT_EQ(host.Press(vk::Insert), 1);
    EXPECT_EQ(host.Pending(), "");
    ASSERT_EQ(host.song.count, 4);
    EXPECT_EQ(host.At(1).pitch, 51) << "the typed name is dropped, not applied";
    EXPECT_EQ(host.At(2).pitch, 51);
    EXPECT_EQ(host.At(3).pitch, 70);
    EXPECT_EQ(host.Row(), 1);
    EXPECT_EQ(host.Press(vk::Delete), 1);
    EXPECT_EQ(host.song, before);
    EXPECT_EQ(host.scrollRangeUpdates, updates + 2);
    EXPECT_EQ(host.modifiedMarks, 3);

    host.Place(3, 0);
    EXPECT_EQ(host.Press(vk::Delete), 0);
    EXPECT_EQ(host.song, before);
}

TEST(StepEditorCursor, ColumnsWrapBetweenRows) {
    FakeEditorHost host;
    host.Fill(6);
    host.Place(0, 0);
    EXPECT_EQ(host.Press(vk::Left), 1);
    EXPECT_EQ(host.Row(), 0);
    EXPECT_EQ(host.Column(), 0);

    host.Place(5, 0);
    host.Press(vk::Left);
    EXPECT_EQ(host.Row(), 4);
    EXPECT_EQ(host.Column(), 2);
    EXPECT_EQ(host.editor.CursorCell().width, 3);
    host.Press(vk::Right);
    EXPECT_EQ(host.Row(), 5);
    EXPECT_EQ(host.Column(), 0);
    EXPECT_EQ(host.editor.CursorCell().position, 4);

    host.Place(6, 1);
    host.Press(vk::Right);
    EXPECT_EQ(host.Column(), 1) << "no column moves right of the end row";
    host.Press(vk::Left);
    host.Press(vk::Left);
    EXPECT_EQ(host.Row(), 5);
    EXPECT_EQ(host.Column(), 2);
}

TEST(StepEditorCursor, RowAndPageMovesClamp) {
    FakeEditorHost host;
    host.Fill(40);
    host.Place(5, 0);
    host.Press(vk::Up, kShift);
    EXPECT_EQ(host.Row(), 0);
    host.Place(5, 0);
    host.Press(vk::Down, kShift);
    EXPECT_EQ(host.Row(), 25);
    host.Press(vk::Down, kCtrl);
    EXPECT_EQ(host.Row(), 40);
    host.Press(vk::Down);
    EXPECT_EQ(host.Row(), 40);
    host.Press(vk::Up, kCtrl);
    EXPECT_EQ(host.Row(), 0);
    host.Press(vk::Up);
    EXPECT_EQ(host.Row(), 0);

    host.Fill(10);
    host.Place(5, 0);
    host.Press(vk::Down, kShift);
    EXPECT_EQ(host.Row(), 10);
}

TEST(StepEditorCursor, BarMovesInFourFour) {
    FakeEditorHost host;
    host.Fill(10, 0xC4); // quarters: bars start at rows 0, 4 and 8; the end row is in bar 2
    const std::pair<int, int> nextBar[] = {{0, 4}, {1, 4}, {4, 8}, {8, 10}, {10, 10}};
    for (const auto& [from, to] : nextBar) {
        host.Place(from, 0);
        EXPECT_EQ(host.Press(vk::Right, kShift), 1);
        EXPECT_EQ(host.Row(), to) << "next bar from " << from;
    }
    const std::pair<int, int> previousBar[] = {{6, 4}, {4, 0}, {0, 0}, {10, 8}, {9, 8}};
    for (const auto& [from, to] : previousBar) {
        host.Place(from, 0);
        EXPECT_EQ(host.Press(vk::Left, kShift), 1);
        EXPECT_EQ(host.Row(), to) << "previous bar from " << from;
    }

    // Pending text is applied before the move.
    host.Place(1, 0);
    host.Type("c2");
    host.Press(vk::Right, kShift);
    EXPECT_EQ(host.At(1).code, 0xC2);
    EXPECT_EQ(host.Row(), 3);
    EXPECT_EQ(host.modifiedMarks, 1);
}

TEST(StepEditorCursor, BarMovesInSixEightAndOverHeldNotes) {
    FakeEditorHost host;
    host.SetTimeSignature(6, 2); // 6/8: three quarters a bar
    host.Fill(7, 0xC4);
    const std::pair<int, int> nextBar[] = {{0, 3}, {3, 6}, {5, 6}, {6, 7}};
    for (const auto& [from, to] : nextBar) {
        host.Place(from, 0);
        host.Press(vk::Right, kShift);
        EXPECT_EQ(host.Row(), to) << "next bar from " << from;
    }
    const std::pair<int, int> previousBar[] = {{7, 6}, {6, 3}, {4, 3}, {3, 0}};
    for (const auto& [from, to] : previousBar) {
        host.Place(from, 0);
        host.Press(vk::Left, kShift);
        EXPECT_EQ(host.Row(), to) << "previous bar from " << from;
    }

    // 2/4 with a whole note held across bar 1: no event starts in that bar.
    host.SetTimeSignature(2, 1);
    host.SetEvents({{0xC4, 51}, {0xC0, 53}, {0xC4, 55}, {0xC4, 56}});
    host.Place(2, 0);
    host.Press(vk::Left, kShift);
    EXPECT_EQ(host.Row(), 0);
    host.Place(1, 0);
    host.Press(vk::Right, kShift);
    EXPECT_EQ(host.Row(), 2) << "first event at or after the start of bar 1";
}

// The song's own bars win over the settings': 3/4 with a quarter's upbeat.
TEST(StepEditorCursor, BarMovesFollowTheSongsTimeSignatureAndPickup) {
    FakeEditorHost host;
    host.Fill(8, 0xC4);
    host.song.music = {std::nullopt, TimeSignature{3, 4}, 480, {}};
    const std::pair<int, int> nextBar[] = {{0, 1}, {1, 4}, {3, 4}, {4, 7}};
    for (const auto& [from, to] : nextBar) {
        host.Place(from, 0);
        host.Press(vk::Right, kShift);
        EXPECT_EQ(host.Row(), to) << "next bar from " << from;
    }
    const std::pair<int, int> previousBar[] = {{5, 4}, {4, 1}, {1, 0}};
    for (const auto& [from, to] : previousBar) {
        host.Place(from, 0);
        host.Press(vk::Left, kShift);
        EXPECT_EQ(host.Row(), to) << "previous bar from " << from;
    }
}

TEST(StepEditorRecording, RecordedPitchIsWholeAndUnclamped) {
    FakeEditorHost host;
    host.SetEvents({{0xC6, 51}});
    host.Place(1, 2);
    host.EnterRecordedPitch(1);
    ASSERT_EQ(host.song.count, 2);
    EXPECT_EQ(host.At(1).code, 0xC6);
    EXPECT_EQ(host.At(1).pitch, 1);
    EXPECT_EQ(host.Row(), 2);
    host.Place(0, 1);
    host.EnterRecordedPitch(95);
    EXPECT_EQ(host.At(0).pitch, 95);
    EXPECT_EQ(host.Row(), 1);
    EXPECT_EQ(host.modifiedMarks, 3); // the added event, then each pitch
    host.EnterRecordedPitch(0);
    host.EnterRecordedPitch(96);
    EXPECT_EQ(host.At(1).pitch, 1) << "values that are no note are ignored";
    EXPECT_EQ(host.Row(), 1);
}

TEST(StepEditorModified, OnlyChangesMarkTheSong) {
    FakeEditorHost host;
    host.Fill(4);
    host.Place(1, 0);
    for (int key : {vk::Down, vk::Up, vk::Right, vk::Left, vk::Return, vk::Escape})
        host.Press(key);
    host.Press(vk::Down, kShift);
    host.Press(vk::Right, kShift);
    host.Type("c4");
    host.Press(vk::Escape);
    EXPECT_EQ(host.modifiedMarks, 0);

    host.Place(1, 0);
    host.Type("c6");
    host.Press(vk::Return);
    EXPECT_EQ(host.modifiedMarks, 1);
    host.Press(vk::F1 + 11);
    EXPECT_EQ(host.modifiedMarks, 2);
}
