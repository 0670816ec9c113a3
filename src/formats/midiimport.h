// A Standard MIDI File read into a song: one melody line taken from the file's notes, its
// lengths quantised to sums of the song's length codes.
#pragma once

#include "smf.h"
#include "song/song.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

/// One channel of one track that a melody could be taken from. The drums (channel 10) never
/// are one.
struct MelodyCandidate {
    int track = 0;   // from 0, in the file's order
    int channel = 0; // 0 to 15
    int notes = 0;
    int lowestKey = 0; // MIDI keys
    int highestKey = 0;
    int program = -1;      // the channel's first program change in the track, or -1
    std::string trackName; // as stored
    double score = 0;      // higher: more like the tune a listener follows
};

/// Which candidate to take: the best one, or the best one of a track (from 0), or one channel.
struct MelodyChoice {
    int track = -1;
    int channel = -1;
};

struct MidiImport {
    Song song;                  // the melody; its title is left empty
    std::string title;          // the sequence or track name as stored (UTF-8 or anything else)
    MelodyCandidate melody;     // where the melody was taken from
    int candidates = 0;         // how many there were to choose from
    int notesOutOfRange = 0;    // notes whose key a song cannot hold
    int notesTooShort = 0;      // notes that vanish when the line is quantised
    bool truncated = false;     // the melody had more than kMaxEvents events
    int tempoChangesFolded = 0; // tempo changes merged into the song's one tempo
    int timeNumerator = 0;      // the file's first time signature; 0: none
    int timeDenominator = 0;
    bool keyDetected = false;  // the file has no key signature: the song's is found from its notes
    bool lastTrackCut = false; // the guesses of SmfFile
    bool extraTracks = false;
    bool timeCode = false;
    bool dropFrameGuessed = false;
};

/// The melody candidates of a file, best first. A candidate scores for enough notes to be a
/// tune, for sounding one note at a time, for a higher range, and for a track name or an
/// instrument that says melody (a bass or accompaniment name counts against it).
std::vector<MelodyCandidate> ListMelodyCandidates(const SmfFile& file,
                                                  const std::stop_token& stop = {});

/// Reads the candidates of a whole file; NoNotes when there is none.
MidiReadResult ReadMelodyCandidates(std::span<const uint8_t> bytes,
                                    std::vector<MelodyCandidate>& out,
                                    const std::stop_token& stop = {});

/// Reads a whole file. The melody is the chosen candidate (by default the best); overlapping
/// notes keep the highest; gaps become rests; lengths become the nearest sums of the length
/// codes with the running position kept exact or within half a 128th; the tempo is the one
/// that keeps the song's length; the song's key is the file's first key signature (else the key
/// of its notes), its time signature the file's first one. A file without a melody note is
/// refused, naming why (no note, none in a song's range, none within what a song holds). The
/// notes are read from `bytes` as they are needed, never held whole. `out` is replaced only on
/// success; Cancelled soon after `stop` is requested.
MidiReadResult DecodeMidiFile(std::span<const uint8_t> bytes, MidiImport& out,
                              MelodyChoice choice = {}, const std::stop_token& stop = {});

/// A key's name with its octave, middle C being "C4"; "?" for a number that is no MIDI key.
std::string MidiKeyName(int key);

/// Whether a track or sequence name is one that programs give by default ("Track 1",
/// "Untitled", "control track"): no title.
bool IsGenericName(const std::string& name);
