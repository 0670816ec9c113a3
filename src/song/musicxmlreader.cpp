// A MusicXML score's melody read into a song.
#include "cp932.h"
#include "musicxml.h"
#include "musicxmlnames.h"
#include "notation.h"
#include "songcodec.h"

#include <QBuffer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kLowestKey = 1 + 9; // the pitches a song holds, as MIDI keys
constexpr int kHighestKey = 0x5F + 9;
constexpr double kSlowestTempo = 60;
constexpr double kFastestTempo = 378;

// A note (or rest, key -1) of the voice read, in ticks from the start of the part.
struct ReadNote {
    double start = 0;
    double length = 0;
    int key = -1;
    bool tieStart = false;
    bool tieStop = false;
};

// A sounding unit as it was written: its tied notes' (or neighbouring rests') lengths.
struct ReadUnit {
    int64_t start = 0;
    int64_t length = 0;
    int key = -1;
    std::vector<int> pieces;
    bool tieOpen = false;
};

class CScoreReader {
public:
    // Read through a device, the document is decoded a block at a time rather than whole.
    CScoreReader(const QByteArray& xml, int chosenPart) : m_chosen(chosenPart) {
        m_buffer.setData(xml);
        m_buffer.open(QIODevice::ReadOnly);
        m_xml.setDevice(&m_buffer);
    }

    MusicXmlReadResult Read() {
        while (!m_xml.atEnd() && !m_xml.isStartElement()) {
            m_xml.readNext();
            if (m_xml.isDTD() && !m_xml.entityDeclarations().isEmpty())
                return {MusicXmlError::DeclaresEntities, m_xml.lineNumber()};
        }
        if (m_xml.hasError())
            return Malformed();
        if (m_xml.name() == QLatin1String("score-timewise"))
            return {MusicXmlError::Timewise};
        if (m_xml.name() != QLatin1String("score-partwise"))
            return {MusicXmlError::WrongRoot};
        while (m_xml.readNextStartElement()) {
            const auto name = m_xml.name();
            if (name == QLatin1String("work"))
                ReadChildText("work-title", m_workTitle);
            else if (name == QLatin1String("movement-title"))
                m_movementTitle = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (name == QLatin1String("identification"))
                ReadIdentification();
            else if (name == QLatin1String("part-list"))
                ReadPartList();
            else if (name == QLatin1String("part"))
                ReadPart();
            else
                m_xml.skipCurrentElement();
        }
        if (m_xml.hasError())
            return Malformed();
        if (m_parts.empty())
            return {MusicXmlError::NoParts};
        return {};
    }

    std::vector<MusicXmlPart> m_parts;
    std::vector<ReadNote> m_notes;      // of the chosen part's voice
    std::vector<double> m_chosenTempos; // in the order of the chosen part
    std::vector<double> m_otherTempos;  // of the first other part that has any
    QString m_workTitle;
    QString m_movementTitle;
    QString m_eventsField;
    QString m_tempoField;
    MusicXmlImport m_counts;

private:
    MusicXmlReadResult Malformed() const { return {MusicXmlError::Malformed, m_xml.lineNumber()}; }

    void ReadChildText(const char* child, QString& text) {
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String(child))
                text = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else
                m_xml.skipCurrentElement();
        }
    }

    void ReadIdentification() {
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != QLatin1String("miscellaneous")) {
                m_xml.skipCurrentElement();
                continue;
            }
            while (m_xml.readNextStartElement()) {
                const QString field = m_xml.attributes().value(QLatin1String("name")).toString();
                const QString text = m_xml.readElementText(QXmlStreamReader::SkipChildElements);
                if (field == QLatin1String(kEventsField))
                    m_eventsField = text;
                else if (field == QLatin1String(kTempoField))
                    m_tempoField = text;
            }
        }
    }

    void ReadPartList() {
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != QLatin1String("score-part")) {
                m_xml.skipCurrentElement();
                continue;
            }
            const QString id = m_xml.attributes().value(QLatin1String("id")).toString();
            QString name;
            ReadChildText("part-name", name);
            m_partNames.append({id, name});
        }
    }

    void ReadPart() {
        const QString id = m_xml.attributes().value(QLatin1String("id")).toString();
        MusicXmlPart part;
        for (const auto& [known, name] : m_partNames) {
            if (known == id)
                part.name = name.toStdString();
        }
        part.lowestKey = 127;
        m_full = int(m_parts.size()) == m_chosen;
        m_partTempos.clear();
        m_voice.clear();
        m_divisions = 1;
        m_position = 0;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("measure"))
                ReadMeasure(part);
            else
                m_xml.skipCurrentElement();
        }
        if (part.notes == 0)
            part.lowestKey = part.highestKey = 0;
        m_parts.push_back(part);
        if (m_full)
            m_chosenTempos = m_partTempos;
        else if (m_otherTempos.empty())
            m_otherTempos = m_partTempos;
    }

    void ReadMeasure(MusicXmlPart& part) {
        const double start = m_position;
        double end = m_position;
        while (m_xml.readNextStartElement()) {
            const auto name = m_xml.name();
            if (name == QLatin1String("note"))
                ReadNoteElement(part);
            else if (name == QLatin1String("backup"))
                m_position -= ReadDuration();
            else if (name == QLatin1String("forward"))
                m_position += ReadDuration();
            else if (name == QLatin1String("attributes"))
                ReadAttributes();
            else if (name == QLatin1String("direction") || name == QLatin1String("sound"))
                ReadTempoMarks();
            else
                m_xml.skipCurrentElement();
            m_position = std::max(m_position, start);
            end = std::max(end, m_position);
        }
        m_position = end;
    }

    // The duration child of a backup or forward, in ticks.
    double ReadDuration() {
        double ticks = 0;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("duration"))
                ReadText([&](QStringView text) { ticks = ToTicks(text); });
            else
                m_xml.skipCurrentElement();
        }
        return ticks;
    }

    // Hands the text of the element just started to `use` as a view, without a copy (notes
    // are read by the thousand), and leaves the reader at the element's end.
    template <typename Use> void ReadText(Use use) {
        m_xml.readNext();
        use(m_xml.isCharacters() ? m_xml.text().trimmed() : QStringView());
        while (!m_xml.isEndElement() && !m_xml.atEnd()) {
            if (m_xml.isStartElement())
                m_xml.skipCurrentElement();
            m_xml.readNext();
        }
    }

    double ToTicks(QStringView duration) const {
        const double value = duration.trimmed().toDouble();
        return std::isfinite(value) && value > 0 ? value * kTicksPerQuarter / m_divisions : 0;
    }

    void ReadAttributes() {
        while (m_xml.readNextStartElement()) {
            const auto name = m_xml.name();
            if (name == QLatin1String("divisions")) {
                const double divisions = m_xml.readElementText().trimmed().toDouble();
                if (std::isfinite(divisions) && divisions > 0)
                    m_divisions = divisions;
            } else if (name == QLatin1String("time") && m_counts.timeNumerator == 0 && m_full) {
                QString beats;
                QString beatType;
                while (m_xml.readNextStartElement()) {
                    if (m_xml.name() == QLatin1String("beats"))
                        beats = m_xml.readElementText();
                    else if (m_xml.name() == QLatin1String("beat-type"))
                        beatType = m_xml.readElementText();
                    else
                        m_xml.skipCurrentElement();
                }
                m_counts.timeNumerator = std::max(0, beats.trimmed().toInt());
                m_counts.timeDenominator = std::max(0, beatType.trimmed().toInt());
            } else {
                m_xml.skipCurrentElement();
            }
        }
    }

    // Metronome marks and sound tempos anywhere inside; a sound tempo wins over the mark
    // beside it.
    void ReadTempoMarks() {
        double sound = 0;
        double mark = 0;
        double beat = 1;
        const auto readSound = [&] {
            const double tempo = m_xml.attributes().value(QLatin1String("tempo")).toDouble();
            if (std::isfinite(tempo) && tempo > 0)
                sound = tempo;
        };
        if (m_xml.name() == QLatin1String("sound"))
            readSound();
        int depth = 1;
        while (depth > 0 && !m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isEndElement()) {
                --depth;
                continue;
            }
            if (!m_xml.isStartElement())
                continue;
            ++depth;
            const auto name = m_xml.name();
            if (name == QLatin1String("sound")) {
                readSound();
            } else if (name == QLatin1String("beat-unit")) {
                const QString unit = m_xml.readElementText();
                --depth;
                for (int t = 0; t < kNoteTypeCount; ++t) {
                    if (unit == QLatin1String(kNoteTypeNames[t]))
                        beat = 4.0 / double(1 << t);
                }
            } else if (name == QLatin1String("beat-unit-dot")) {
                beat *= 1.5;
            } else if (name == QLatin1String("per-minute")) {
                mark = m_xml.readElementText().trimmed().toDouble() * beat;
                --depth;
            }
        }
        const double tempo = sound > 0 ? sound : mark;
        if (std::isfinite(tempo) && tempo > 0)
            m_partTempos.push_back(tempo);
    }

    void ReadNoteElement(MusicXmlPart& part) {
        ReadNote note;
        bool chord = false;
        bool grace = false;
        bool unpitched = false;
        bool pitched = false;
        static const QString kFirstVoice = QStringLiteral("1");
        QString voice = kFirstVoice;
        QChar step;
        double alter = 0;
        int octave = 4;
        while (m_xml.readNextStartElement()) {
            const auto name = m_xml.name();
            if (name == QLatin1String("chord")) {
                chord = true;
                m_xml.skipCurrentElement();
            } else if (name == QLatin1String("grace")) {
                grace = true;
                m_xml.skipCurrentElement();
            } else if (name == QLatin1String("unpitched")) {
                unpitched = true;
                m_xml.skipCurrentElement();
            } else if (name == QLatin1String("pitch")) {
                pitched = true;
                while (m_xml.readNextStartElement()) {
                    const auto child = m_xml.name();
                    if (child == QLatin1String("step"))
                        ReadText(
                            [&](QStringView text) { step = text.size() == 1 ? text[0] : QChar(); });
                    else if (child == QLatin1String("alter"))
                        ReadText([&](QStringView text) { alter = text.toDouble(); });
                    else if (child == QLatin1String("octave"))
                        ReadText([&](QStringView text) { octave = text.toInt(); });
                    else
                        m_xml.skipCurrentElement();
                }
            } else if (name == QLatin1String("duration")) {
                ReadText([&](QStringView text) { note.length = ToTicks(text); });
            } else if (name == QLatin1String("voice")) {
                ReadText([&](QStringView text) {
                    if (text != voice)
                        voice = text.toString();
                });
            } else if (name == QLatin1String("tie")) {
                ReadTieType(note);
                m_xml.skipCurrentElement();
            } else if (name == QLatin1String("notations")) {
                while (m_xml.readNextStartElement()) {
                    if (m_xml.name() == QLatin1String("tied"))
                        ReadTieType(note);
                    m_xml.skipCurrentElement();
                }
            } else {
                m_xml.skipCurrentElement();
            }
        }
        if (pitched) {
            static constexpr int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A to G
            const int letter = step.toUpper().unicode() - 'A';
            const double key = 12.0 * (octave + 1) +
                               (letter >= 0 && letter < 7 ? kSemitones[letter] : 0) +
                               (std::isfinite(alter) ? alter : 0);
            note.key = int(std::clamp(std::lround(key), -1L, 1000L));
            ++part.notes;
            part.lowestKey = std::min(part.lowestKey, note.key);
            part.highestKey = std::max(part.highestKey, note.key);
        }
        if (grace) {
            m_counts.graceNotes += m_full && (m_voice.isEmpty() || voice == m_voice) ? 1 : 0;
            return;
        }
        note.start = chord ? m_chordStart : m_position;
        if (!chord) {
            m_chordStart = m_position;
            m_position += note.length;
        }
        if (!m_full)
            return;
        if (m_voice.isEmpty())
            m_voice = voice;
        if (voice != m_voice) {
            m_counts.otherVoices += pitched || unpitched ? 1 : 0;
            return;
        }
        if (unpitched)
            ++m_counts.unpitched;
        if (pitched && (note.key < kLowestKey || note.key > kHighestKey)) {
            ++m_counts.outOfRange;
            note.key = -1;
        }
        if (chord && !m_notes.empty() && m_notes.back().start == note.start) {
            ++m_counts.chordNotes;
            if (note.key > m_notes.back().key)
                m_notes.back() = note;
            return;
        }
        m_notes.push_back(note);
    }

    void ReadTieType(ReadNote& note) {
        const auto type = m_xml.attributes().value(QLatin1String("type"));
        if (type == QLatin1String("start"))
            note.tieStart = true;
        else if (type == QLatin1String("stop"))
            note.tieStop = true;
    }

    QBuffer m_buffer;
    QXmlStreamReader m_xml;
    int m_chosen;
    bool m_full = false; // reading the chosen part
    QList<std::pair<QString, QString>> m_partNames;
    std::vector<double> m_partTempos;
    QString m_voice; // the voice read: the chosen part's first note's
    double m_divisions = 1;
    double m_position = 0; // ticks
    double m_chordStart = 0;
};

std::vector<ReadUnit> GatherUnits(const std::vector<ReadNote>& notes) {
    std::vector<ReadUnit> units;
    int64_t cursor = 0;
    const auto add = [&units](int64_t start, int64_t length, int key, bool tieStart, bool tieStop) {
        ReadUnit* last = units.empty() ? nullptr : &units.back();
        const bool tied = last && key >= 0 && last->key == key && (last->tieOpen || tieStop);
        if (last && (tied || (key < 0 && last->key < 0))) {
            last->length += length;
            last->pieces.push_back(int(length));
            last->tieOpen = tieStart;
            return;
        }
        units.push_back({start, length, key, {int(length)}, key >= 0 && tieStart});
    };
    for (const ReadNote& note : notes) {
        const int64_t end = std::llround(note.start + note.length);
        const int64_t start = std::max(cursor, int64_t(std::llround(note.start)));
        if (end <= start)
            continue;
        if (start > cursor)
            add(cursor, start - cursor, -1, false, false);
        add(start, end - start, note.key, note.tieStart, note.tieStop);
        cursor = end;
    }
    return units;
}

// The events a KesV export carried, when they are whole and valid.
bool DecodeEventsField(const QString& text, Song& song) {
    if (text.size() % 4 != 0 || text.size() / 4 > kMaxEvents)
        return false;
    song.count = 0;
    for (qsizetype i = 0; i < text.size(); i += 4) {
        bool codeOk = false;
        bool pitchOk = false;
        const uint code = QStringView(text).mid(i, 2).toUInt(&codeOk, 16);
        const uint pitch = QStringView(text).mid(i + 2, 2).toUInt(&pitchOk, 16);
        if (!codeOk || !pitchOk || GetDurationTicks(uint8_t(code)) == 0 ||
            (pitch > 0x5F && pitch != kPitchTie))
            return false;
        song.events[size_t(song.count++)] = {0, uint8_t(code), uint8_t(pitch)};
    }
    return true;
}

std::string TitleToCp932(const QString& text) {
    std::string out;
    for (const QChar& c : text) {
        const std::optional<std::string> one =
            c.isSurrogate() ? std::nullopt : EncodeCp932(QString(c));
        out += one ? *one : std::string("?");
    }
    return TruncateTitle(out);
}

} // namespace

MusicXmlReadResult ListMusicXmlParts(const QByteArray& xml, std::vector<MusicXmlPart>& out) {
    if (xml.size() > kMaxMusicXmlBytes)
        return {MusicXmlError::TooLarge};
    CScoreReader reader(xml, -1);
    const MusicXmlReadResult result = reader.Read();
    if (result.error == MusicXmlError::None)
        out = reader.m_parts;
    return result;
}

MusicXmlReadResult DecodeMusicXml(const QByteArray& xml, MusicXmlImport& out, int part) {
    if (xml.size() > kMaxMusicXmlBytes)
        return {MusicXmlError::TooLarge};
    CScoreReader reader(xml, part);
    if (const MusicXmlReadResult result = reader.Read(); result.error != MusicXmlError::None)
        return result;
    if (part < 0 || part >= int(reader.m_parts.size()))
        return {MusicXmlError::NoSuchPart};
    MusicXmlImport read = reader.m_counts;
    read.part = part;
    read.parts = int(reader.m_parts.size());

    const std::vector<ReadUnit> units = GatherUnits(reader.m_notes);
    if (std::none_of(units.begin(), units.end(), [](const ReadUnit& u) { return u.key >= 0; }))
        return {MusicXmlError::NoNotes};
    int64_t produced = 0;
    std::vector<SoundingUnit> sounding;
    for (const ReadUnit& unit : units) {
        const bool last = &unit == &units.back();
        const int64_t length = unit.start + unit.length - produced;
        int64_t sum = 0;
        for (int piece : unit.pieces)
            sum += piece;
        const std::vector<int> pieces = sum == length ? unit.pieces : std::vector<int>{};
        const int appended = AppendUnit(read.song, int(std::min<int64_t>(length, INT32_MAX)),
                                        pieces, unit.key, read.truncated);
        // The rests that fill the last bar need not come out exactly.
        read.lengthsRounded += appended != length && !read.truncated && (!last || unit.key >= 0);
        produced += appended;
        sounding.push_back({uint32_t(unit.start), uint32_t(unit.length), unit.key});
    }

    const std::vector<double>& tempos =
        reader.m_chosenTempos.empty() ? reader.m_otherTempos : reader.m_chosenTempos;
    const double tempo = tempos.empty() ? 120 : tempos.front();
    read.song.tempo =
        TempoToByte(int(std::lround(std::clamp(tempo, kSlowestTempo, kFastestTempo))));
    for (size_t i = 1; i < tempos.size(); ++i)
        read.tempoChangesFolded += tempos[i] != tempos[i - 1] ? 1 : 0;

    // A KesV export carries its events: taken as they are while the notes still sound so.
    Song kept;
    if (part == 0 && DecodeEventsField(reader.m_eventsField, kept) &&
        SoundTheSame(SoundingUnits(kept), sounding)) {
        bool tempoOk = false;
        const uint tempoByte = reader.m_tempoField.toUInt(&tempoOk);
        if (tempoOk && tempoByte <= 0xFF &&
            std::max(1, TempoFromByte(uint8_t(tempoByte))) == int(std::lround(tempo)))
            kept.tempo = uint8_t(tempoByte);
        else
            kept.tempo = read.song.tempo;
        read.song = kept;
        read.keptEvents = true;
        read.lengthsRounded = 0;
        read.truncated = false;
    }
    const QString title =
        reader.m_workTitle.isEmpty() ? reader.m_movementTitle : reader.m_workTitle;
    read.title = title.toStdString();
    read.song.title = TitleToCp932(title);
    ComputeStartTicks(read.song);
    out = std::move(read);
    return {};
}

const char* DescribeMusicXmlError(MusicXmlError error) {
    switch (error) {
    case MusicXmlError::None:
        return "no error";
    case MusicXmlError::TooLarge:
        return "too large";
    case MusicXmlError::Malformed:
        return "not well-formed XML";
    case MusicXmlError::DeclaresEntities:
        return "the document type declares entities";
    case MusicXmlError::WrongRoot:
        return "not a MusicXML score";
    case MusicXmlError::Timewise:
        return "a timewise score";
    case MusicXmlError::NoParts:
        return "no part";
    case MusicXmlError::NoSuchPart:
        return "no such part";
    case MusicXmlError::NoNotes:
        return "no notes";
    case MusicXmlError::NotZip:
        return "not a zip archive";
    case MusicXmlError::NoScoreInZip:
        return "no score in the archive";
    }
    return "unknown error";
}
