// A Standard MIDI File read into a song: one melody line taken from the file's notes, its
// lengths quantised to sums of the song's length codes.
#pragma once

#include "smf.h"
#include "song.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct MidiImport {
    Song song;               // the melody; its title is left empty
    std::string title;       // the track name as stored in the file (UTF-8 or anything else)
    int notesOutOfRange = 0; // notes whose key a song cannot hold
    int notesTooShort = 0;   // notes that vanish when the line is quantised
    bool truncated = false;  // the melody had more than kMaxEvents events
};

/// Reads a whole file. The melody is the track with the most notes (format 1), then the
/// channel with the most notes in it; overlapping notes keep the highest; gaps become
/// rests; lengths become the nearest sums of the length codes with the running position
/// kept exact or within half a 128th. `out` is replaced only on success.
MidiReadResult DecodeMidiFile(std::span<const uint8_t> bytes, MidiImport& out);

/// The length codes, longest first, whose lengths add up to exactly `ticks`, in as few
/// codes as can be found; empty when no sum of lengths gives `ticks` (or for 0).
std::vector<uint8_t> SplitIntoCodes(int ticks);
