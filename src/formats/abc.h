// ABC notation: the tunes of a text listed, one tune's melody read into a song, and a song
// written as a tune. The text is UTF-8 (older Latin-1 titles are taken as Latin-1).
#pragma once

#include "song/musictime.h"
#include "song/song.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// A key signature: fifths from -7 (seven flats) to 7 (seven sharps), major or minor.
using AbcKey = SongKey; // K: as fifths and mode, the song's own key

/// A metre as a tune writes it; the symbols C and C| stand for 4/4 and 2/2.
struct AbcMeter {
    enum class Symbol { None, Common, Cut };
    int numerator = 4; // 0: free metre (M:none)
    int denominator = 4;
    Symbol symbol = Symbol::None;
    bool operator==(const AbcMeter&) const = default;
};

enum class AbcError {
    None,
    NoTune,            // the text holds no tune
    NoSuchTune,        // the tune asked for is not there
    NoNotes,           // the tune (its first voice) has no note
    UnexpectedChar,    // a character that has no meaning where it stands
    UnexpectedBracket, // a ']' that closes nothing
    UnclosedChord,     // a '[' chord without its ']' on the line
    UnclosedGrace,     // a '{' without its '}' on the line
    UnclosedText,      // a '"' chord or annotation, a '!' decoration or an inline field not closed
    BadLength,         // a length of zero or one too fine to count
    BadTuplet,         // a tuplet of fewer than two notes or in no time
    BadMeter,          // an M: field that is not a metre
    BadUnit,           // an L: field that is not a note length
    BadKey,            // a K: field that names no key
};

/// An error with the place it was found: line and column from 1, the column in characters.
struct AbcReadResult {
    AbcError error = AbcError::None;
    int line = 0;
    int column = 0;
};

/// What a reading changed, left out or guessed, to be told to the user.
struct AbcRemarks {
    int chords = 0;          // chords read as their top note
    int graceNotes = 0;      // grace notes dropped
    int decorations = 0;     // decorations ignored
    int annotations = 0;     // guitar chords and text annotations ignored
    int otherVoices = 0;     // voices (and voice overlays) left out besides the first
    int lyricLines = 0;      // lines of words left out
    int splitLengths = 0;    // notes and rests that took tied codes: KesV has no one code for them
    int roundedLengths = 0;  // lengths no sum of codes gives exactly, taken to the nearest
    int outOfRange = 0;      // notes whose key a song cannot hold, taken as rests
    int microtones = 0;      // microtonal accidentals, sounding their whole semitones only
    int repeatsUnfolded = 0; // repeated passages and endings written out as played
    int tempoChanges = 0;    // tempo changes after the first tempo, ignored
    int meterChanges = 0;    // metre changes after the first metre, ignored for the song
    int keyChanges = 0;      // key changes after the first key, ignored for the song
    bool modeApproximated = false; // a mode (dorian...) given as the key of its signature
    bool oddSignature = false;     // explicit accidentals that no key signature has
    bool tempoClamped = false;     // a tempo beyond the song's range (60 to 378)
    bool truncated = false;        // the tune had more than kMaxEvents events
};

/// One tune read from a text.
struct AbcTune {
    int number = 0;    // X:
    std::string title; // the first T:, UTF-8
    int tempo = 120;   // quarter notes per minute as written (Q:), before the tempo byte
    AbcKey key;        // K:
    AbcMeter meter;    // M:
    int pickup = 0;    // ticks of a first bar shorter than the metre's; 0: none
    Song song;         // the melody and the tempo byte; its title is left empty (cp932 above)
    AbcRemarks remarks;
};

/// A tune of a text, for the choice of the tune to read.
struct AbcTuneInfo {
    int number = 0;     // X:
    std::string title;  // the first T:, UTF-8
    std::string key;    // the K: field as written
    std::string meter;  // the M: field as written
    int line = 0;       // the X: line, from 1
    int events = 0;     // events of the song it gives; 0 when it gives none
    int64_t ticks = 0;  // length of that song
    AbcReadResult read; // why it gives none
};

/// The tunes of a text in their order, each read through once for its length.
std::vector<AbcTuneInfo> ListAbcTunes(std::string_view text);

/// Reads tune `index` (from 0, in the order ListAbcTunes gives) of a text. A text without an X:
/// line is one tune. The first voice is read; a chord gives its top note; grace notes,
/// decorations, annotations and words are left out; repeats, endings and parts are played out
/// in order; the lengths become length codes (tied codes where no single one fits). The key,
/// metre and tempo are the first ones. `out` is replaced only on success.
AbcReadResult DecodeAbc(std::string_view text, AbcTune& out, int index = 0);

/// The index of the first tune numbered `number` (X:), or -1.
int FindAbcTune(std::string_view text, int number);

/// Whether a text is an ABC tune: its first line that is not blank is an X: field.
bool LooksLikeAbc(std::string_view text);

/// How a song is written as ABC.
struct AbcWriteOptions {
    std::string title;       // UTF-8; the song's own title is cp932 and converted above
    int number = 1;          // X:
    TimeSignature signature; // bar lines; a 4/4 or 2/2 metre written as C or C| on request
    AbcMeter::Symbol symbol = AbcMeter::Symbol::None;
    int pickup = 0;            // ticks of the first bar, when it is shorter than the others
    std::optional<AbcKey> key; // none: what `detectKey` finds, else C major
    std::function<std::optional<AbcKey>(const Song&)> detectKey;
    int firstRow = 0; // the events written: these rows (clamped to the song)
    int rowCount = kMaxEvents;
};

/// The tune: X:, T:, M:, the L: that writes the notes shortest, Q:1/4=tempo, K:, then the bars,
/// notes spelt in the key with accidentals only where the bar needs them, notes tied across bar
/// lines, triplets and other tuplets, a line break every few bars. When the notes alone would
/// not read back as the very same events, the events follow in %%kesv-events lines, which
/// DecodeAbc takes as long as the notes still sound the same.
std::string EncodeAbc(const Song& song, const AbcWriteOptions& options = {});
