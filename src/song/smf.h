// Standard MIDI Files at the level of bytes: chunks, events and variable-length numbers. A
// format 0 file is written from one track's events; a file of format 0 or 1 is read into the
// notes and the few meta events of each track, in the file's own ticks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class MidiReadError {
    None,
    NotMidi,           // no "MThd" at the start
    BadHeader,         // header too short, unknown format, no tracks, division 0
    SmpteDivision,     // time-code division: no ticks per quarter note
    TrackMissing,      // the file ends before all the tracks the header announces
    ChunkPastEnd,      // a chunk's length runs past the end of the file
    BadEvent,          // a data byte with no status before it, or an unknown status byte
    EventPastEnd,      // an event runs past the end of its track
    UnsupportedFormat, // format 2: independent patterns, no single timeline
};

struct MidiReadResult {
    MidiReadError error = MidiReadError::None;
    int track = -1;    // the track (from 1) where the error was found, or -1
    size_t offset = 0; // the byte offset in the file where it was found
};

/// A short English description of a read error.
const char* DescribeMidiError(MidiReadError error);

/// A note-on (velocity above 0) or note-off at its absolute tick.
struct SmfNoteEvent {
    int64_t tick;
    int channel;
    int key;
    bool on;
};

struct SmfTrack {
    std::vector<SmfNoteEvent> notes;       // in the order of the file
    std::array<int, 16> notesPerChannel{}; // note-ons
    int64_t endTick = 0;                   // the end of track event's, or the last event's
    int64_t firstTempoTick = -1;           // -1: no tempo event
    uint32_t firstTempo = 0;               // microseconds per quarter note
    std::string name;                      // the first track name event, as stored
    bool hasName = false;
};

struct SmfFile {
    uint32_t division = 0; // ticks per quarter note
    std::vector<SmfTrack> tracks;
};

/// Reads a whole file of format 0 or 1 (chunks of unknown kinds are skipped). Ticks stop at
/// 2^40, far past any song and far from overflow. `out` is filled only on success.
MidiReadResult ReadSmf(std::span<const uint8_t> bytes, SmfFile& out);

/// Appends a variable-length number (the low 28 bits of `value`).
void PutVariableLength(std::vector<uint8_t>& out, uint32_t value);

/// Appends a meta event of `type` after `delta` ticks.
void PutMetaEvent(std::vector<uint8_t>& track, uint32_t delta, uint8_t type,
                  std::span<const uint8_t> data);

/// Appends a channel message of three bytes (status first, in the low byte) after `delta`.
void PutShortMessage(std::vector<uint8_t>& track, uint32_t delta, uint32_t message);

/// Appends the end of the track after `delta` ticks.
void PutEndOfTrack(std::vector<uint8_t>& track, uint32_t delta);

/// A format 0 file: the header chunk and `track` (its events, ended) as its one track chunk.
std::vector<uint8_t> MakeFormat0File(uint16_t division, std::span<const uint8_t> track);
