// Standard MIDI Files at the level of bytes: chunks, events and variable-length numbers. A
// format 0 file is written from one track's events; a file of format 0 or 1 is read into the
// few meta events of each track, in the file's own ticks, as leniently as other readers take
// them, and its notes are read again from its bytes when they are wanted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

enum class MidiReadError {
    None,
    NotMidi,           // no "MThd" at the start
    BadHeader,         // header too short, unknown format, no tracks, division 0 or a
                       // frame rate that is none
    TrackMissing,      // the file ends before all the tracks the header announces
    ChunkPastEnd,      // a chunk's length runs past the end of the file
    BadEvent,          // a data byte with no status before it, or an unknown status byte
    EventPastEnd,      // an event runs past the end of its track
    UnsupportedFormat, // format 2: independent patterns, no single timeline
    NoNotes,           // no note a melody can be taken from (drums do not count)
    NoSuchTrack,       // the track asked for holds no melody candidate
    NoNotesInRange,    // every note of the melody lies outside the keys a song holds
    NotesBeyondSong,   // the melody's first note lies beyond what a song holds, or lasts longer
    Cancelled,         // stopped on request
};

struct MidiReadResult {
    MidiReadError error = MidiReadError::None;
    int track = -1;    // the track (from 1) where the error was found, or -1
    size_t offset = 0; // the byte offset in the file where it was found
};

/// A note-on (velocity above 0) or note-off at its absolute tick.
struct SmfNoteEvent {
    int64_t tick;
    int channel;
    int key;
    bool on;
};

struct SmfTempo {
    int64_t tick;
    uint32_t microsPerQuarter;
};

struct SmfTrack {
    std::span<const uint8_t> events;       // the track's bytes, for CSmfNoteReader
    int64_t tickScale = 1;                 // file ticks a tick of the events
    std::array<int, 16> notesPerChannel{}; // note-ons
    std::array<int, 16> programs;          // the first program change of each channel, or -1
    int64_t endTick = 0;                   // the end of track event's, or the last event's
    std::vector<SmfTempo> tempos;          // in the order of the file
    int timeNumerator = 0;                 // the first time signature; 0: none
    int timeDenominator = 0;
    int keyFifths = 0; // the first key signature: sharps (above 0) or flats, and its mode
    bool keyMinor = false;
    bool hasKey = false;
    std::string name; // the first track name event, as stored
    bool hasName = false;
    SmfTrack() { programs.fill(-1); }
};

struct SmfFile {
    uint32_t division = 0; // ticks per quarter note
    std::vector<SmfTrack> tracks;
    // What was guessed to read a file that does not keep to the standard.
    bool lastTrackCut = false;     // the last track's declared length ran past the end
    bool extraTracks = false;      // format 0 with more than one track: read as format 1
    bool timeCode = false;         // SMPTE division: read at 120 quarter notes a minute
    bool dropFrameGuessed = false; // 29.97 frames a second taken as 30
};

/// Reads a whole file of format 0 or 1 (chunks of unknown kinds are skipped). Ticks stop at
/// 2^40, far past any song and far from overflow. `out` is filled only on success and refers
/// to `bytes`, which must outlive it. A last track whose length runs past the end is read to
/// the end, a format 0 file with several tracks as format 1, a time-code division in ticks of
/// its frame rate (the flags of SmfFile say so). Answers Cancelled soon after `stop` is
/// requested.
MidiReadResult ReadSmf(std::span<const uint8_t> bytes, SmfFile& out,
                       const std::stop_token& stop = {});

/// The note events of a track ReadSmf read, one at a time in the order of the file, decoded
/// again from its bytes: a file's notes are never held whole.
class CSmfNoteReader {
public:
    explicit CSmfNoteReader(const SmfTrack& track);
    /// The next note event; false at the end of the track.
    bool Next(SmfNoteEvent& event);

private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
    int64_t m_tick = 0;
    int64_t m_tickScale;
    uint8_t m_status = 0;
};

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
