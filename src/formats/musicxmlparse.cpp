// A MusicXML document parsed into what the import needs of it, element by element as the
// XML reader hands them over.
#include "musicxmlparse.h"

#include "musicxmlnames.h"
#include "xmlreader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <unordered_map>

namespace {

// Titles and fields are read this far; a number this long is none.
constexpr size_t kMaxTextBytes = 64 * 1024;

// The elements the import reads, each known by where it stands.
enum class Tag : uint8_t {
    Other,
    Score,
    Work,
    WorkTitle,
    MovementTitle,
    Identification,
    Miscellaneous,
    Field,
    PartList,
    ScorePart,
    PartName,
    Part,
    Measure,
    Note,
    Chord,
    Grace,
    Unpitched,
    Pitch,
    Step,
    Alter,
    Octave,
    Duration,
    Voice,
    Tie,
    Notations,
    Tied,
    Backup,
    Forward,
    Attributes,
    Divisions,
    Transpose,
    Chromatic,
    OctaveChange,
    Time,
    Beats,
    Key,
    Fifths,
    Mode,
    BeatType,
    Tempo, // a direction, or anything inside one: metronome marks and sounds anywhere in it
    Sound,
    BeatUnit,
    BeatUnitDot,
    PerMinute,
};

Tag ChildTag(Tag parent, std::string_view name) {
    switch (parent) {
    case Tag::Score:
        return name == "work"             ? Tag::Work
               : name == "movement-title" ? Tag::MovementTitle
               : name == "identification" ? Tag::Identification
               : name == "part-list"      ? Tag::PartList
               : name == "part"           ? Tag::Part
                                          : Tag::Other;
    case Tag::Work:
        return name == "work-title" ? Tag::WorkTitle : Tag::Other;
    case Tag::Identification:
        return name == "miscellaneous" ? Tag::Miscellaneous : Tag::Other;
    case Tag::Miscellaneous:
        return Tag::Field;
    case Tag::PartList:
        return name == "score-part" ? Tag::ScorePart : Tag::Other;
    case Tag::ScorePart:
        return name == "part-name" ? Tag::PartName : Tag::Other;
    case Tag::Part:
        return name == "measure" ? Tag::Measure : Tag::Other;
    case Tag::Measure:
        return name == "note"         ? Tag::Note
               : name == "backup"     ? Tag::Backup
               : name == "forward"    ? Tag::Forward
               : name == "attributes" ? Tag::Attributes
               : name == "direction"  ? Tag::Tempo
               : name == "sound"      ? Tag::Sound
                                      : Tag::Other;
    case Tag::Note:
        return name == "pitch"       ? Tag::Pitch
               : name == "duration"  ? Tag::Duration
               : name == "voice"     ? Tag::Voice
               : name == "chord"     ? Tag::Chord
               : name == "tie"       ? Tag::Tie
               : name == "notations" ? Tag::Notations
               : name == "grace"     ? Tag::Grace
               : name == "unpitched" ? Tag::Unpitched
                                     : Tag::Other;
    case Tag::Pitch:
        return name == "step"     ? Tag::Step
               : name == "alter"  ? Tag::Alter
               : name == "octave" ? Tag::Octave
                                  : Tag::Other;
    case Tag::Notations:
        return name == "tied" ? Tag::Tied : Tag::Other;
    case Tag::Backup:
    case Tag::Forward:
        return name == "duration" ? Tag::Duration : Tag::Other;
    case Tag::Attributes:
        return name == "divisions"   ? Tag::Divisions
               : name == "transpose" ? Tag::Transpose
               : name == "time"      ? Tag::Time
               : name == "key"       ? Tag::Key
                                     : Tag::Other;
    case Tag::Transpose:
        return name == "chromatic"       ? Tag::Chromatic
               : name == "octave-change" ? Tag::OctaveChange
                                         : Tag::Other;
    case Tag::Time:
        return name == "beats" ? Tag::Beats : name == "beat-type" ? Tag::BeatType : Tag::Other;
    case Tag::Key:
        return name == "fifths" ? Tag::Fifths : name == "mode" ? Tag::Mode : Tag::Other;
    case Tag::Tempo:
    case Tag::Sound:
        return name == "sound"           ? Tag::Sound
               : name == "beat-unit"     ? Tag::BeatUnit
               : name == "beat-unit-dot" ? Tag::BeatUnitDot
               : name == "per-minute"    ? Tag::PerMinute
                                         : Tag::Tempo;
    default:
        return Tag::Other;
    }
}

// Elements whose text is read: only their own, or (titles, names) that of everything inside.
enum class TextKind { None, Own, Whole };

TextKind TextOf(Tag tag) {
    switch (tag) {
    case Tag::WorkTitle:
    case Tag::MovementTitle:
    case Tag::PartName:
        return TextKind::Whole;
    case Tag::Field:
    case Tag::Step:
    case Tag::Alter:
    case Tag::Octave:
    case Tag::Duration:
    case Tag::Voice:
    case Tag::Divisions:
    case Tag::Chromatic:
    case Tag::OctaveChange:
    case Tag::Beats:
    case Tag::BeatType:
    case Tag::Fifths:
    case Tag::Mode:
    case Tag::BeatUnit:
    case Tag::PerMinute:
        return TextKind::Own;
    default:
        return TextKind::None;
    }
}

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n";
    const size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// A number written whole (a comment inside it is no end of it); nothing when it is none.
template <typename Number> std::optional<Number> ToNumber(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(value))
            return std::nullopt;
    }
    return value;
}

class CScoreReader : public CXmlReader {
public:
    CScoreReader(int chosenPart, ParsedScore& out) : m_out(out), m_chosen(chosenPart) {}

    MusicXmlReadResult Read(const QByteArray& xml, const std::stop_token& stop) {
        const MusicXmlReadResult result = Parse(xml, stop);
        if (result.error == MusicXmlError::None && m_out.parts.empty())
            return {MusicXmlError::NoParts};
        return result;
    }

protected:
    void OnStartElement(std::string_view name, const char* const* attributes) override {
        Tag tag = Tag::Score;
        if (m_tags.empty()) {
            if (name == "score-timewise")
                return Refuse(MusicXmlError::Timewise);
            if (name != "score-partwise")
                return Refuse(MusicXmlError::WrongRoot);
        } else {
            tag = ChildTag(m_tags.back(), name);
        }
        const bool atMeasure = !m_tags.empty() && m_tags.back() == Tag::Measure;
        m_tags.push_back(tag);
        if (const TextKind kind = TextOf(tag); kind != TextKind::None) {
            m_text.clear();
            m_textDepth = Depth();
            m_wholeText = kind == TextKind::Whole;
        }
        switch (tag) {
        case Tag::Field: {
            const std::string_view field = Attribute(attributes, "name");
            m_field = field == kEventsField     ? &m_out.eventsField
                      : field == kTempoField    ? &m_out.tempoField
                      : field == kOwnMusicField ? &m_out.ownMusicField
                                                : nullptr;
            m_out.hasOwnMusicField |= field == kOwnMusicField;
            break;
        }
        case Tag::ScorePart:
            m_partId = Attribute(attributes, "id");
            m_partName.clear();
            break;
        case Tag::Part:
            StartPart(Attribute(attributes, "id"));
            break;
        case Tag::Measure:
            m_measureStart = m_measureEnd = m_position;
            m_pickupMeasure =
                m_full && m_measures++ == 0 && Attribute(attributes, "implicit") == "yes";
            break;
        case Tag::Note:
            m_note = {};
            break;
        case Tag::Chord:
            m_note.chord = true;
            break;
        case Tag::Grace:
            m_note.grace = true;
            break;
        case Tag::Unpitched:
            m_note.unpitched = true;
            break;
        case Tag::Pitch:
            m_note.pitched = true;
            break;
        case Tag::Tie:
        case Tag::Tied:
            if (const std::string_view type = Attribute(attributes, "type"); type == "start")
                m_note.read.tieStart = true;
            else if (type == "stop")
                m_note.read.tieStop = true;
            break;
        case Tag::Backup:
        case Tag::Forward:
            m_move = 0;
            m_moveCut = false;
            break;
        case Tag::Transpose:
            m_chromatic = m_octaves = 0;
            break;
        case Tag::Time:
            m_beats = m_beatType = 0;
            break;
        case Tag::Key:
            m_keyFifths.reset();
            m_keyMinor = false;
            break;
        case Tag::Tempo:
        case Tag::Sound:
            if (atMeasure) {
                m_sound = m_mark = 0;
                m_beat = 1;
            }
            if (tag == Tag::Sound) {
                if (const auto tempo = ToNumber<double>(Attribute(attributes, "tempo"));
                    tempo && *tempo > 0)
                    m_sound = *tempo;
            }
            break;
        case Tag::BeatUnitDot:
            m_beat *= 1.5;
            break;
        default:
            break;
        }
    }

    void OnText(std::string_view text) override {
        if (m_textDepth == 0 || (Depth() != m_textDepth && !m_wholeText))
            return;
        m_text.append(text.substr(0, kMaxTextBytes - std::min(kMaxTextBytes, m_text.size())));
    }

    void OnEndElement() override {
        const Tag tag = m_tags.back();
        m_tags.pop_back();
        const std::string_view text = m_textDepth == Depth() ? std::string_view(m_text) : "";
        switch (tag) {
        case Tag::WorkTitle:
            m_out.workTitle = QString::fromUtf8(text.data(), qsizetype(text.size()));
            break;
        case Tag::MovementTitle:
            m_out.movementTitle = QString::fromUtf8(text.data(), qsizetype(text.size()));
            break;
        case Tag::Field:
            if (m_field)
                *m_field = QString::fromUtf8(text.data(), qsizetype(text.size()));
            break;
        case Tag::PartName:
            m_partName = text;
            break;
        case Tag::ScorePart:
            m_partNames[m_partId] = m_partName;
            break;
        case Tag::Part:
            FinishPart();
            break;
        case Tag::Measure:
            m_position = m_measureEnd;
            if (m_pickupMeasure)
                m_out.pickup = std::llround(m_measureEnd - m_measureStart);
            break;
        case Tag::Note:
            FinishNote();
            break;
        case Tag::Step:
            m_note.step = Trimmed(text).size() == 1 ? Trimmed(text)[0] : 0;
            break;
        case Tag::Alter:
            m_note.alter = ToNumber<double>(text).value_or(0);
            break;
        case Tag::Octave:
            m_note.octave = ToNumber<int>(text).value_or(0);
            break;
        case Tag::Duration:
            if (m_tags.back() == Tag::Note)
                m_note.read.length = ToTicks(text, m_note.cut);
            else
                m_move = ToTicks(text, m_moveCut);
            break;
        case Tag::Voice:
            m_note.voice = Trimmed(text);
            break;
        case Tag::Backup:
            m_position -= m_move;
            break;
        case Tag::Forward:
            m_position += m_move;
            m_out.counts.lengthsCut += m_full && m_moveCut ? 1 : 0;
            break;
        case Tag::Divisions:
            if (const auto divisions = ToNumber<double>(text); divisions && *divisions > 0)
                m_divisions = *divisions;
            break;
        case Tag::Chromatic:
            m_chromatic = ToNumber<int>(text).value_or(0);
            break;
        case Tag::OctaveChange:
            m_octaves = ToNumber<int>(text).value_or(0);
            break;
        case Tag::Transpose:
            // A transposing instrument's score is written off its sound; the song keeps the
            // sound.
            m_transpose = std::clamp(int64_t(m_chromatic) + 12 * int64_t(m_octaves), int64_t(-48),
                                     int64_t(48));
            break;
        case Tag::Beats:
            m_beats = ToNumber<int>(text).value_or(0);
            break;
        case Tag::BeatType:
            m_beatType = ToNumber<int>(text).value_or(0);
            break;
        case Tag::Fifths:
            m_keyFifths = ToNumber<int>(text);
            break;
        case Tag::Mode:
            m_keyMinor = Trimmed(text) == "minor" || Trimmed(text) == "aeolian";
            break;
        case Tag::Key:
            // A traditional key signature; a key of other steps is left out.
            if (m_full && !m_out.key && m_keyFifths && *m_keyFifths >= -7 && *m_keyFifths <= 7)
                m_out.key = SongKey{*m_keyFifths, m_keyMinor};
            break;
        case Tag::Time:
            if (m_full && m_out.counts.timeNumerator == 0) {
                m_out.counts.timeNumerator = std::max(0, m_beats);
                m_out.counts.timeDenominator = std::max(0, m_beatType);
            }
            break;
        case Tag::BeatUnit:
            for (int t = 0; t < kNoteTypeCount; ++t) {
                if (Trimmed(text) == kNoteTypeNames[t])
                    m_beat = 4.0 / double(1 << t);
            }
            break;
        case Tag::PerMinute:
            m_mark = ToNumber<double>(text).value_or(0) * m_beat;
            break;
        default:
            break;
        }
        if (m_textDepth == Depth())
            m_textDepth = 0;
        if (m_tags.empty() || m_tags.back() != Tag::Measure)
            return;
        // The end of an element of a measure: no backup reaches before the bar, and the bar
        // lasts as far as anything in it went.
        if ((tag == Tag::Tempo || tag == Tag::Sound)) {
            const double tempo = m_sound > 0 ? m_sound : m_mark;
            if (std::isfinite(tempo) && tempo > 0)
                m_partTempos.push_back(tempo);
        }
        m_position = std::max(m_position, m_measureStart);
        m_measureEnd = std::max(m_measureEnd, m_position);
    }

private:
    struct NoteRead {
        ReadNote read;
        bool chord = false;
        bool grace = false;
        bool unpitched = false;
        bool pitched = false;
        bool cut = false; // its duration was longer than any song
        std::string voice = "1";
        char step = 0;
        double alter = 0;
        int octave = 4;
    };

    // A duration in ticks (0: none or not above 0); one longer than any song is cut to
    // kLongestReadTicks and says so in `cut`.
    double ToTicks(std::string_view text, bool& cut) const {
        const double ticks = ToNumber<double>(text).value_or(0) * kTicksPerQuarter / m_divisions;
        cut = !(ticks <= kLongestReadTicks);
        return cut ? kLongestReadTicks : std::max(ticks, 0.0);
    }

    void StartPart(std::string_view id) {
        m_part = {};
        if (const auto named = m_partNames.find(std::string(id)); named != m_partNames.end())
            m_part.name = named->second;
        m_part.lowestKey = 127;
        m_full = int(m_out.parts.size()) == m_chosen;
        m_partTempos.clear();
        m_voice.clear();
        m_divisions = 1;
        m_transpose = 0;
        m_position = 0;
        m_measures = 0;
    }

    // The key signature a transposed score sounds in: its tonic moved by `semitones`.
    static int SoundingFifths(int fifths, int semitones) {
        int moved = fifths + ((7 * semitones) % 12 + 12) % 12;
        while (moved > 7)
            moved -= 12;
        return moved;
    }

    void FinishPart() {
        if (m_full && m_out.key && m_transpose != 0)
            m_out.key->fifths = SoundingFifths(m_out.key->fifths, int(m_transpose));
        if (m_part.notes == 0)
            m_part.lowestKey = m_part.highestKey = 0;
        m_out.parts.push_back(std::move(m_part));
        if (m_full)
            m_out.chosenTempos = m_partTempos;
        else if (m_out.otherTempos.empty())
            m_out.otherTempos = m_partTempos;
    }

    void FinishNote() {
        NoteRead& note = m_note;
        ReadNote& read = note.read;
        if (note.pitched) {
            static constexpr int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A to G
            const int letter = (note.step | 0x20) - 'a';
            const double key = 12.0 * (double(note.octave) + 1) +
                               (letter >= 0 && letter < 7 ? kSemitones[letter] : 0) + note.alter;
            read.key = int(std::clamp(std::lround(std::clamp(key, -1000.0, 1000.0)) + m_transpose,
                                      -1L, 1000L));
            // The part's range as the part table shows it: MIDI keys.
            ++m_part.notes;
            m_part.lowestKey = std::min(m_part.lowestKey, std::clamp(read.key, 0, 127));
            m_part.highestKey = std::max(m_part.highestKey, std::clamp(read.key, 0, 127));
        }
        if (note.grace) {
            m_out.counts.graceNotes += m_full && (m_voice.empty() || note.voice == m_voice) ? 1 : 0;
            return;
        }
        read.start = note.chord ? m_chordStart : m_position;
        if (!note.chord) {
            m_chordStart = m_position;
            m_position += read.length;
        }
        if (!m_full)
            return;
        if (m_voice.empty())
            m_voice = note.voice;
        MusicXmlImport& counts = m_out.counts;
        if (note.voice != m_voice) {
            counts.otherVoices += note.pitched || note.unpitched ? 1 : 0;
            return;
        }
        counts.unpitched += note.unpitched ? 1 : 0;
        counts.lengthsCut += note.cut ? 1 : 0;
        if (note.pitched && (read.key < kLowestNoteKey || read.key > kHighestNoteKey)) {
            ++counts.outOfRange;
            read.key = -1;
        }
        std::vector<ReadNote>& notes = m_out.notes;
        if (note.chord && !notes.empty() && notes.back().start == read.start) {
            ++counts.chordNotes;
            if (read.key > notes.back().key)
                notes.back() = read;
            return;
        }
        notes.push_back(read);
    }

    ParsedScore& m_out;
    int m_chosen;
    std::vector<Tag> m_tags; // the open elements
    std::string m_text;      // of the element at m_textDepth
    int m_textDepth = 0;     // 0: no text is read
    bool m_wholeText = false;
    QString* m_field = nullptr;
    std::string m_partId;
    std::string m_partName;
    std::unordered_map<std::string, std::string> m_partNames; // by id
    MusicXmlPart m_part;
    bool m_full = false; // reading the chosen part
    int m_measures = 0;  // read of the current part
    bool m_pickupMeasure = false;
    std::optional<int> m_keyFifths;
    bool m_keyMinor = false;
    std::vector<double> m_partTempos;
    std::string m_voice; // the voice read: the chosen part's first note's
    double m_divisions = 1;
    int64_t m_transpose = 0; // semitones from the written to the sounding pitch
    int m_chromatic = 0;
    int m_octaves = 0;
    int m_beats = 0;
    int m_beatType = 0;
    double m_position = 0; // ticks
    double m_chordStart = 0;
    double m_measureStart = 0;
    double m_measureEnd = 0;
    double m_move = 0; // a backup's or forward's duration
    bool m_moveCut = false;
    double m_sound = 0; // the tempo marks of one direction
    double m_mark = 0;
    double m_beat = 1;
    NoteRead m_note;
};

} // namespace

MusicXmlReadResult ParseScore(const QByteArray& xml, int chosenPart, ParsedScore& out,
                              const std::stop_token& stop) {
    out = {};
    return CScoreReader(chosenPart, out).Read(xml, stop);
}
