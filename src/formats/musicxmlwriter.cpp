// The song written as a MusicXML score.
#include "musicxml.h"
#include "musicxmlnames.h"
#include "notation.h"
#include "text/cp932.h"

#include <QStringList>
#include <QXmlStreamWriter>

#include <algorithm>
#include <map>

namespace {

// Below this key a note goes to the bass staff of a grand staff; a melody within the
// treble range (or the bass range) keeps one staff.
constexpr int kMiddleCKey = 60;
constexpr int kLowestTrebleKey = 55; // G3: two ledger lines under the treble staff
constexpr int kHighestBassKey = 67;  // G4: three ledger lines over the bass staff

enum class Clefs { Treble, Bass, Grand };

Clefs ChooseClefs(const std::vector<ScoreMeasure>& measures) {
    int lowest = 127;
    int highest = 0;
    for (const ScoreMeasure& measure : measures) {
        for (const ScoreNote& note : measure.notes) {
            if (note.key >= 0) {
                lowest = std::min(lowest, note.key);
                highest = std::max(highest, note.key);
            }
        }
    }
    if (lowest > highest || lowest >= kLowestTrebleKey)
        return Clefs::Treble;
    return highest <= kHighestBassKey ? Clefs::Bass : Clefs::Grand;
}

// XML 1.0 holds no control characters but tab, line feed and carriage return.
QString XmlSafe(QString text) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

QString EventsField(const Song& song) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString text;
    text.reserve(song.count * 4);
    for (int i = 0; i < song.count; ++i) {
        for (const uint8_t byte : {song.events[size_t(i)].code, song.events[size_t(i)].pitch}) {
            text += QLatin1Char(kHex[byte >> 4]);
            text += QLatin1Char(kHex[byte & 0x0F]);
        }
    }
    return text;
}

// Which of the key and time signature written are the song's own (not detected, not the
// settings'), so that KesV reads its export back as the very same song.
QString OwnMusicField(const Song& song) {
    QStringList own;
    if (song.music.key)
        own << QStringLiteral("key");
    if (song.music.time)
        own << QStringLiteral("time");
    return own.join(QLatin1Char(' '));
}

void WriteClef(QXmlStreamWriter& xml, int number, bool treble) {
    xml.writeStartElement(QStringLiteral("clef"));
    if (number > 0)
        xml.writeAttribute(QStringLiteral("number"), QString::number(number));
    xml.writeTextElement(QStringLiteral("sign"),
                         treble ? QStringLiteral("G") : QStringLiteral("F"));
    xml.writeTextElement(QStringLiteral("line"),
                         treble ? QStringLiteral("2") : QStringLiteral("4"));
    xml.writeEndElement();
}

void WriteAttributes(QXmlStreamWriter& xml, const TimeSignature& signature, const SongKey& key,
                     Clefs clefs) {
    xml.writeStartElement(QStringLiteral("attributes"));
    xml.writeTextElement(QStringLiteral("divisions"), QString::number(kTicksPerQuarter));
    xml.writeStartElement(QStringLiteral("key"));
    xml.writeTextElement(QStringLiteral("fifths"), QString::number(key.fifths));
    xml.writeTextElement(QStringLiteral("mode"),
                         key.minor ? QStringLiteral("minor") : QStringLiteral("major"));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("time"));
    xml.writeTextElement(QStringLiteral("beats"),
                         QString::number(std::max(1, signature.beatsPerBar)));
    xml.writeTextElement(QStringLiteral("beat-type"),
                         QString::number(signature.beatUnit > 0 ? signature.beatUnit : 4));
    xml.writeEndElement();
    if (clefs == Clefs::Grand) {
        xml.writeTextElement(QStringLiteral("staves"), QStringLiteral("2"));
        WriteClef(xml, 1, true);
        WriteClef(xml, 2, false);
    } else {
        WriteClef(xml, 0, clefs == Clefs::Treble);
    }
    xml.writeEndElement();
}

void WriteTempo(QXmlStreamWriter& xml, int tempo) {
    xml.writeStartElement(QStringLiteral("direction"));
    xml.writeAttribute(QStringLiteral("placement"), QStringLiteral("above"));
    xml.writeStartElement(QStringLiteral("direction-type"));
    xml.writeStartElement(QStringLiteral("metronome"));
    xml.writeTextElement(QStringLiteral("beat-unit"), QStringLiteral("quarter"));
    xml.writeTextElement(QStringLiteral("per-minute"), QString::number(tempo));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("sound"));
    xml.writeAttribute(QStringLiteral("tempo"), QString::number(tempo));
    xml.writeEndElement();
    xml.writeEndElement();
}

class CMeasureWriter {
public:
    CMeasureWriter(QXmlStreamWriter& xml, Clefs clefs, const SongKey& key)
        : m_xml(xml), m_clefs(clefs), m_key(key) {}

    void Write(const ScoreMeasure& measure) {
        m_alterations.clear();
        for (const ScoreNote& note : measure.notes)
            WriteNote(note);
    }

private:
    void WriteNote(const ScoreNote& note) {
        QXmlStreamWriter& xml = m_xml;
        xml.writeStartElement(QStringLiteral("note"));
        const KeySpelling spelling = SpellKeyIn(std::max(0, note.key), m_key);
        if (note.key < 0) {
            xml.writeStartElement(QStringLiteral("rest"));
            if (note.measureRest)
                xml.writeAttribute(QStringLiteral("measure"), QStringLiteral("yes"));
            xml.writeEndElement();
        } else {
            xml.writeStartElement(QStringLiteral("pitch"));
            xml.writeTextElement(QStringLiteral("step"), QString(QLatin1Char(spelling.step)));
            if (spelling.alter != 0)
                xml.writeTextElement(QStringLiteral("alter"), QString::number(spelling.alter));
            xml.writeTextElement(QStringLiteral("octave"), QString::number(spelling.octave));
            xml.writeEndElement();
        }
        xml.writeTextElement(QStringLiteral("duration"), QString::number(note.ticks));
        const auto tie = [&xml](const char* element, const char* type) {
            xml.writeStartElement(QLatin1String(element));
            xml.writeAttribute(QStringLiteral("type"), QLatin1String(type));
            xml.writeEndElement();
        };
        if (note.tiedFromPrior)
            tie("tie", "stop");
        if (note.tiedToNext)
            tie("tie", "start");
        if (m_clefs == Clefs::Grand) // one voice over both staves
            xml.writeTextElement(QStringLiteral("voice"), QStringLiteral("1"));
        if (!note.measureRest) {
            xml.writeTextElement(QStringLiteral("type"),
                                 QLatin1String(kNoteTypeNames[int(note.value.type)]));
            for (int d = 0; d < note.value.dots; ++d)
                xml.writeEmptyElement(QStringLiteral("dot"));
        }
        if (note.key >= 0) {
            // An accidental holds to the end of the bar for its line; a note tied over the
            // bar line keeps the one it had.
            const int line = spelling.octave * 8 + (spelling.step - 'A');
            const auto known = m_alterations.find(line);
            const int current =
                known == m_alterations.end() ? SignatureAlter(spelling.step, m_key) : known->second;
            if (current != spelling.alter && !note.tiedFromPrior)
                xml.writeTextElement(QStringLiteral("accidental"),
                                     spelling.alter > 0   ? QStringLiteral("sharp")
                                     : spelling.alter < 0 ? QStringLiteral("flat")
                                                          : QStringLiteral("natural"));
            m_alterations[line] = spelling.alter;
        }
        if (note.value.IsTuplet()) {
            xml.writeStartElement(QStringLiteral("time-modification"));
            xml.writeTextElement(QStringLiteral("actual-notes"),
                                 QString::number(note.value.actual));
            xml.writeTextElement(QStringLiteral("normal-notes"),
                                 QString::number(note.value.normal));
            xml.writeEndElement();
        }
        if (m_clefs == Clefs::Grand)
            xml.writeTextElement(QStringLiteral("staff"), note.key >= 0 && note.key < kMiddleCKey
                                                              ? QStringLiteral("2")
                                                              : QStringLiteral("1"));
        if (note.tiedFromPrior || note.tiedToNext || note.tupletStart || note.tupletStop) {
            xml.writeStartElement(QStringLiteral("notations"));
            if (note.tiedFromPrior)
                tie("tied", "stop");
            if (note.tiedToNext)
                tie("tied", "start");
            if (note.tupletStart) {
                xml.writeStartElement(QStringLiteral("tuplet"));
                xml.writeAttribute(QStringLiteral("type"), QStringLiteral("start"));
                xml.writeAttribute(QStringLiteral("bracket"), QStringLiteral("yes"));
                xml.writeEndElement();
            }
            if (note.tupletStop)
                tie("tuplet", "stop");
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }

    QXmlStreamWriter& m_xml;
    Clefs m_clefs;
    SongKey m_key;
    std::map<int, int> m_alterations; // staff line (octave and letter) to its alteration
};

} // namespace

QByteArray EncodeMusicXml(const Song& song, const TimeSignature& signature) {
    const Meter meter = SongMeter(song, signature);
    const SongKey key = song.music.key ? *song.music.key : DetectKey(song).value_or(SongKey{});
    const std::vector<ScoreMeasure> measures = LayOutMeasures(song, meter);
    const Clefs clefs = ChooseClefs(measures);
    QByteArray out;
    out.reserve(1024 + song.count * 400);
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral("<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 "
                                "Partwise//EN\" \"http://www.musicxml.org/dtds/partwise.dtd\">"));
    xml.writeStartElement(QStringLiteral("score-partwise"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("4.0"));
    if (!song.title.empty()) {
        const QString title = XmlSafe(DecodeCp932(song.title));
        xml.writeStartElement(QStringLiteral("work"));
        xml.writeTextElement(QStringLiteral("work-title"), title);
        xml.writeEndElement();
        xml.writeTextElement(QStringLiteral("movement-title"), title);
    }
    xml.writeStartElement(QStringLiteral("identification"));
    xml.writeStartElement(QStringLiteral("encoding"));
    xml.writeTextElement(QStringLiteral("software"), QStringLiteral("KesV"));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("miscellaneous"));
    xml.writeStartElement(QStringLiteral("miscellaneous-field"));
    xml.writeAttribute(QStringLiteral("name"), QLatin1String(kTempoField));
    xml.writeCharacters(QString::number(song.tempo));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("miscellaneous-field"));
    xml.writeAttribute(QStringLiteral("name"), QLatin1String(kEventsField));
    xml.writeCharacters(EventsField(song));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("miscellaneous-field"));
    xml.writeAttribute(QStringLiteral("name"), QLatin1String(kOwnMusicField));
    xml.writeCharacters(OwnMusicField(song));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("part-list"));
    xml.writeStartElement(QStringLiteral("score-part"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("P1"));
    xml.writeEmptyElement(QStringLiteral("part-name"));
    // Playback sends no program change: the General MIDI piano.
    xml.writeStartElement(QStringLiteral("score-instrument"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("P1-I1"));
    xml.writeTextElement(QStringLiteral("instrument-name"), QStringLiteral("Piano"));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("midi-instrument"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("P1-I1"));
    xml.writeTextElement(QStringLiteral("midi-channel"), QStringLiteral("1"));
    xml.writeTextElement(QStringLiteral("midi-program"), QStringLiteral("1"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("part"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("P1"));
    CMeasureWriter writer(xml, clefs, key);
    const bool pickup = meter.pickup > 0;
    for (size_t m = 0; m < measures.size(); ++m) {
        // A line a bar, and no indentation: a reader's time goes by the token.
        xml.writeCharacters(QStringLiteral("\n"));
        xml.writeStartElement(QStringLiteral("measure"));
        // A pickup is bar 0 and not counted as a bar.
        xml.writeAttribute(QStringLiteral("number"), QString::number(pickup ? m : m + 1));
        if (m == 0 && pickup)
            xml.writeAttribute(QStringLiteral("implicit"), QStringLiteral("yes"));
        if (m == 0) {
            WriteAttributes(xml, meter.signature, key, clefs);
            WriteTempo(xml, std::max(1, TempoFromByte(song.tempo)));
        }
        writer.Write(measures[m]);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}
