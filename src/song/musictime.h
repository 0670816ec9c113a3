// Event codes and musical time: 480 ticks per quarter note, durations, bars and beats,
// note names, the tempo byte and the conversion of a song into timed MIDI messages.
#pragma once

#include "song.h"

#include <array>
#include <cstdint>
#include <vector>

constexpr int kTicksPerQuarter = 480;
constexpr int kTicksPerWhole = 1920;

/// Where the bars of a song lie: its time signature and the ticks of its pickup bar, which
/// is bar 0 and ends where the first whole bar (bar 1) begins.
struct Meter {
    TimeSignature signature;
    int pickup = 0; // 0, or shorter than a bar
};

struct BeatSplit {
    int beats = 0;
    int ticks = 0;
};

struct BarBeatTick {
    int bar = 0;
    int beat = 0; // counted from 0; the list shows beat + 1
    int tick = 0;
};

/// Length in ticks of a duration code; 0 for a code outside the table.
int GetDurationTicks(uint8_t code);

int GetTicksPerBeat(const TimeSignature& signature);
int GetTicksPerBar(const TimeSignature& signature);
BeatSplit SplitBeats(int ticks, const TimeSignature& signature);
BarBeatTick SplitBarBeat(uint32_t tick, const TimeSignature& signature);
/// With a pickup, bar 0 is the pickup and its beats are the last ones of a whole bar.
BarBeatTick SplitBarBeat(uint32_t tick, const Meter& meter);
/// The first tick of the bar that holds `tick`.
uint32_t BarStartTick(uint32_t tick, const Meter& meter);

/// Whether a song can hold a time signature: 1 to 99 beats of a half, quarter, eighth or
/// sixteenth note.
bool IsSongTimeSignature(const TimeSignature& signature);
/// The song's own time signature, else `fallback` (the settings'), and its pickup while that
/// is shorter than a bar.
Meter SongMeter(const Song& song, const TimeSignature& fallback);

/// Three characters: note, sharp or blank, octave character ("C 4" for pitch 51).
std::array<char, 3> GetNoteName(uint8_t pitch);

/// Semitone to staff letter (low four bits: 8 C .. 14 B) and accidental (high bits: 1 a
/// sharp): black keys are spelt sharp, on the staff panel and in a score alike.
extern const std::array<uint8_t, 12> kLetterTable;

/// Quarter notes per minute of a tempo byte: 2 x byte - 132.
int TempoFromByte(uint8_t tempoByte);
/// The byte for a tempo; odd tempos fall to the even one below.
uint8_t TempoToByte(int tempo);

/// Fills the start tick of every event and of the end position.
void ComputeStartTicks(Song& song);

/// Gathers the sounding unit that starts at `index`: the lengths of a run of ties and the
/// event that ends it. Returns the unit's length and leaves `index` on that last event,
/// or on the event count when the song ends inside the run (trailing ties sound nothing).
int GatherTiedUnit(const Song& song, int& index);

/// One timed MIDI short message: status in bits 0-7, data 1 in 8-15, data 2 in 16-23.
struct PlayEvent {
    int32_t tick = 0;
    uint32_t message = 0;
    bool operator==(const PlayEvent&) const = default;
};

/// Playback releases each note this many ticks before its unit ends.
constexpr int kReleaseGapTicks = 5;

/// Note-on (velocity 127) and note-off (kReleaseGapTicks before the next unit) on channel 1 for
/// every sounding unit; ties merge into the following event.
std::vector<PlayEvent> BuildPerformance(const Song& song);
/// The same for `rowCount` rows from `firstRow` on, as if they were the whole song: ticks count
/// from the first row's start, a tie run into the first row sounds from there, trailing ties
/// sound nothing. The rows before are not looked at. Both are clamped to the song.
std::vector<PlayEvent> BuildPerformance(const Song& song, int firstRow, int rowCount);

constexpr uint32_t PackShortMessage(uint8_t status, uint8_t data1, uint8_t data2) {
    return uint32_t(status) | (uint32_t(data1) << 8) | (uint32_t(data2) << 16);
}
