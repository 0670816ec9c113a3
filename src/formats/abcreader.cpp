// ABC tunes read into a song: the text split into tunes, a tune's header and music read into
// notes and bar lines, the repeats, endings and parts played out, and the notes made events.
#include "abc.h"

#include "notation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

namespace {

constexpr double kEpsilon = 1e-6;
constexpr int kMaxNumber = 1 << 20; // numbers beyond this are taken as this
constexpr int kMaxVolta = 30;
constexpr double kDefaultUnit = kTicksPerWhole / 8.0;
// Notes read (in the written order, and once played out) beyond which no song grows: every
// note gives an event but for tied ones, and a song holds kMaxEvents.
constexpr size_t kMaxNotes = size_t(64) * kMaxEvents;
constexpr char kEventsDirective[] = "%%kesv-events";

struct Line {
    std::string_view text; // without the line end
    int number = 0;        // from 1
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    lines.reserve(text.size() / 32 + 1);
    size_t start = 0;
    int number = 1;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back({line, number++});
        start = end + 1;
    }
    return lines;
}

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t\r\f\v") == std::string_view::npos;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A field line: a letter (or + for a continuation) and a colon at the start.
bool IsFieldLine(std::string_view line) {
    return line.size() >= 2 && line[1] == ':' && (IsLetter(line[0]) || line[0] == '+');
}

// The line without its comment (a % that is not escaped).
std::string_view WithoutComment(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '%' && (i == 0 || line[i - 1] != '\\'))
            return line.substr(0, i);
    }
    return line;
}

int ReadNumber(std::string_view text, size_t& i) {
    int64_t value = 0;
    while (i < text.size() && IsDigit(text[i])) {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), kMaxNumber);
        ++i;
    }
    return int(value);
}

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = uint8_t(text[i]);
        const size_t more = c < 0x80   ? 0
                            : c < 0xC2 ? 9
                            : c < 0xE0 ? 1
                            : c < 0xF0 ? 2
                            : c < 0xF5 ? 3
                                       : 9;
        if (more == 9 || (more > 0 && i + more >= text.size()))
            return false;
        for (size_t k = 1; k <= more; ++k) {
            if ((uint8_t(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += more + 1;
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// A title as UTF-8: older files are Latin-1, and ABC writes accented letters as \'e, \"o...
std::string DecodeText(std::string_view raw) {
    std::string text;
    if (IsValidUtf8(raw)) {
        text = raw;
    } else {
        for (const char c : raw)
            AppendUtf8(text, uint8_t(c));
    }
    struct Mnemonic {
        char mark;
        char letter;
        uint32_t code;
    };
    static constexpr Mnemonic kMnemonics[] = {
        {'`', 'A', 0xC0},  {'\'', 'A', 0xC1}, {'^', 'A', 0xC2},  {'~', 'A', 0xC3},
        {'"', 'A', 0xC4},  {'A', 'A', 0xC5},  {'A', 'E', 0xC6},  {'c', 'C', 0xC7},
        {'`', 'E', 0xC8},  {'\'', 'E', 0xC9}, {'^', 'E', 0xCA},  {'"', 'E', 0xCB},
        {'`', 'I', 0xCC},  {'\'', 'I', 0xCD}, {'^', 'I', 0xCE},  {'"', 'I', 0xCF},
        {'~', 'N', 0xD1},  {'`', 'O', 0xD2},  {'\'', 'O', 0xD3}, {'^', 'O', 0xD4},
        {'~', 'O', 0xD5},  {'"', 'O', 0xD6},  {'/', 'O', 0xD8},  {'`', 'U', 0xD9},
        {'\'', 'U', 0xDA}, {'^', 'U', 0xDB},  {'"', 'U', 0xDC},  {'\'', 'Y', 0xDD},
        {'s', 's', 0xDF},  {'`', 'a', 0xE0},  {'\'', 'a', 0xE1}, {'^', 'a', 0xE2},
        {'~', 'a', 0xE3},  {'"', 'a', 0xE4},  {'a', 'a', 0xE5},  {'a', 'e', 0xE6},
        {'c', 'c', 0xE7},  {'`', 'e', 0xE8},  {'\'', 'e', 0xE9}, {'^', 'e', 0xEA},
        {'"', 'e', 0xEB},  {'`', 'i', 0xEC},  {'\'', 'i', 0xED}, {'^', 'i', 0xEE},
        {'"', 'i', 0xEF},  {'~', 'n', 0xF1},  {'`', 'o', 0xF2},  {'\'', 'o', 0xF3},
        {'^', 'o', 0xF4},  {'~', 'o', 0xF5},  {'"', 'o', 0xF6},  {'/', 'o', 0xF8},
        {'`', 'u', 0xF9},  {'\'', 'u', 0xFA}, {'^', 'u', 0xFB},  {'"', 'u', 0xFC},
        {'\'', 'y', 0xFD}, {'"', 'y', 0xFF},
    };
    std::replace_if(
        text.begin(), text.end(), [](char c) { return uint8_t(c) < 0x20; }, ' ');
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() &&
            (text[i + 1] == '%' || text[i + 1] == '&' || text[i + 1] == '\\')) {
            out += text[++i];
            continue;
        }
        if (text[i] == '\\' && i + 2 < text.size()) {
            const auto found =
                std::find_if(std::begin(kMnemonics), std::end(kMnemonics), [&](const Mnemonic& m) {
                    return m.mark == text[i + 1] && m.letter == text[i + 2];
                });
            if (found != std::end(kMnemonics)) {
                AppendUtf8(out, found->code);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The number of characters (not bytes) before `offset`, so a column counts as an editor does.
int ColumnOf(std::string_view line, size_t offset) {
    int column = 1;
    for (size_t i = 0; i < offset && i < line.size(); ++i)
        column += (uint8_t(line[i]) & 0xC0) != 0x80 ? 1 : 0;
    return column;
}

struct Element {
    enum class Kind : uint8_t { Note, Bar, Part };
    Kind kind = Kind::Note;
    bool tie = false;         // a note tied to the next
    bool real = false;        // a bar line, not an ending's number alone
    bool startRepeat = false; // |:
    bool endRepeat = false;   // :|
    char part = 0;
    int key = -1;        // MIDI key; -1 a rest
    uint32_t voltas = 0; // bit n: the ending for pass n starts here
    double length = 0;   // ticks
};

struct TempoSpec {
    double beat = 0; // the beat in whole notes; 0: the unit note length (Q:120)
    double perMinute = 0;
};

// What the fields before the first tune give every tune.
struct FileDefaults {
    std::string_view meter;
    std::string_view unit;
    std::string_view tempo;
};

struct TuneSpan {
    size_t begin = 0; // the X: line, or the first line of a text without one
    size_t end = 0;
};

// The texts of a tune that the listing shows as written.
struct TuneTexts {
    std::string key;
    std::string meter;
};

std::vector<TuneSpan> FindTunes(const std::vector<Line>& lines, FileDefaults& defaults) {
    std::vector<TuneSpan> tunes;
    const auto isTuneStart = [](const Line& line) {
        return line.text.size() >= 2 && line.text[0] == 'X' && line.text[1] == ':';
    };
    const auto firstTune = std::find_if(lines.begin(), lines.end(), isTuneStart);
    if (firstTune == lines.end()) {
        // Without an X: line the text is one tune when it has a K: field (music pasted
        // without its number), else it is no tune at all (a style sheet, a letter).
        if (std::any_of(lines.begin(), lines.end(),
                        [](const Line& l) { return l.text.substr(0, 2) == "K:"; }))
            tunes.push_back({0, lines.size()});
        return tunes;
    }
    // The file header: the fields of the first block, when a tune does not begin it.
    for (auto line = lines.begin(); line != firstTune && !IsBlank(line->text); ++line) {
        if (!IsFieldLine(line->text))
            continue;
        const std::string_view value = Trim(WithoutComment(line->text.substr(2)));
        if (line->text[0] == 'M')
            defaults.meter = value;
        else if (line->text[0] == 'L')
            defaults.unit = value;
        else if (line->text[0] == 'Q')
            defaults.tempo = value;
    }
    for (size_t i = size_t(firstTune - lines.begin()); i < lines.size();) {
        if (!isTuneStart(lines[i])) {
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < lines.size() && !IsBlank(lines[end].text) && !isTuneStart(lines[end]))
            ++end;
        tunes.push_back({i, end});
        i = end;
    }
    return tunes;
}

// Fifths of the major key on each letter, C to B.
constexpr int kLetterFifths[7] = {0, 2, 4, -1, 1, 3, 5};
constexpr int kLetterSemitones[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr char kSharpOrder[] = "FCGDAEB";

int LetterIndex(char c) {
    const char lower = Lower(c);
    return lower >= 'c' && lower <= 'g' ? lower - 'c' : lower == 'a' ? 5 : lower == 'b' ? 6 : -1;
}

// The alteration of each letter, C to B, that a key signature of `fifths` gives.
std::array<int, 7> SignatureOf(int fifths) {
    std::array<int, 7> alter{};
    for (int k = 0; k < std::abs(fifths); ++k) {
        const char letter = fifths > 0 ? kSharpOrder[k] : kSharpOrder[6 - k];
        alter[size_t(LetterIndex(letter))] = fifths > 0 ? 1 : -1;
    }
    return alter;
}

class CTuneReader {
public:
    CTuneReader(const std::vector<Line>& lines, const FileDefaults& defaults)
        : m_lines(lines), m_defaults(defaults) {}

    AbcReadResult Read(const TuneSpan& span, AbcTune& tune, TuneTexts& texts);

private:
    // Fields
    bool HeaderField(char name, std::string_view value, size_t valueOffset);
    bool BodyField(char name, std::string_view value, size_t valueOffset);
    bool ParseKey(std::string_view value, size_t offset, AbcKey& key, std::array<int, 7>& alter,
                  int& octaveShift);
    bool ParseMeter(std::string_view value, size_t offset, AbcMeter& meter);
    bool ParseUnit(std::string_view value, size_t offset, double& unit);
    static bool ParseTempo(std::string_view value, TempoSpec& tempo);
    void SetVoice(std::string_view value);
    void EndHeader();

    // Music
    bool MusicLine(std::string_view text);
    bool Note(size_t& i, int& key, int& letter, int& octave, int& alter, double& multiplier);
    bool Length(size_t& i, double& multiplier);
    bool Chord(size_t& i);
    bool Bar(size_t& i);
    bool InlineField(size_t& i);
    bool Skip(size_t& i, char close, AbcError error);
    void AddNote(int key, double multiplier);
    void AddBar(Element bar);
    double BarTicks(const AbcMeter& meter) const;
    bool Fail(AbcError error, size_t offset);

    // Playing out
    std::vector<size_t> PlayOrder();
    void Unfold(size_t begin, size_t end, std::vector<size_t>& out);
    int HighestVolta(size_t from, size_t end) const;
    void MakeEvents(const std::vector<size_t>& order, AbcTune& tune);

    const std::vector<Line>& m_lines;
    const FileDefaults& m_defaults;
    const Line* m_line = nullptr;
    std::string_view m_text; // the current line's text being read (a field's value, or music)
    size_t m_textOffset = 0; // where m_text starts in the line
    AbcReadResult m_result;
    AbcRemarks m_remarks;
    TuneTexts* m_texts = nullptr;

    bool m_inHeader = true;
    bool m_titleSet = false;
    bool m_keySet = false;
    bool m_meterSet = false;
    bool m_tempoSet = false;
    std::string m_title;
    int m_number = 0;
    AbcKey m_key;
    AbcMeter m_meter{0, 4}; // free until M: says otherwise
    AbcMeter m_currentMeter{0, 4};
    double m_unit = 0; // 0 until L: or the end of the header sets it
    TempoSpec m_tempo;
    std::string m_partOrder;
    std::string m_events; // the hex of %%kesv-events lines

    std::string m_voice; // the voice read, once one is named
    bool m_voiceNamed = false;
    bool m_otherVoice = false; // the lines now are another voice's
    std::set<std::string> m_otherVoices;
    bool m_overlay = false; // after & up to the bar line: another voice
    bool m_overlaySeen = false;

    std::array<int, 7> m_signature{};
    int m_octaveShift = 0; // semitones the clef puts the written notes off their sound
    std::array<std::array<int8_t, 16>, 7> m_barAlter{}; // letter and octave; kUnset when none
    static constexpr int8_t kUnset = 99;
    int m_tupletLeft = 0;
    double m_tupletFactor = 1;
    double m_brokenNext = 1;
    size_t m_lastNote = SIZE_MAX; // the last note, chord or rest of m_elements
    int m_tieLetter = -1;         // the last note's letter, octave and alteration, for a tie
    int m_tieOctave = 0;
    int m_tieAlter = 0;
    std::vector<Element> m_elements;
    size_t m_notes = 0;
};

bool CTuneReader::Fail(AbcError error, size_t offset) {
    if (m_result.error == AbcError::None) {
        m_result.error = error;
        m_result.line = m_line ? m_line->number : 0;
        m_result.column = m_line ? ColumnOf(m_line->text, m_textOffset + offset) : 0;
    }
    return false;
}

double CTuneReader::BarTicks(const AbcMeter& meter) const {
    if (meter.numerator <= 0 || meter.denominator <= 0)
        return kTicksPerWhole;
    return double(kTicksPerWhole) * meter.numerator / meter.denominator;
}

bool CTuneReader::ParseKey(std::string_view value, size_t offset, AbcKey& key,
                           std::array<int, 7>& alter, int& octaveShift) {
    size_t i = 0;
    const auto skipSpaces = [&] {
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
            ++i;
    };
    skipSpaces();
    key = {};
    alter.fill(0);
    int fifths = 0;
    bool minor = false;
    const std::string_view rest = value.substr(i);
    if (rest.substr(0, 2) == "HP" || rest.substr(0, 2) == "Hp") {
        // Highland pipes: F and C sharp, whether the signature shows them (Hp) or not (HP).
        alter = SignatureOf(2);
        key.fifths = 2;
        i += 2;
    } else if (i < value.size() && LetterIndex(value[i]) >= 0 && value[i] >= 'A' &&
               value[i] <= 'G' && rest.substr(0, 4) != "none") {
        fifths = kLetterFifths[LetterIndex(value[i++])];
        if (i < value.size() && (value[i] == '#' || value[i] == 'b'))
            fifths += value[i++] == '#' ? 7 : -7;
        skipSpaces();
        size_t wordEnd = i;
        while (wordEnd < value.size() && IsLetter(value[wordEnd]))
            ++wordEnd;
        std::string word;
        for (size_t k = i; k < wordEnd; ++k)
            word += Lower(value[k]);
        struct Mode {
            const char* name;
            int offset;
            bool minor;
            bool approximated;
        };
        static constexpr Mode kModes[] = {
            {"maj", 0, false, false}, {"ion", 0, false, false}, {"min", -3, true, false},
            {"aeo", -3, true, false}, {"mix", -1, false, true}, {"dor", -2, true, true},
            {"phr", -4, true, true},  {"lyd", 1, false, true},  {"loc", -5, true, true},
        };
        const Mode* mode = nullptr;
        if (word == "m") {
            static constexpr Mode kMinor{"m", -3, true, false};
            mode = &kMinor;
        } else if (word.size() >= 3) {
            for (const Mode& m : kModes) {
                if (word.compare(0, 3, m.name) == 0)
                    mode = &m;
            }
        }
        if (mode) {
            fifths += mode->offset;
            minor = mode->minor;
            m_remarks.modeApproximated = m_remarks.modeApproximated || mode->approximated;
            i = wordEnd;
        }
        if (fifths < -7 || fifths > 7)
            return Fail(AbcError::BadKey, offset);
        alter = SignatureOf(fifths);
        key = {fifths, minor};
    } else if (i < value.size() && rest.substr(0, 4) != "none" && value[i] != '^' &&
               value[i] != '_' && value[i] != '=' && !IsLetter(value[i])) {
        return Fail(AbcError::BadKey, offset + i);
    } else if (i < value.size() && IsLetter(value[i]) && rest.substr(0, 4) != "none" &&
               rest.substr(0, 4) != "clef" && rest.substr(0, 3) != "exp") {
        // Clef names alone (K:treble) keep C major; other words name no key.
        static constexpr std::string_view kClefs[] = {"treble", "bass", "alto", "tenor", "perc"};
        if (std::none_of(std::begin(kClefs), std::end(kClefs), [&](std::string_view clef) {
                return rest.substr(0, clef.size()) == clef;
            }))
            return Fail(AbcError::BadKey, offset + i);
    }
    // Explicit accidentals (after "exp" they are the whole signature); clefs and other
    // settings are words that change no pitch here.
    bool changed = false;
    while (i < value.size()) {
        skipSpaces();
        const size_t start = i;
        while (i < value.size() && value[i] != ' ' && value[i] != '\t')
            ++i;
        const std::string_view token = value.substr(start, i - start);
        if (token == "exp") {
            alter.fill(0);
            changed = true;
            continue;
        }
        // A clef an octave down or up (treble-8, clef=bass+8) sounds so; so does octave=n.
        if (token.size() > 2 &&
            (token.substr(token.size() - 2) == "-8" || token.substr(token.size() - 2) == "+8")) {
            octaveShift = token[token.size() - 2] == '-' ? -12 : 12;
            continue;
        }
        if (token.substr(0, 7) == "octave=") {
            size_t at = 7;
            const bool down = at < token.size() && token[at] == '-';
            at += down || (at < token.size() && token[at] == '+') ? 1 : 0;
            octaveShift = std::min(ReadNumber(token, at), 4) * (down ? -12 : 12);
            continue;
        }
        // Accidentals, also run together (K:C^f^c).
        for (size_t k = 0; k < token.size();) {
            int accidental = 0;
            size_t marks = 0;
            while (k < token.size() && (token[k] == '^' || token[k] == '_' || token[k] == '=')) {
                accidental += token[k] == '^' ? 1 : token[k] == '_' ? -1 : 0;
                ++marks;
                ++k;
            }
            if (marks == 0 || k >= token.size() || LetterIndex(token[k]) < 0 || !IsLetter(token[k]))
                break;
            alter[size_t(LetterIndex(token[k++]))] = std::clamp(accidental, -2, 2);
            changed = true;
        }
    }
    if (changed) {
        const auto standard = [&alter](int f) { return SignatureOf(f) == alter; };
        int found = 99;
        for (int f = -7; f <= 7 && found == 99; ++f) {
            if (standard(f))
                found = f;
        }
        if (found == 99)
            m_remarks.oddSignature = true;
        else
            key.fifths = found;
    }
    return true;
}

bool CTuneReader::ParseMeter(std::string_view value, size_t offset, AbcMeter& meter) {
    const std::string_view text = Trim(value);
    const size_t start = offset + size_t(text.data() - value.data());
    if (text.empty() || text.substr(0, 4) == "none") {
        meter = {0, 4};
        return true;
    }
    if (text[0] == 'C' || text[0] == 'c') {
        const bool cut = text.size() > 1 && text[1] == '|';
        meter =
            cut ? AbcMeter{2, 2, AbcMeter::Symbol::Cut} : AbcMeter{4, 4, AbcMeter::Symbol::Common};
        return true;
    }
    // 6/8, 2+3/8, (2+2+3)/8; what follows the metre (an alternative in brackets) is not read.
    size_t i = 0;
    int numerator = 0;
    while (i < text.size() && text[i] != '/') {
        const char c = text[i];
        if (IsDigit(c))
            numerator = std::min(kMaxNumber, numerator + ReadNumber(text, i));
        else if (c == '+' || c == '(' || c == ')' || c == ' ' || c == '.')
            ++i;
        else if (numerator > 0)
            break;
        else
            return Fail(AbcError::BadMeter, start + i);
    }
    if (i >= text.size() || text[i] != '/') {
        if (numerator == 0)
            return Fail(AbcError::BadMeter, start + i);
        meter = {0, 4}; // a number of beats without their note: no bars to go by
        return true;
    }
    ++i;
    const int denominator = ReadNumber(text, i);
    if (numerator <= 0 || denominator <= 0 || numerator > 99 || denominator > 64)
        return Fail(AbcError::BadMeter, start);
    meter = {numerator, denominator};
    return true;
}

bool CTuneReader::ParseUnit(std::string_view value, size_t offset, double& unit) {
    const std::string_view text = Trim(value);
    size_t i = 0;
    const int numerator = ReadNumber(text, i);
    int denominator = 1;
    if (i < text.size() && text[i] == '/') {
        ++i;
        denominator = ReadNumber(text, i);
    }
    if (numerator <= 0 || denominator <= 0 || denominator > 512 || numerator > 64 ||
        Trim(text.substr(i)).size() > 0)
        return Fail(AbcError::BadUnit, offset + size_t(text.data() - value.data()));
    unit = double(kTicksPerWhole) * numerator / denominator;
    return true;
}

// Q:1/4=120, Q:3/8=60, Q:1/4 3/8=50, Q:"Allegro" 1/4=120, and the older Q:120 (unit notes).
bool CTuneReader::ParseTempo(std::string_view value, TempoSpec& tempo) {
    double beat = 0;
    size_t i = 0;
    while (i < value.size()) {
        const char c = value[i];
        if (c == '"') {
            const size_t close = value.find('"', i + 1);
            i = close == std::string_view::npos ? value.size() : close + 1;
        } else if (IsDigit(c)) {
            const int first = ReadNumber(value, i);
            if (i < value.size() && value[i] == '/') {
                ++i;
                const int second = ReadNumber(value, i);
                if (second > 0)
                    beat += double(first) / second;
            } else if (first > 0) {
                tempo = {beat, double(first)};
                return true;
            }
        } else if (c == '=') {
            ++i;
            while (i < value.size() && value[i] == ' ')
                ++i;
            size_t start = i;
            const int perMinute = ReadNumber(value, i);
            if (i == start || perMinute <= 0)
                return false;
            tempo = {beat > 0 ? beat : 0, double(perMinute)};
            return true;
        } else {
            ++i;
        }
    }
    return false;
}

void CTuneReader::SetVoice(std::string_view value) {
    const std::string_view text = Trim(value);
    const std::string id(text.substr(0, text.find_first_of(" \t")));
    if (!m_voiceNamed) {
        m_voiceNamed = true;
        m_voice = id;
    }
    m_otherVoice = id != m_voice;
    if (m_otherVoice)
        m_otherVoices.insert(id);
    m_overlay = false;
}

bool CTuneReader::HeaderField(char name, std::string_view value, size_t valueOffset) {
    switch (name) {
    case 'X': {
        size_t i = 0;
        const std::string_view number = Trim(value);
        m_number = ReadNumber(number, i);
        return true;
    }
    case 'T':
        if (!m_titleSet) {
            m_title = Trim(DecodeText(Trim(value)));
            m_titleSet = true;
        }
        return true;
    case 'M':
        m_texts->meter = Trim(value);
        m_meterSet = true;
        return ParseMeter(value, valueOffset, m_meter);
    case 'L':
        return ParseUnit(value, valueOffset, m_unit);
    case 'Q':
        m_tempoSet = ParseTempo(value, m_tempo) || m_tempoSet;
        return true;
    case 'P':
        m_partOrder = Trim(value);
        return true;
    case 'V':
        SetVoice(value);
        m_otherVoice = false; // a voice named in the header is a definition: the music follows
        return true;
    case 'K':
        m_texts->key = Trim(value);
        m_keySet = true;
        if (!ParseKey(value, valueOffset, m_key, m_signature, m_octaveShift))
            return false;
        EndHeader();
        return true;
    case 'W':
    case 'w':
        ++m_remarks.lyricLines;
        return true;
    default:
        return true;
    }
}

void CTuneReader::EndHeader() {
    m_inHeader = false;
    if (!m_meterSet && !m_defaults.meter.empty()) {
        m_texts->meter = m_defaults.meter;
        ParseMeter(m_defaults.meter, 0, m_meter);
    }
    if (m_unit == 0 && !m_defaults.unit.empty())
        ParseUnit(m_defaults.unit, 0, m_unit);
    if (m_unit == 0) {
        // The standard's rule: a metre below 3/4 counts in sixteenths, others in eighths.
        const bool small =
            m_meter.numerator > 0 && double(m_meter.numerator) / m_meter.denominator < 0.75;
        m_unit = small ? kDefaultUnit / 2 : kDefaultUnit;
    }
    if (!m_tempoSet && !m_defaults.tempo.empty())
        m_tempoSet = ParseTempo(m_defaults.tempo, m_tempo);
    m_currentMeter = m_meter;
    m_result = {}; // a bad file default is no fault of this tune
}

bool CTuneReader::BodyField(char name, std::string_view value, size_t valueOffset) {
    switch (name) {
    case 'V':
        SetVoice(value);
        return true;
    case 'K': {
        AbcKey key;
        std::array<int, 7> signature{};
        int octaveShift = m_octaveShift;
        if (!ParseKey(value, valueOffset, key, signature, octaveShift))
            return false;
        if (m_otherVoice)
            return true;
        m_octaveShift = octaveShift;
        if (key != m_key || signature != m_signature)
            ++m_remarks.keyChanges;
        m_signature = signature;
        for (auto& octaves : m_barAlter)
            octaves.fill(kUnset);
        return true;
    }
    case 'M': {
        AbcMeter meter;
        if (!ParseMeter(value, valueOffset, meter))
            return false;
        if (m_otherVoice)
            return true;
        if (meter != m_currentMeter)
            ++m_remarks.meterChanges;
        m_currentMeter = meter;
        return true;
    }
    case 'L':
        if (m_otherVoice) {
            double unit = 0;
            return ParseUnit(value, valueOffset, unit);
        }
        return ParseUnit(value, valueOffset, m_unit);
    case 'Q': {
        TempoSpec tempo;
        if (ParseTempo(value, tempo) && !m_otherVoice) {
            if (!m_tempoSet)
                m_tempo = tempo;
            else if (tempo.perMinute != m_tempo.perMinute || tempo.beat != m_tempo.beat)
                ++m_remarks.tempoChanges;
            m_tempoSet = true;
        }
        return true;
    }
    case 'P':
        if (!m_otherVoice) {
            const std::string_view label = Trim(value);
            Element part;
            part.kind = Element::Kind::Part;
            part.part = label.empty() ? '\0' : label[0];
            m_elements.push_back(part);
        }
        return true;
    case 'W':
    case 'w':
        ++m_remarks.lyricLines;
        return true;
    default:
        return true;
    }
}

bool CTuneReader::Length(size_t& i, double& multiplier) {
    const std::string_view s = m_text;
    const size_t start = i;
    double numerator = 1;
    if (i < s.size() && IsDigit(s[i])) {
        numerator = ReadNumber(s, i);
        if (numerator == 0)
            return Fail(AbcError::BadLength, start);
    }
    double denominator = 1;
    while (i < s.size() && s[i] == '/') {
        ++i;
        int divisor = 2;
        if (i < s.size() && IsDigit(s[i])) {
            divisor = ReadNumber(s, i);
            if (divisor == 0)
                return Fail(AbcError::BadLength, start);
        }
        denominator *= divisor;
        if (denominator > 4096)
            return Fail(AbcError::BadLength, start);
    }
    multiplier = numerator / denominator;
    return true;
}

// A note: accidentals, letter, octave marks and length. `key` is the MIDI key.
bool CTuneReader::Note(size_t& i, int& key, int& letter, int& octave, int& alter,
                       double& multiplier) {
    const std::string_view s = m_text;
    const size_t start = i;
    bool explicitAlter = false;
    alter = 0;
    while (i < s.size() && (s[i] == '^' || s[i] == '_' || s[i] == '=')) {
        const int direction = s[i] == '^' ? 1 : s[i] == '_' ? -1 : 0;
        explicitAlter = true;
        ++i;
        if (i < s.size() && (s[i] == '/' || IsDigit(s[i])) && direction != 0) {
            // A microtone (^/c a quarter tone, _3/2e three quarters): the semitones it
            // holds whole, as standard players sound it before they bend the pitch.
            const int numerator = IsDigit(s[i]) ? ReadNumber(s, i) : 1;
            int denominator = 1;
            while (i < s.size() && s[i] == '/') {
                ++i;
                denominator *= i < s.size() && IsDigit(s[i]) ? std::max(1, ReadNumber(s, i)) : 2;
            }
            alter += direction * (numerator / denominator);
            ++m_remarks.microtones;
        } else {
            alter += direction;
        }
    }
    if (i >= s.size() || LetterIndex(s[i]) < 0 || !IsLetter(s[i]))
        return Fail(AbcError::UnexpectedChar, i < s.size() ? i : start);
    letter = LetterIndex(s[i]);
    octave = s[i] >= 'a' ? 5 : 4;
    ++i;
    while (i < s.size() && (s[i] == ',' || s[i] == '\'')) {
        octave += s[i] == ',' ? -1 : 1;
        ++i;
    }
    const size_t row = size_t(std::clamp(octave, 0, 15));
    auto& barAlter = m_barAlter[size_t(letter)][row];
    if (explicitAlter) {
        alter = std::clamp(alter, -2, 2);
        barAlter = int8_t(alter);
    } else if (m_lastNote != SIZE_MAX && m_elements[m_lastNote].tie && m_tieLetter == letter &&
               m_tieOctave == octave) {
        alter = m_tieAlter; // a tie carries its note's accidental over the bar line
    } else {
        alter = barAlter != kUnset ? barAlter : m_signature[size_t(letter)];
    }
    key = (octave + 1) * 12 + kLetterSemitones[letter] + alter + m_octaveShift;
    return Length(i, multiplier);
}

void CTuneReader::AddNote(int key, double multiplier) {
    if (m_otherVoice || m_overlay)
        return;
    Element note;
    note.key = key;
    note.length = m_unit * multiplier * m_brokenNext;
    m_brokenNext = 1;
    if (m_tupletLeft > 0) {
        note.length *= m_tupletFactor;
        --m_tupletLeft;
    }
    m_lastNote = m_elements.size();
    m_elements.push_back(note);
    ++m_notes;
}

void CTuneReader::AddBar(Element bar) {
    if (bar.real) {
        for (auto& octaves : m_barAlter)
            octaves.fill(kUnset);
        m_overlay = false;
        m_brokenNext = 1;
    }
    if (!m_otherVoice)
        m_elements.push_back(bar);
}

// Skips a bracketed text (a decoration, annotation or grace notes) to its closing character.
bool CTuneReader::Skip(size_t& i, char close, AbcError error) {
    const size_t end = m_text.find(close, i + 1);
    if (end == std::string_view::npos)
        return Fail(error, i);
    i = end + 1;
    return true;
}

bool CTuneReader::Chord(size_t& i) {
    const std::string_view s = m_text;
    const size_t open = i++;
    int top = -1;
    int notes = 0;
    double first = 0;
    bool tie = false;
    int topLetter = -1;
    int topOctave = 0;
    int topAlter = 0;
    while (true) {
        if (i >= s.size())
            return Fail(AbcError::UnclosedChord, open);
        const char c = s[i];
        if (c == ']') {
            ++i;
            break;
        }
        if (c == ' ' || c == '\t' || c == '.' || c == '~' || c == '(' || c == ')') {
            ++i; // spacing, staccato, rolls and slurs inside the chord
        } else if (c == '-') {
            tie = tie || notes > 0;
            ++i;
            if (i < s.size() && (s[i] == '\'' || s[i] == ','))
                ++i;
        } else if (c == '!' || c == '"') {
            if (!Skip(i, c, AbcError::UnclosedText))
                return false;
            ++(c == '!' ? m_remarks.decorations : m_remarks.annotations);
        } else if (c == '^' || c == '_' || c == '=' || LetterIndex(c) >= 0) {
            int key = 0;
            int letter = 0;
            int octave = 0;
            int alter = 0;
            double multiplier = 1;
            if (!Note(i, key, letter, octave, alter, multiplier))
                return false;
            if (notes++ == 0)
                first = multiplier;
            if (key > top) {
                top = key;
                topLetter = letter;
                topOctave = octave;
                topAlter = alter;
            }
        } else if ((c >= 'H' && c <= 'W') || (c >= 'h' && c <= 'w')) {
            ++m_remarks.decorations;
            ++i;
        } else {
            return Fail(AbcError::UnexpectedChar, i);
        }
    }
    double multiplier = 1;
    if (!Length(i, multiplier))
        return false;
    if (notes == 0)
        return true;
    if (notes > 1 && !m_otherVoice && !m_overlay)
        ++m_remarks.chords;
    AddNote(top, first * multiplier);
    if (tie && m_lastNote != SIZE_MAX && !m_otherVoice && !m_overlay)
        m_elements[m_lastNote].tie = true;
    m_tieLetter = topLetter;
    m_tieOctave = topOctave;
    m_tieAlter = topAlter;
    return true;
}

// A bar line with its repeat marks and the endings that follow it: | || |] [| |: :| :: .|
// and |1 :|2 [1 [2,3 [1-3.
bool CTuneReader::Bar(size_t& i) {
    const std::string_view s = m_text;
    if (s[i] == '.')
        ++i;
    std::string run;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '|' || c == ':') {
            run += c;
        } else if (c == ']' && !run.empty() && run.back() == '|') {
            run += c;
        } else if (c == '[' && i + 1 < s.size() && s[i + 1] == '|') {
            run += c;
        } else {
            break;
        }
        ++i;
    }
    Element bar;
    bar.kind = Element::Kind::Bar;
    const size_t pipe = run.find('|');
    if (pipe != std::string::npos) {
        bar.real = true;
        bar.endRepeat = run.front() == ':';
        bar.startRepeat = run.back() == ':';
    } else if (run.size() >= 2) {
        bar.real = bar.endRepeat = bar.startRepeat = true; // ::
    } else if (!run.empty()) {
        return true; // a colon alone marks nothing
    }
    // The endings that start here: |1, :|2, [1, |[2, [1,3, [1-3.
    size_t volta = i;
    if (volta < s.size() && s[volta] == '[' && volta + 1 < s.size() && IsDigit(s[volta + 1]))
        ++volta;
    if (volta < s.size() && IsDigit(s[volta]) && (volta > i || !run.empty())) {
        i = volta;
        while (i < s.size() && IsDigit(s[i])) {
            const int from = ReadNumber(s, i);
            int to = from;
            if (i + 1 < s.size() && s[i] == '-' && IsDigit(s[i + 1])) {
                ++i;
                to = ReadNumber(s, i);
            }
            for (int n = std::max(1, from); n <= std::min(to, kMaxVolta); ++n)
                bar.voltas |= 1u << n;
            if (i + 1 < s.size() && (s[i] == ',' || s[i] == '.') && IsDigit(s[i + 1]))
                ++i;
        }
    }
    AddBar(bar);
    return true;
}

bool CTuneReader::InlineField(size_t& i) {
    const size_t close = m_text.find(']', i);
    if (close == std::string_view::npos)
        return Fail(AbcError::UnclosedText, i);
    const char name = m_text[i + 1];
    const std::string_view value = m_text.substr(i + 3, close - i - 3);
    const size_t offset = i + 3;
    i = close + 1;
    return BodyField(name, value, offset);
}

bool CTuneReader::MusicLine(std::string_view text) {
    m_text = text;
    m_textOffset = size_t(text.data() - m_line->text.data());
    const std::string_view s = text;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        const char next = i + 1 < s.size() ? s[i + 1] : '\0';
        if (m_otherVoice) {
            if (c == '[' && next == 'V' && i + 2 < s.size() && s[i + 2] == ':') {
                if (!InlineField(i))
                    return false;
            } else {
                ++i;
            }
            continue;
        }
        if (m_overlay && c != '|' && c != ':' && !(c == '[' && (next == '|' || IsLetter(next)))) {
            ++i;
            continue;
        }
        switch (c) {
        case 'y':
            ++i;
            ReadNumber(s, i); // a spacer, with its width
            break;
        case ' ':
        case '\t':
        case '`':
        case '\\':
        case '$':
        case '*':
        case ';':
            ++i; // spacing, beam breaks, line continuations, score breaks
            break;
        case '"':
            if (!Skip(i, '"', AbcError::UnclosedText))
                return false;
            ++m_remarks.annotations;
            break;
        case '!':
            // An unclosed ! is the old way to break a line.
            if (s.find('!', i + 1) == std::string_view::npos) {
                ++i;
            } else {
                Skip(i, '!', AbcError::UnclosedText);
                ++m_remarks.decorations;
            }
            break;
        case '+':
            if (!Skip(i, '+', AbcError::UnclosedText))
                return false;
            ++m_remarks.decorations;
            break;
        case '{': {
            const size_t close = s.find('}', i);
            if (close == std::string_view::npos)
                return Fail(AbcError::UnclosedGrace, i);
            for (size_t k = i; k < close; ++k)
                m_remarks.graceNotes += LetterIndex(s[k]) >= 0 && IsLetter(s[k]) ? 1 : 0;
            i = close + 1;
            break;
        }
        case '(':
            if (IsDigit(next)) {
                const size_t start = i++;
                const int p = ReadNumber(s, i);
                int q = 0;
                int r = p;
                bool qGiven = false;
                if (i < s.size() && s[i] == ':') {
                    ++i;
                    qGiven = i < s.size() && IsDigit(s[i]);
                    q = ReadNumber(s, i);
                    if (i < s.size() && s[i] == ':') {
                        ++i;
                        if (i < s.size() && IsDigit(s[i]))
                            r = ReadNumber(s, i);
                        else
                            r = p;
                    }
                }
                if (!qGiven) {
                    const bool compound =
                        m_currentMeter.numerator % 3 == 0 && m_currentMeter.numerator > 3;
                    q = p == 3 || p == 6 ? 2 : p == 2 || p == 4 || p == 8 ? 3 : compound ? 3 : 2;
                }
                if (p < 2 || q < 1 || r < 1)
                    return Fail(AbcError::BadTuplet, start);
                m_tupletFactor = double(q) / p;
                m_tupletLeft = r;
            } else {
                ++i; // a slur, perhaps with its direction
                if (i < s.size() && (s[i] == '\'' || s[i] == ','))
                    ++i;
            }
            break;
        case ')':
            ++i;
            break;
        case '-':
            if (m_lastNote != SIZE_MAX && m_elements[m_lastNote].key >= 0)
                m_elements[m_lastNote].tie = true;
            ++i;
            if (i < s.size() && (s[i] == '\'' || s[i] == ','))
                ++i; // the tie's direction
            break;
        case '>':
        case '<': {
            int count = 0;
            while (i < s.size() && s[i] == c && count < 3) {
                ++count;
                ++i;
            }
            const double shorter = std::ldexp(1.0, -count);
            if (m_lastNote != SIZE_MAX && m_lastNote + 1 == m_elements.size()) {
                m_elements[m_lastNote].length *= c == '>' ? 2 - shorter : shorter;
                m_brokenNext = c == '>' ? shorter : 2 - shorter;
            }
            break;
        }
        case '.':
            if (next == '|') {
                if (!Bar(i))
                    return false;
                break;
            }
            if (next != '-' && next != '(' && next != ')')
                ++m_remarks.decorations;
            ++i;
            break;
        case '|':
        case ':':
            if (!Bar(i))
                return false;
            break;
        case '[':
            if (next == '|' || IsDigit(next)) {
                if (!Bar(i))
                    return false;
            } else if (next == '"') {
                ++i; // an ending named in words: only its words
            } else if (IsLetter(next) && i + 2 < s.size() && s[i + 2] == ':') {
                if (!InlineField(i))
                    return false;
            } else if (!Chord(i)) {
                return false;
            }
            break;
        case ']':
            return Fail(AbcError::UnexpectedBracket, i);
        case '&':
            m_overlay = true;
            m_overlaySeen = true;
            ++i;
            break;
        case 'z':
        case 'x': {
            ++i;
            double multiplier = 1;
            if (!Length(i, multiplier))
                return false;
            AddNote(-1, multiplier);
            break;
        }
        case 'Z':
        case 'X': {
            ++i;
            int bars = 1;
            if (i < s.size() && IsDigit(s[i]))
                bars = std::max(1, ReadNumber(s, i));
            AddNote(-1, BarTicks(m_currentMeter) * bars / m_unit);
            break;
        }
        default:
            if (c == '^' || c == '_' || c == '=' || (LetterIndex(c) >= 0 && IsLetter(c))) {
                int key = 0;
                int letter = 0;
                int octave = 0;
                int alter = 0;
                double multiplier = 1;
                if (!Note(i, key, letter, octave, alter, multiplier))
                    return false;
                AddNote(key, multiplier);
                m_tieLetter = letter;
                m_tieOctave = octave;
                m_tieAlter = alter;
            } else if ((c >= 'H' && c <= 'W') || (c >= 'h' && c <= 'w') || c == '~') {
                ++m_remarks.decorations; // the standard's and the user's symbols (U:)
                ++i;
            } else {
                return Fail(AbcError::UnexpectedChar, i);
            }
        }
        if (m_notes > kMaxNotes)
            return true;
    }
    return true;
}

// The order of the parts: P:ABAC, P:A2B, P:(AB)3, with dots and spaces ignored.
std::string ExpandParts(std::string_view order, size_t& i, int depth) {
    std::string out;
    while (i < order.size() && out.size() < 256) {
        const char c = order[i];
        std::string item;
        if (c == '(' && depth < 4) {
            ++i;
            item = ExpandParts(order, i, depth + 1);
        } else if (c == ')') {
            ++i;
            return out;
        } else if (IsLetter(c)) {
            item = std::string(1, c);
            ++i;
        } else {
            ++i;
            continue;
        }
        int times = 1;
        if (i < order.size() && IsDigit(order[i]))
            times = std::clamp(ReadNumber(order, i), 1, 16);
        for (int k = 0; k < times && out.size() < 256; ++k)
            out += item;
    }
    return out;
}

// The highest ending of the repeat that ends at `from`: the endings there and in the bar
// lines that follow up to the end of the last ending.
int CTuneReader::HighestVolta(size_t from, size_t end) const {
    int highest = 0;
    for (size_t j = from; j < end; ++j) {
        const Element& e = m_elements[j];
        if (e.kind != Element::Kind::Bar)
            continue;
        if (j > from && (e.startRepeat || (e.endRepeat && !e.voltas)))
            break;
        for (int n = kMaxVolta; n > highest; --n) {
            if (e.voltas & (1u << n))
                highest = n;
        }
    }
    return highest;
}

// Repeats are unfolded as they are played, not read once as written: a song has no repeat
// signs, and read once a tune would play its sections once each. In [begin, end):
// |: ... :| twice (more when endings are numbered higher), each ending on its pass, a :|
// without its |: from the start or from the last repeat's end.
void CTuneReader::Unfold(size_t begin, size_t end, std::vector<size_t>& out) {
    size_t sectionStart = begin;
    int pass = 1;
    bool arrivedBySkip = false;
    size_t steps = 0;
    const size_t maxSteps = (end - begin) * (kMaxVolta + 2) + 16;
    for (size_t i = begin; i < end && out.size() < kMaxNotes && steps++ < maxSteps;) {
        const Element& e = m_elements[i];
        const bool skipArrival = arrivedBySkip;
        arrivedBySkip = false;
        if (e.kind != Element::Kind::Bar) {
            out.push_back(i++);
            continue;
        }
        if (e.endRepeat && !skipArrival) {
            const int wanted = std::max(2, HighestVolta(i, end));
            if (pass < wanted) {
                ++pass;
                ++m_remarks.repeatsUnfolded;
                out.push_back(i);
                i = sectionStart;
                continue;
            }
            pass = 1;
            sectionStart = i + 1;
        }
        if (e.startRepeat) {
            sectionStart = i + 1;
            pass = 1;
        }
        out.push_back(i);
        if (e.voltas != 0 && (e.voltas & (1u << std::min(pass, kMaxVolta))) == 0) {
            // Not this pass's ending: on to the next ending, or past the end of this one.
            size_t j = i + 1;
            for (; j < end; ++j) {
                const Element& skipped = m_elements[j];
                if (skipped.kind != Element::Kind::Bar)
                    continue;
                if (skipped.voltas != 0 || skipped.startRepeat)
                    break;
                if (skipped.endRepeat) {
                    const bool moreEndings = j + 1 < end &&
                                             m_elements[j + 1].kind == Element::Kind::Bar &&
                                             m_elements[j + 1].voltas != 0;
                    if (!moreEndings) {
                        pass = 1;
                        sectionStart = j + 1;
                    }
                    ++j;
                    break;
                }
            }
            i = j;
            arrivedBySkip = true;
            continue;
        }
        ++i;
    }
}

std::vector<size_t> CTuneReader::PlayOrder() {
    std::vector<size_t> order;
    std::vector<std::pair<char, size_t>> parts; // each part's label and first element
    for (size_t i = 0; i < m_elements.size(); ++i) {
        if (m_elements[i].kind == Element::Kind::Part)
            parts.push_back({m_elements[i].part, i});
    }
    size_t at = 0;
    const std::string sequence = ExpandParts(m_partOrder, at, 0);
    if (sequence.empty() || parts.empty()) {
        Unfold(0, m_elements.size(), order);
        return order;
    }
    Unfold(0, parts.front().second, order); // whatever comes before the first part
    for (const char label : sequence) {
        for (size_t p = 0; p < parts.size(); ++p) {
            if (parts[p].first != label)
                continue;
            const size_t end = p + 1 < parts.size() ? parts[p + 1].second : m_elements.size();
            Unfold(parts[p].second + 1, end, order);
            break;
        }
    }
    return order;
}

bool DecodeEventsHex(const std::string& hex, Song& song) {
    const auto nibble = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    if (hex.size() % 4 != 0 || hex.size() / 4 > size_t(kMaxEvents))
        return false;
    song.count = 0;
    for (size_t i = 0; i < hex.size(); i += 4) {
        int bytes[2];
        for (int b = 0; b < 2; ++b) {
            const int high = nibble(hex[i + size_t(2 * b)]);
            const int low = nibble(hex[i + size_t(2 * b) + 1]);
            if (high < 0 || low < 0)
                return false;
            bytes[b] = high * 16 + low;
        }
        if (GetDurationTicks(uint8_t(bytes[0])) == 0 ||
            (bytes[1] > kHighestPitch && bytes[1] != kPitchTie))
            return false;
        song.events[size_t(song.count++)] = {0, uint8_t(bytes[0]), uint8_t(bytes[1])};
    }
    return true;
}

void CTuneReader::MakeEvents(const std::vector<size_t>& order, AbcTune& tune) {
    // The sounding units: tied notes of one key joined, neighbouring rests joined, each with
    // the lengths of its written notes.
    struct Unit {
        int64_t end = 0;
        int key = -1;
        std::vector<int> pieces;
        bool tieOpen = false;
        bool fractional = false; // a boundary off the ticks
    };
    std::vector<Unit> units;
    double position = 0;
    int64_t produced = 0; // ticks up to the end of the last note
    bool pickupFound = false;
    const double barTicks = BarTicks(m_meter);
    for (const size_t index : order) {
        const Element& e = m_elements[index];
        if (e.kind == Element::Kind::Bar) {
            if (e.real && !pickupFound && position > kEpsilon) {
                pickupFound = true;
                const auto ticks = int64_t(std::llround(position));
                if (m_meter.numerator > 0 && ticks < std::llround(barTicks))
                    tune.pickup = int(ticks);
            }
            continue;
        }
        if (e.kind != Element::Kind::Note)
            continue;
        position = std::min(position + e.length, 1e15);
        const auto end = int64_t(std::llround(position));
        const bool fractional = std::abs(position - double(end)) > kEpsilon;
        const int64_t length = std::min<int64_t>(end - produced, INT32_MAX / 4);
        if (length <= 0) {
            m_remarks.roundedLengths += fractional ? 1 : 0;
            continue;
        }
        produced = end;
        int key = e.key;
        if (key >= 0 && (key < kLowestNoteKey || key > kHighestNoteKey)) {
            ++m_remarks.outOfRange;
            key = -1;
        }
        Unit* last = units.empty() ? nullptr : &units.back();
        const bool joined =
            last && ((key >= 0 && last->key == key && last->tieOpen) || (key < 0 && last->key < 0));
        if (joined) {
            last->pieces.push_back(int(length));
        } else {
            units.push_back({end, key, {int(length)}});
            last = &units.back();
        }
        last->end = end;
        last->tieOpen = key >= 0 && e.tie;
        last->fractional = last->fractional || fractional;
    }
    // Each unit is what is left up to its end from where the song has got to, so the lengths
    // that had to be rounded never add up.
    Song& song = tune.song;
    int64_t songTicks = 0;
    for (const Unit& unit : units) {
        const int64_t want = std::min<int64_t>(unit.end - songTicks, INT32_MAX / 4);
        if (want <= 0) {
            ++m_remarks.roundedLengths;
            continue;
        }
        int64_t written = 0;
        for (const int piece : unit.pieces)
            written += piece;
        const std::vector<int> pieces = written == want ? unit.pieces : std::vector<int>{};
        const int before = song.count;
        const int appended = AppendUnit(song, int(want), pieces, unit.key, m_remarks.truncated);
        songTicks += appended;
        if (m_remarks.truncated)
            break;
        if (appended != want || unit.fractional)
            ++m_remarks.roundedLengths;
        else if (song.count - before > int(std::max<size_t>(1, pieces.size())))
            ++m_remarks.splitLengths;
    }
    while (song.count > 0 && song.events[size_t(song.count - 1)].pitch == kPitchTie)
        --song.count; // cut inside a tied note: the ties alone would sound nothing
    for (int i = song.count; i < kEventSlots; ++i)
        song.events[size_t(i)] = SongEvent{};

    // A KesV export carries its events: taken as they are while the notes still sound so.
    Song kept;
    if (!m_events.empty() && DecodeEventsHex(m_events, kept)) {
        std::vector<SoundingUnit> heard;
        int64_t start = 0;
        for (const Unit& unit : units) {
            heard.push_back({uint32_t(start), uint32_t(unit.end - start), unit.key});
            start = unit.end;
        }
        if (SoundTheSame(SoundingUnits(kept), heard)) {
            kept.tempo = song.tempo;
            song = kept;
            m_remarks.splitLengths = 0;
            m_remarks.roundedLengths = 0;
            m_remarks.truncated = false;
        }
    }
}

AbcReadResult CTuneReader::Read(const TuneSpan& span, AbcTune& tune, TuneTexts& texts) {
    m_texts = &texts;
    m_signature.fill(0);
    for (auto& octaves : m_barAlter)
        octaves.fill(kUnset);
    for (size_t l = span.begin; l < span.end; ++l) {
        m_line = &m_lines[l];
        const std::string_view raw = m_line->text;
        if (raw.substr(0, sizeof(kEventsDirective) - 1) == kEventsDirective) {
            for (const char c : raw.substr(sizeof(kEventsDirective) - 1)) {
                if (c != ' ' && c != '\t')
                    m_events += c;
            }
            continue;
        }
        if (raw.substr(0, 11) == "%%begintext") {
            while (l + 1 < span.end && m_lines[l + 1].text.substr(0, 9) != "%%endtext")
                ++l; // a block of text to print with the tune, not music
            continue;
        }
        const std::string_view text = WithoutComment(raw);
        if (IsBlank(text))
            continue;
        if (IsFieldLine(text)) {
            const char name = text[0];
            std::string_view value = text.substr(2);
            std::string joined;
            // A field continued on the next line: a backslash at its end.
            for (std::string_view end = Trim(value);
                 !end.empty() && end.back() == '\\' && l + 1 < span.end; end = Trim(value)) {
                joined = std::string(end.substr(0, end.size() - 1)) +
                         std::string(WithoutComment(m_lines[++l].text));
                value = joined;
            }
            m_text = value;
            m_textOffset = 2;
            const bool ok = m_inHeader ? HeaderField(name, value, 0) : BodyField(name, value, 0);
            if (!ok)
                return m_result;
            continue;
        }
        if (m_inHeader)
            EndHeader(); // music without a K: field: C major
        if (!MusicLine(text))
            return m_result;
        if (m_notes > kMaxNotes)
            break;
    }
    if (m_inHeader)
        EndHeader();
    m_line = nullptr;
    tune.number = m_number;
    tune.title = m_title;
    tune.key = m_key;
    tune.meter = m_meter;
    m_remarks.otherVoices = int(m_otherVoices.size()) + (m_overlaySeen ? 1 : 0);

    double tempo = 120;
    if (m_tempoSet) {
        const double beat = m_tempo.beat > 0 ? m_tempo.beat : m_unit / kTicksPerWhole;
        tempo = m_tempo.perMinute * beat * 4;
    }
    tune.tempo = int(std::lround(std::min(tempo, 1e6)));
    const int clamped = std::clamp(tune.tempo, 60, 378);
    m_remarks.tempoClamped = clamped != tune.tempo;
    tune.song.tempo = TempoToByte(clamped);

    MakeEvents(PlayOrder(), tune);
    const bool anyNote =
        std::any_of(tune.song.events.begin(), tune.song.events.begin() + tune.song.count,
                    [](const SongEvent& event) { return IsNotePitch(event.pitch); });
    if (!anyNote) {
        m_result = {AbcError::NoNotes, m_lines[span.begin].number, 1};
        return m_result;
    }
    ComputeStartTicks(tune.song);
    tune.remarks = m_remarks;
    return {};
}

AbcReadResult ReadTune(const std::vector<Line>& lines, const TuneSpan& span,
                       const FileDefaults& defaults, AbcTune& out, TuneTexts& texts) {
    CTuneReader reader(lines, defaults);
    AbcTune tune;
    const AbcReadResult result = reader.Read(span, tune, texts);
    if (result.error == AbcError::None)
        out = std::move(tune);
    return result;
}

} // namespace

std::vector<AbcTuneInfo> ListAbcTunes(std::string_view text) {
    const std::vector<Line> lines = SplitLines(text);
    FileDefaults defaults;
    std::vector<AbcTuneInfo> list;
    AbcTune tune;
    for (const TuneSpan& span : FindTunes(lines, defaults)) {
        AbcTuneInfo info;
        TuneTexts texts;
        info.line = lines[span.begin].number;
        info.read = ReadTune(lines, span, defaults, tune, texts);
        info.key = texts.key;
        info.meter = texts.meter;
        if (info.read.error == AbcError::None) {
            info.number = tune.number;
            info.title = tune.title;
            info.events = tune.song.count;
            info.ticks = tune.song.events[size_t(tune.song.count)].startTick;
        } else {
            // The number and title of a tune that cannot be read, from its header lines.
            for (size_t l = span.begin; l < span.end; ++l) {
                const std::string_view field = lines[l].text;
                size_t i = 0;
                if (field.substr(0, 2) == "X:")
                    info.number = ReadNumber(Trim(field.substr(2)), i);
                else if (field.substr(0, 2) == "T:" && info.title.empty())
                    info.title = DecodeText(Trim(WithoutComment(field.substr(2))));
                else if (field.substr(0, 2) == "K:")
                    break;
            }
        }
        list.push_back(std::move(info));
    }
    return list;
}

AbcReadResult DecodeAbc(std::string_view text, AbcTune& out, int index) {
    const std::vector<Line> lines = SplitLines(text);
    FileDefaults defaults;
    const std::vector<TuneSpan> tunes = FindTunes(lines, defaults);
    if (tunes.empty())
        return {AbcError::NoTune, 0, 0};
    if (index < 0 || size_t(index) >= tunes.size())
        return {AbcError::NoSuchTune, 0, 0};
    TuneTexts texts;
    return ReadTune(lines, tunes[size_t(index)], defaults, out, texts);
}

int FindAbcTune(std::string_view text, int number) {
    const std::vector<Line> lines = SplitLines(text);
    FileDefaults defaults;
    const std::vector<TuneSpan> tunes = FindTunes(lines, defaults);
    for (size_t t = 0; t < tunes.size(); ++t) {
        const std::string_view field = lines[tunes[t].begin].text;
        size_t i = 0;
        if (field.substr(0, 2) == "X:" && ReadNumber(Trim(field.substr(2)), i) == number && i > 0)
            return int(t);
    }
    return -1;
}

bool LooksLikeAbc(std::string_view text) {
    for (const Line& line : SplitLines(text)) {
        if (IsBlank(line.text))
            continue;
        const std::string_view start = Trim(line.text);
        return start.size() >= 2 && start[0] == 'X' && start[1] == ':';
    }
    return false;
}
