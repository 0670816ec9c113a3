// Standard MIDI Files: the song written as a format 0 file (the performance that playback
// sends), and a file of format 0 or 1 read back into a single melody line.
#pragma once

#include "musictime.h"
#include "song.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

/// Ticks per quarter note of the files we write: the song's own, so no tick is rounded.
constexpr int kMidiFileDivision = kTicksPerQuarter;

/// The bytes of a format 0 file: track name `title` (written as given: pass UTF-8), the
/// tempo, the time signature, the notes of BuildPerformance on channel 1 and the end of the
/// track at the end of the song.
std::vector<uint8_t> EncodeMidiFile(const Song& song, const TimeSignature& signature,
                                    const std::string& title);

/// Microseconds per quarter note of a tempo byte, as the tempo meta event holds it.
uint32_t MidiTempoOfByte(uint8_t tempoByte);

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

struct MidiImport {
    Song song;               // the melody; its title is left empty
    std::string title;       // the track name as stored in the file (UTF-8 or anything else)
    int notesOutOfRange = 0; // notes whose key a song cannot hold
    int notesTooShort = 0;   // notes that vanish when the line is quantised
    bool truncated = false;  // the melody had more than kMaxEvents events
};

struct MidiReadResult {
    MidiReadError error = MidiReadError::None;
    int track = -1;    // the track (from 1) where the error was found, or -1
    size_t offset = 0; // the byte offset in the file where it was found
};

/// Reads a whole file. The melody is the track with the most notes (format 1), then the
/// channel with the most notes in it; overlapping notes keep the highest; gaps become
/// rests; lengths become the nearest sums of the length codes with the running position
/// kept exact or within half a 128th. `out` is replaced only on success.
MidiReadResult DecodeMidiFile(std::span<const uint8_t> bytes, MidiImport& out);

/// A short English description of a read error.
const char* DescribeMidiError(MidiReadError error);

/// The length codes, longest first, whose lengths add up to exactly `ticks`, in as few
/// codes as can be found; empty when no sum of lengths gives `ticks` (or for 0).
std::vector<uint8_t> SplitIntoCodes(int ticks);
