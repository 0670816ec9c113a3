// A song written as an ABC tune.
#include "abc.h"

#include "notation.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>

namespace {

constexpr int kBarsPerLine = 4;
constexpr int kEventsPerLine = 16;

struct WrittenNote {
    NoteValue value;
    int key = -1;           // MIDI key; -1 a rest
    bool tie = false;       // tied to the next note
    int tupletNotes = 0;    // on the first note under a tuplet bracket: how many it spans
    bool beatStart = false; // starts on a beat: a space before it ends the beam
};

struct WrittenBar {
    std::vector<WrittenNote> notes;
};

constexpr NoteValue kSixteenthTriplet{NoteType::Sixteenth, 0, 3, 2};

// Six sixteenth triplets from a beat are a sextuplet; then each run of one ratio and one written
// value gets a bracket (players warn of a tuplet of mixed values), closed once it fills the
// time of `normal` notes.
void MarkTuplets(WrittenBar& bar, const std::vector<int>& positions) {
    auto& notes = bar.notes;
    for (size_t i = 0; i + 6 <= notes.size(); ++i) {
        if (positions[i] % kTicksPerQuarter != 0 ||
            !std::all_of(notes.begin() + long(i), notes.begin() + long(i) + 6,
                         [](const WrittenNote& n) { return n.value == kSixteenthTriplet; }))
            continue;
        for (size_t k = i; k < i + 6; ++k)
            notes[k].value = {NoteType::Sixteenth, 0, 6, 4};
        i += 5;
    }
    WrittenNote* open = nullptr;
    int filled = 0;
    int span = 0;
    for (WrittenNote& note : notes) {
        const NoteValue& value = note.value;
        if (open && !(value == open->value))
            open = nullptr;
        if (!value.IsTuplet())
            continue;
        if (!open) {
            open = &note;
            filled = 0;
            span = ValueTicks({value.type, 0, value.actual, value.normal}) * value.actual;
        }
        ++open->tupletNotes;
        filled += ValueTicks(value);
        if (filled >= span)
            open = nullptr;
    }
}

// The song in bars: the first as long as the pickup when there is one, each event split at
// the bar lines into tied notes, a tie run written as tied notes of the pitch that ends it (as
// rests when it ends in a rest or with the song). The last bar is left as short as it is.
std::vector<WrittenBar> LayOut(const Song& song, const TimeSignature& signature, int pickup) {
    const int perBar = GetTicksPerBar(signature);
    // Beams over a beat, or over three beats of a compound metre (6/8, 9/8, 12/8).
    const bool compound =
        signature.beatsPerBar % 3 == 0 && signature.beatsPerBar > 3 && signature.beatUnit >= 8;
    const int perBeat = GetTicksPerBeat(signature) * (compound ? 3 : 1);
    const int firstBar = pickup > 0 && pickup < perBar ? pickup : perBar;
    const int count = song.count;
    const auto [keys, tiedOn] = GetWrittenKeys(song);
    std::vector<WrittenBar> bars;
    std::vector<std::vector<int>> positions; // each note's place in its bar, counted as beats
    int64_t position = 0;
    const auto barOf = [&](int64_t at) {
        return at < firstBar ? int64_t(0) : 1 + (at - firstBar) / perBar;
    };
    const auto barEnd = [&](int64_t bar) { return firstBar + bar * perBar; };
    for (int i = 0; i < count; ++i) {
        int length = GetDurationTicks(song.events[size_t(i)].code);
        const int key = keys[size_t(i)];
        while (length > 0) {
            const int64_t bar = barOf(position);
            const int piece = int(std::min<int64_t>(length, barEnd(bar) - position));
            if (size_t(bar) >= bars.size()) {
                bars.resize(size_t(bar) + 1);
                positions.resize(size_t(bar) + 1);
            }
            // A pickup holds the last beats of a bar.
            int64_t inBar = position - (bar == 0 ? firstBar - perBar : barEnd(bar - 1));
            const std::vector<NoteValue> values = NoteValuesOfTicks(piece);
            for (size_t v = 0; v < values.size(); ++v) {
                WrittenNote note{values[v], key};
                note.tie =
                    key >= 0 && (v + 1 < values.size() || piece < length || tiedOn[size_t(i)]);
                note.beatStart = inBar % perBeat == 0;
                bars[size_t(bar)].notes.push_back(note);
                positions[size_t(bar)].push_back(int(inBar));
                inBar += ValueTicks(values[v]);
            }
            position += piece;
            length -= piece;
        }
    }
    for (size_t b = 0; b < bars.size(); ++b)
        MarkTuplets(bars[b], positions[b]);
    return bars;
}

// The written length of a value (its type and dots, the tuplet aside) in units of `unit`, as
// ABC writes it after the note: "", "3", "/", "/4", "3/2".
struct LengthSuffix {
    int numerator;
    int denominator;

    LengthSuffix(const NoteValue& value, int unit)
        : numerator(PlainTicks(value.type) * ((2 << value.dots) - 1)),
          denominator(unit << value.dots) {
        const int common = std::gcd(numerator, denominator);
        numerator /= common;
        denominator /= common;
    }
    static size_t Digits(int n) { return n >= 100 ? 3 : n >= 10 ? 2 : 1; }
    bool Half() const { return numerator == 1 && denominator == 2; } // written "/"
    size_t Size() const {
        if (denominator == 1)
            return numerator == 1 ? 0 : Digits(numerator);
        return Half() ? 1 : (numerator == 1 ? 0 : Digits(numerator)) + 1 + Digits(denominator);
    }
    void AppendTo(std::string& out) const {
        if (numerator != 1)
            out += std::to_string(numerator);
        if (denominator != 1)
            out += '/';
        if (denominator != 1 && !Half())
            out += std::to_string(denominator);
    }
};

constexpr int kLetterSemitones[7] = {0, 2, 4, 5, 7, 9, 11};

struct Spelling {
    int letter = 0; // 0 C to 6 B
    int alter = 0;
    int octave = 4;
};

int SignatureAlter(int letter, int fifths) {
    // Sharps fall on F C G D A E B in turn, flats on B E A D G C F.
    static constexpr int kSharpRank[7] = {1, 3, 5, 0, 2, 4, 6};
    if (fifths > 0)
        return kSharpRank[letter] < fifths ? 1 : 0;
    return 6 - kSharpRank[letter] < -fifths ? -1 : 0;
}

// A key spelt in a key signature: the scale's own notes as the signature writes them, the
// others by their step from the tonic (in major the raised first, fourth and fifth and the
// lowered third and seventh; in minor the lowered second and the raised third, fourth, sixth
// and seventh), and where that needs a double accidental, the neighbouring letter.
Spelling SpellIn(int key, const AbcKey& abcKey) {
    static constexpr int kMajorTonicLetter[15] = {0, 4, 1, 5, 2, 6, 3, 0, 4, 1, 5, 2, 6, 3, 0};
    const int fifths = std::clamp(abcKey.fifths, -7, 7);
    int tonicLetter = kMajorTonicLetter[fifths + 7];
    int tonic = ((fifths * 7) % 12 + 12) % 12;
    if (abcKey.minor) {
        tonicLetter = (tonicLetter + 5) % 7;
        tonic = (tonic + 9) % 12;
    }
    // For each semitone above the tonic: the scale step and its alteration from the scale.
    static constexpr int kMajorSteps[12] = {0, 0, 1, 2, 2, 3, 3, 4, 4, 5, 6, 6};
    static constexpr int kMinorSteps[12] = {0, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};
    const int pitchClass = key % 12;
    const int degree = (pitchClass - tonic + 12) % 12;
    const int letter = (tonicLetter + (abcKey.minor ? kMinorSteps : kMajorSteps)[degree]) % 7;
    int alter = pitchClass - kLetterSemitones[letter];
    alter = (alter + 18) % 12 - 6;
    Spelling spelling{letter, alter, 0};
    if (alter < -1 || alter > 1) {
        // Spelt on the next letter instead: sharps in a sharp key, flats in a flat one.
        for (const int step : {fifths >= 0 ? -1 : 1, fifths >= 0 ? 1 : -1}) {
            const int other = (letter + step + 7) % 7;
            const int otherAlter = (pitchClass - kLetterSemitones[other] + 18) % 12 - 6;
            if (otherAlter >= -1 && otherAlter <= 1) {
                spelling = {other, otherAlter, 0};
                break;
            }
        }
    }
    spelling.octave = (key - spelling.alter) / 12 - 1;
    return spelling;
}

std::string NoteName(const Spelling& spelling) {
    std::string name(1, "CDEFGAB"[spelling.letter]);
    if (spelling.octave >= 5) {
        name[0] = char(name[0] - 'A' + 'a');
        name.append(size_t(spelling.octave - 5), '\'');
    } else {
        name.append(size_t(4 - spelling.octave), ',');
    }
    return name;
}

std::string KeyName(const AbcKey& key) {
    static constexpr const char* kMajor[15] = {"Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F", "C",
                                               "G",  "D",  "A",  "E",  "B",  "F#", "C#"};
    static constexpr const char* kMinor[15] = {"Ab", "Eb", "Bb", "F",  "C",  "G",  "D", "A",
                                               "E",  "B",  "F#", "C#", "G#", "D#", "A#"};
    const int index = std::clamp(key.fifths, -7, 7) + 7;
    return key.minor ? std::string(kMinor[index]) + "m" : std::string(kMajor[index]);
}

// The unit note length that writes the notes with the fewest characters: 1/4, 1/8 or 1/16.
int ChooseUnit(const std::vector<WrittenBar>& bars) {
    int best = kTicksPerWhole / 8;
    size_t bestSize = SIZE_MAX;
    for (const int unit : {kTicksPerWhole / 8, kTicksPerWhole / 4, kTicksPerWhole / 16}) {
        size_t size = 0;
        for (const WrittenBar& bar : bars) {
            for (const WrittenNote& note : bar.notes)
                size += LengthSuffix(note.value, unit).Size();
        }
        if (size < bestSize) {
            best = unit;
            bestSize = size;
        }
    }
    return best;
}

std::string Music(const std::vector<WrittenBar>& bars, const AbcKey& key, int unit) {
    std::string out;
    out.reserve(bars.size() * 40);
    // The alteration the bar has given each letter in each octave; kNone where it has not.
    constexpr int kNone = 99;
    std::array<std::array<int, 12>, 7> alterations{};
    std::array<int, 7> letterAlter{}; // the last accidental the bar wrote on a letter, any octave
    std::array<bool, 7> letterWritten{};
    for (size_t b = 0; b < bars.size(); ++b) {
        for (auto& octaves : alterations)
            octaves.fill(kNone);
        letterWritten.fill(false);
        bool first = true;
        for (const WrittenNote& note : bars[b].notes) {
            if (!first && note.beatStart)
                out += ' ';
            first = false;
            if (note.tupletNotes > 0) {
                const NoteValue& value = note.value;
                if (value.actual == 3 && value.normal == 2 && note.tupletNotes == 3)
                    out += "(3";
                else
                    out += "(" + std::to_string(value.actual) + ":" + std::to_string(value.normal) +
                           ":" + std::to_string(note.tupletNotes);
            }
            if (note.key < 0) {
                out += 'z';
            } else {
                const Spelling spelling = SpellIn(note.key, key);
                int& known = alterations[size_t(spelling.letter)][size_t(spelling.octave + 1)];
                const int current =
                    known != kNone ? known : SignatureAlter(spelling.letter, key.fifths);
                // Some players carry an accidental to the letter's other octaves too: the note
                // says its own wherever the two readings part.
                const auto l = size_t(spelling.letter);
                if (current != spelling.alter ||
                    (letterWritten[l] && letterAlter[l] != spelling.alter)) {
                    out += spelling.alter > 0 ? "^" : spelling.alter < 0 ? "_" : "=";
                    letterWritten[l] = true;
                    letterAlter[l] = spelling.alter;
                }
                known = spelling.alter;
                out += NoteName(spelling);
            }
            LengthSuffix(note.value, unit).AppendTo(out);
            if (note.tie)
                out += '-';
        }
        const bool last = b + 1 == bars.size();
        out += last ? " |]\n" : (b + 1) % kBarsPerLine == 0 ? " |\n" : " | ";
    }
    if (bars.empty())
        out += "|]\n";
    return out;
}

std::string EventsLines(const Song& song) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < song.count; ++i) {
        if (i % kEventsPerLine == 0)
            out += i == 0 ? "%%kesv-events " : "\n%%kesv-events ";
        for (const uint8_t byte : {song.events[size_t(i)].code, song.events[size_t(i)].pitch}) {
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out.empty() ? out : out + "\n";
}

bool SameEvents(const Song& a, const Song& b) {
    if (a.count != b.count)
        return false;
    for (int i = 0; i < a.count; ++i) {
        if (a.events[size_t(i)].code != b.events[size_t(i)].code ||
            a.events[size_t(i)].pitch != b.events[size_t(i)].pitch)
            return false;
    }
    return true;
}

} // namespace

std::string EncodeAbc(const Song& whole, const AbcWriteOptions& options) {
    Song song;
    song.tempo = whole.tempo;
    const int first = std::clamp(options.firstRow, 0, whole.count);
    song.count = std::clamp(options.rowCount, 0, whole.count - first);
    std::copy(whole.events.begin() + first, whole.events.begin() + first + song.count,
              song.events.begin());
    ComputeStartTicks(song);

    AbcKey key;
    if (options.key)
        key = *options.key;
    else if (options.detectKey)
        key = options.detectKey(song).value_or(AbcKey{});
    const TimeSignature& signature = options.signature;
    const std::vector<WrittenBar> bars = LayOut(song, signature, options.pickup);
    const int unit = ChooseUnit(bars);

    std::string title;
    for (const char c : options.title) {
        if (c == '\\' || c == '%')
            title += '\\'; // a bare % would start a comment, a last \ continue the line
        title += uint8_t(c) < 0x20 ? ' ' : c;
    }
    std::string text = "X:" + std::to_string(options.number) + "\n";
    if (!title.empty())
        text += "T:" + title + "\n";
    if (options.symbol == AbcMeter::Symbol::Common && signature.beatsPerBar == 4 &&
        signature.beatUnit == 4)
        text += "M:C\n";
    else if (options.symbol == AbcMeter::Symbol::Cut && signature.beatsPerBar == 2 &&
             signature.beatUnit == 2)
        text += "M:C|\n";
    else
        text += "M:" + std::to_string(std::max(1, signature.beatsPerBar)) + "/" +
                std::to_string(signature.beatUnit > 0 ? signature.beatUnit : 4) + "\n";
    text += "L:1/" + std::to_string(kTicksPerWhole / unit) + "\n";
    text += "Q:1/4=" + std::to_string(std::max(1, TempoFromByte(song.tempo))) + "\n";
    text += "K:" + KeyName(key) + "\n";
    text += Music(bars, key, unit);

    // The notes read back as other events (a note split at a bar line, neighbouring rests, a
    // tie run of lengths that add up to one code...): the events go along.
    AbcTune back;
    if (song.count > 0 && (DecodeAbc(text, back).error != AbcError::None ||
                           !SameEvents(back.song, song) || back.song.tempo != song.tempo))
        text += EventsLines(song);
    return text;
}
