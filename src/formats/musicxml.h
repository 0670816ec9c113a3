// MusicXML: the song written as a score (score-partwise, one part, laid out by notation.h)
// and a score's melody read back into a song; plain or compressed (.mxl, a zip archive).
#pragma once

#include "song/musictime.h"
#include "song/song.h"

#include <QByteArray>

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

enum class MusicXmlError {
    None,
    TooLarge,         // bigger than kMaxMusicXmlBytes: the file or an entry of the archive
    Malformed,        // not well-formed XML
    DeclaresEntities, // a document type that declares entities (an expansion bomb, maybe)
    WrongRoot,        // the root is not a score
    Timewise,         // score-timewise, which is not read
    NoParts,          // a score without a part
    NoSuchPart,       // the part asked for is not there
    NoNotes,          // the part holds no note
    NoNotesInRange,   // every note of the part lies outside the keys a song holds
    NotZip,           // a compressed file that is not a zip archive
    NoScoreInZip,     // no rootfile in META-INF/container.xml, or the file it names is missing
    TooComplex,       // elements nested too deeply, or too many attributes to read
    Cancelled,        // stopped on request
    NotesBeyondSong,  // the part's first note lies beyond what a song holds, or lasts longer
};

struct MusicXmlReadResult {
    MusicXmlError error = MusicXmlError::None;
    int64_t line = 0; // where a malformed document failed, from 1; 0 when not known
};

/// Files, and entries of an archive, above this are refused before they are read.
constexpr int64_t kMaxMusicXmlBytes = int64_t(32) << 20;

/// The bytes of a score-partwise MusicXML 4.0 file: the title (cp932 in the song) as work and
/// movement title, the tempo as a metronome mark and sound tempo, the song's time signature
/// (else `signature`), its key (else the one its notes are in) with the notes spelt by it, a
/// pickup as an implicit bar 0, a clef for the melody's range (a grand staff when it needs
/// both) and the bars of LayOutMeasures. The
/// events themselves go along in the identification, so that KesV reads back the very same
/// events while the notes still sound as written.
QByteArray EncodeMusicXml(const Song& song, const TimeSignature& signature);

/// One part of a score, for the choice of the part to import.
struct MusicXmlPart {
    std::string name;  // the part name, UTF-8
    int notes = 0;     // pitched notes, chords and grace notes included
    int lowestKey = 0; // MIDI keys, 0 to 127
    int highestKey = 0;
};

/// What an import read and what it had to leave out.
struct MusicXmlImport {
    Song song;              // the melody with its title in cp932 and its tempo
    std::string title;      // the work title, else the movement title, UTF-8
    int part = 0;           // the part read, from 0
    int parts = 0;          // how many the score has
    int graceNotes = 0;     // dropped
    int chordNotes = 0;     // notes under a chord's top note, dropped
    int otherVoices = 0;    // notes of the part's other voices, left out
    int unpitched = 0;      // percussion notes, taken as rests
    int outOfRange = 0;     // notes whose key a song cannot hold, taken as rests
    int overlapping = 0;    // notes that sound wholly under an earlier note of the voice, dropped
    int overlapsCut = 0;    // notes that start under an earlier one, begun where it ends
    int withoutLength = 0;  // notes without a duration (or one too short to count), dropped
    int lengthsCut = 0;     // durations longer than a song can hold, cut to that
    int lengthsRounded = 0; // lengths no sum of length codes gives exactly
    bool truncated = false; // the melody had more than kMaxEvents events
    int tempoChangesFolded = 0;
    int timeNumerator = 0; // the first time signature; 0: none
    int timeDenominator = 0;
    bool keptEvents = false;  // the events a KesV export carried, confirmed by its notes
    bool keyDetected = false; // the score has no key: the song's is found from its notes
};

/// The parts of a score. Answers Cancelled soon after `stop` is requested.
MusicXmlReadResult ListMusicXmlParts(const QByteArray& xml, std::vector<MusicXmlPart>& out,
                                     const std::stop_token& stop = {});

/// Reads part `part` (from 0) of a score: the voice of its first note; a chord gives its top
/// note, grace notes are dropped, gaps become rests, the lengths the nearest sums of length
/// codes; what was left out or changed is counted. The song takes the part's first key (else
/// the key of its notes), the first time signature and an implicit first bar as its pickup. A
/// document type that declares entities is refused before anything is expanded. `out` is
/// replaced only on success.
MusicXmlReadResult DecodeMusicXml(const QByteArray& xml, MusicXmlImport& out, int part = 0,
                                  const std::stop_token& stop = {});

/// A compressed MusicXML file holding `xml` as its score; empty when it cannot be packed.
QByteArray PackMxl(const QByteArray& xml);

/// The score of a compressed file: the first rootfile META-INF/container.xml names. Entries
/// above kMaxMusicXmlBytes are refused.
MusicXmlReadResult UnpackMxl(const QByteArray& archive, QByteArray& xml);

/// Whether bytes start as a zip archive does.
bool LooksLikeZip(const QByteArray& bytes);
