// A MusicXML document parsed into what the import needs of it.
#include "musicxmlparse.h"

#include "musicxmlnames.h"

#include <QBuffer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kLowestKey = 1 + 9; // the pitches a song holds, as MIDI keys
constexpr int kHighestKey = 0x5F + 9;

class CScoreReader {
public:
    // Read through a device, the document is decoded a block at a time rather than whole.
    CScoreReader(const QByteArray& xml, int chosenPart, ParsedScore& out)
        : m_out(out), m_chosen(chosenPart) {
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
                ReadChildText("work-title", m_out.workTitle);
            else if (name == QLatin1String("movement-title"))
                m_out.movementTitle = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
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
        if (m_out.parts.empty())
            return {MusicXmlError::NoParts};
        return {};
    }

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
                    m_out.eventsField = text;
                else if (field == QLatin1String(kTempoField))
                    m_out.tempoField = text;
                else if (field == QLatin1String(kOwnMusicField)) {
                    m_out.ownMusicField = text;
                    m_out.hasOwnMusicField = true;
                }
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
        m_full = int(m_out.parts.size()) == m_chosen;
        m_partTempos.clear();
        m_voice.clear();
        m_divisions = 1;
        m_transpose = 0;
        m_position = 0;
        m_measures = 0;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("measure"))
                ReadMeasure(part);
            else
                m_xml.skipCurrentElement();
        }
        if (m_full && m_out.key && m_transpose != 0)
            m_out.key->fifths = SoundingFifths(m_out.key->fifths, int(m_transpose));
        if (part.notes == 0)
            part.lowestKey = part.highestKey = 0;
        m_out.parts.push_back(part);
        if (m_full)
            m_out.chosenTempos = m_partTempos;
        else if (m_out.otherTempos.empty())
            m_out.otherTempos = m_partTempos;
    }

    void ReadMeasure(MusicXmlPart& part) {
        const double start = m_position;
        double end = m_position;
        const bool pickup =
            m_full && m_measures++ == 0 &&
            m_xml.attributes().value(QLatin1String("implicit")) == QLatin1String("yes");
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
        if (pickup)
            m_out.pickup = std::llround(end - start);
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
            } else if (name == QLatin1String("transpose")) {
                ReadTranspose();
            } else if (name == QLatin1String("key") && m_full && !m_out.key) {
                ReadKey();
            } else if (name == QLatin1String("time") && m_out.counts.timeNumerator == 0 && m_full) {
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
                m_out.counts.timeNumerator = std::max(0, beats.trimmed().toInt());
                m_out.counts.timeDenominator = std::max(0, beatType.trimmed().toInt());
            } else {
                m_xml.skipCurrentElement();
            }
        }
    }

    // A traditional key signature: its fifths, minor for a minor (aeolian) mode; a key of
    // other steps is left out.
    void ReadKey() {
        bool known = false;
        int fifths = 0;
        bool minor = false;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("fifths")) {
                ReadText([&](QStringView text) { fifths = text.toInt(&known); });
            } else if (m_xml.name() == QLatin1String("mode")) {
                ReadText([&](QStringView text) {
                    minor = text == QLatin1String("minor") || text == QLatin1String("aeolian");
                });
            } else {
                m_xml.skipCurrentElement();
            }
        }
        if (known && fifths >= -7 && fifths <= 7)
            m_out.key = SongKey{fifths, minor};
    }

    // The key signature a transposed score sounds in: its tonic moved by `semitones`.
    static int SoundingFifths(int fifths, int semitones) {
        int moved = fifths + ((7 * semitones) % 12 + 12) % 12;
        while (moved > 7)
            moved -= 12;
        return moved;
    }

    // A transposing instrument's score is written off its sound; the song keeps the sound.
    void ReadTranspose() {
        int chromatic = 0;
        int octaves = 0;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("chromatic"))
                ReadText([&](QStringView text) { chromatic = text.toInt(); });
            else if (m_xml.name() == QLatin1String("octave-change"))
                ReadText([&](QStringView text) { octaves = text.toInt(); });
            else
                m_xml.skipCurrentElement();
        }
        m_transpose = std::clamp(chromatic + 12 * octaves, -48, 48);
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
            note.key = int(std::clamp(std::lround(key) + m_transpose, -1L, 1000L));
            ++part.notes;
            part.lowestKey = std::min(part.lowestKey, note.key);
            part.highestKey = std::max(part.highestKey, note.key);
        }
        if (grace) {
            m_out.counts.graceNotes += m_full && (m_voice.isEmpty() || voice == m_voice) ? 1 : 0;
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
            m_out.counts.otherVoices += pitched || unpitched ? 1 : 0;
            return;
        }
        if (unpitched)
            ++m_out.counts.unpitched;
        if (pitched && (note.key < kLowestKey || note.key > kHighestKey)) {
            ++m_out.counts.outOfRange;
            note.key = -1;
        }
        if (chord && !m_out.notes.empty() && m_out.notes.back().start == note.start) {
            ++m_out.counts.chordNotes;
            if (note.key > m_out.notes.back().key)
                m_out.notes.back() = note;
            return;
        }
        m_out.notes.push_back(note);
    }

    void ReadTieType(ReadNote& note) {
        const auto type = m_xml.attributes().value(QLatin1String("type"));
        if (type == QLatin1String("start"))
            note.tieStart = true;
        else if (type == QLatin1String("stop"))
            note.tieStop = true;
    }

    ParsedScore& m_out;
    QBuffer m_buffer;
    QXmlStreamReader m_xml;
    int m_chosen;
    bool m_full = false; // reading the chosen part
    QList<std::pair<QString, QString>> m_partNames;
    std::vector<double> m_partTempos;
    QString m_voice; // the voice read: the chosen part's first note's
    double m_divisions = 1;
    long m_transpose = 0;  // semitones from the written to the sounding pitch
    double m_position = 0; // ticks
    double m_chordStart = 0;
    int m_measures = 0; // read of the current part
};

} // namespace

MusicXmlReadResult ParseScore(const QByteArray& xml, int chosenPart, ParsedScore& out) {
    out = {};
    return CScoreReader(xml, chosenPart, out).Read();
}
