// The song held in memory: a title, a tempo byte and the event table, with what the song says
// about its music (key, time signature, pickup) when it says anything.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct SongEvent {
    uint32_t startTick = 0; // derived: ComputeStartTicks after every change of the song
    uint8_t code = 0;       // duration code, 0x60 or above in a valid song
    uint8_t pitch = 0;      // 0 rest, 0xFF tie, 1..0x5F a note (MIDI key pitch + 9)
};

constexpr int kMaxEvents = 999;            // the editor and the reader never go beyond this
constexpr int kEventSlots = 1000;          // one slot more: the end position
constexpr uint8_t kDefaultTempoByte = 126; // 120 quarter notes per minute
constexpr uint8_t kPitchRest = 0x00;
constexpr uint8_t kPitchTie = 0xFF;
// The notes a song holds: pitches 1 to 0x5F, MIDI keys 10 (A#-1) to 104 (G#7).
constexpr uint8_t kLowestPitch = 0x01;
constexpr uint8_t kHighestPitch = 0x5F;
constexpr int kPitchToKey = 9; // a note's MIDI key is its pitch plus this
constexpr int kLowestNoteKey = kLowestPitch + kPitchToKey;
constexpr int kHighestNoteKey = kHighestPitch + kPitchToKey;

constexpr bool IsNotePitch(uint8_t pitch) {
    return pitch >= kLowestPitch && pitch <= kHighestPitch;
}

/// The time signature: beats per bar over the beat unit (2, 4, 8 or 16).
struct TimeSignature {
    int beatsPerBar = 4; // a stored 0 is taken as 1, so no division sees it
    int beatUnit = 4;
    bool operator==(const TimeSignature&) const = default;
};

/// A key signature: fifths from -7 (seven flats) to 7 (seven sharps), major or minor.
struct SongKey {
    int fifths = 0;
    bool minor = false;
    bool operator==(const SongKey&) const = default;
};

/// What a song holds of its music beyond the events. A song without a key is shown and
/// spelt as before there were keys; one without a time signature uses the settings' one.
struct SongMusic {
    std::optional<SongKey> key;
    std::optional<TimeSignature> time;
    int pickup = 0;          // ticks of an incomplete first bar (an upbeat); 0: none
    std::string laterFields; // song file fields of a later version, written back as read
    bool operator==(const SongMusic&) const = default;
};

struct Song {
    std::string title; // cp932 bytes, no terminator
    uint8_t tempo = kDefaultTempoByte;
    std::array<SongEvent, kEventSlots> events{};
    int count = 0; // 0..kMaxEvents; events[count] is the end position
    SongMusic music;

    bool operator==(const Song& other) const;
    bool operator!=(const Song& other) const { return !(*this == other); }
};
