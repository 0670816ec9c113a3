// The song as written notes for a score: note types with dots and tuplet ratios for the
// length codes, bars filled from the events (split at bar lines into tied notes), and the
// sounding units that a score read back must reproduce.
#pragma once

#include "song/musickey.h"
#include "song/musictime.h"
#include "song/song.h"

#include <cstdint>
#include <vector>

enum class NoteType : uint8_t {
    Whole,
    Half,
    Quarter,
    Eighth,
    Sixteenth,
    ThirtySecond,
    SixtyFourth,
    HundredTwentyEighth,
};
constexpr int kNoteTypeCount = 8;

/// One written note value: a type with dots, inside a tuplet of `actual` notes in the time
/// of `normal` ones (1:1 outside a tuplet).
struct NoteValue {
    NoteType type = NoteType::Quarter;
    int dots = 0;
    int actual = 1;
    int normal = 1;
    bool operator==(const NoteValue&) const = default;
    bool IsTuplet() const { return actual != normal; }
};

/// Ticks of an undotted type outside a tuplet (1920 for a whole note).
int PlainTicks(NoteType type);
/// Ticks of a written value; 0 when it does not come out in whole ticks.
int ValueTicks(const NoteValue& value);

/// Written values, tied in this order, that last exactly `ticks`: as few as can be, plain
/// values before dotted ones before tuplets. Every length code's ticks give the code's own
/// written value (two or three tied ones for 1200, 2360 and 600 ticks).
std::vector<NoteValue> NoteValuesOfTicks(int ticks);

/// A key as written with black keys spelt sharp, as on the staff panel of a song without a key.
KeySpelling SpellKey(int key);

/// One written note or rest of a bar.
struct ScoreNote {
    NoteValue value;
    int ticks = 0;
    int key = -1;               // MIDI key; -1 a rest
    bool tiedToNext = false;    // a tie starts here
    bool tiedFromPrior = false; // a tie ends here
    bool measureRest = false;   // a rest filling the whole bar
    bool tupletStart = false;   // the first note under a tuplet bracket
    bool tupletStop = false;    // the last one
};

struct ScoreMeasure {
    std::vector<ScoreNote> notes;
    int ticks = 0; // a whole bar's, or the pickup's
};

/// The song in bars of `signature`: each event in its written value, an event that crosses
/// a bar line split into tied notes, a tie run written as tied notes of the pitch that ends
/// it (as rests when it ends in a rest or with the song), a bar without notes as one
/// whole-bar rest and the last bar filled with rests; runs of six sixteenth triplets on a
/// beat become sextuplets. An empty song is one bar of rest.
/// With a pickup the first bar is as long as the pickup.
std::vector<ScoreMeasure> LayOutMeasures(const Song& song, const Meter& meter);

/// The MIDI key each event is written with (-1: a rest; a tie takes the key of the note its run
/// ends in) and whether it is tied into the next event.
struct WrittenKeys {
    std::vector<int> keys;
    std::vector<bool> tiedOn;
};
WrittenKeys GetWrittenKeys(const Song& song);

/// What a listener hears of a song: a note or a rest with its place and length. Ties merge
/// into the note they end in, neighbouring rests into one rest.
struct SoundingUnit {
    uint32_t start = 0;
    uint32_t length = 0;
    int key = -1; // MIDI key; -1 a rest
    bool operator==(const SoundingUnit&) const = default;
};

/// The sounding units of a song; a tie run that ends in a rest or with the song is a rest.
std::vector<SoundingUnit> SoundingUnits(const Song& song);

/// Whether two lists of units sound the same, except for rests at the end of either.
bool SoundTheSame(std::vector<SoundingUnit> first, std::vector<SoundingUnit> second);

/// The events for one unit read from a score, appended to `song`: one event when the
/// length is a length code, else one event per written piece when each is one and no
/// fewer codes add up, else the fewest codes that add up; a note's events before its last
/// are ties. `pieces` are the lengths of the written notes, in order, adding up to
/// `length`. Returns the ticks appended (another length when none add up: the nearest that
/// does); stops when the song is full and sets `truncated`.
int AppendUnit(Song& song, int length, const std::vector<int>& pieces, int key, bool& truncated);
