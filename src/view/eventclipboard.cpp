#include "eventclipboard.h"

#include <QMimeData>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr uint8_t kContinuationByte = 0xA1; // a file's bytes skip it: never a code

// What a song file can hold: the reader takes codes from 0x60 (but not the continuation byte
// or the end byte) and pitches below 0x60 or the tie.
bool IsStorableEvent(EventBytes e) {
    return e.code >= 0x60 && e.code != 0xFF && e.code != kContinuationByte &&
           (e.pitch < 0x60 || e.pitch == kPitchTie);
}

std::vector<EventBytes> EventsFromBytes(const QByteArray& bytes) {
    std::vector<EventBytes> events;
    if (bytes.isEmpty() || bytes.size() % 2 != 0)
        return events;
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const EventBytes e{uint8_t(bytes[i]), uint8_t(bytes[i + 1])};
        if (!IsStorableEvent(e))
            return {};
        events.push_back(e);
    }
    return events;
}

QStringList Words(const QString& text) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.split(blanks, Qt::SkipEmptyParts);
}

// The pitch of a note name, or -1; out of the editor's range it is brought into it, as a
// typed name is.
int PitchOfName(const QString& word) {
    if (word == QStringLiteral("休") || word.compare(QStringLiteral("r"), Qt::CaseInsensitive) == 0)
        return kPitchRest;
    if (word == QStringLiteral("↓"))
        return kPitchTie;
    static const QRegularExpression name(QStringLiteral("^([A-Ga-g])(#?)([0-9])$"));
    const QRegularExpressionMatch match = name.match(word);
    if (!match.hasMatch())
        return -1;
    static constexpr int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A to G
    const int semitone = kSemitones[match.captured(1).toUpper().at(0).unicode() - 'A'] +
                         (match.capturedLength(2) > 0 ? 1 : 0);
    const int pitch = 12 * match.captured(3).toInt() + semitone + 3;
    return std::clamp(pitch, 24, 95); // the range the editor enters
}

// The editor's length code whose duration is `ticks`, or 0 for none.
uint8_t CodeOfTicks(int ticks) {
    for (int code = 0xC0; code <= 0xDF && ticks > 0; ++code) {
        if (GetDurationTicks(uint8_t(code)) == ticks)
            return uint8_t(code);
    }
    return 0;
}

// A length as the list writes it after a name ("1/  0", "1/120", "12"), read from the words
// at `at`: the ticks and how many words it took, or {-1, 0} when no length begins there.
std::pair<int, int> LengthAt(const QStringList& words, qsizetype at,
                             const TimeSignature& signature) {
    static const QRegularExpression beats(QStringLiteral("^(\\d{1,3})/(\\d{0,4})$"));
    static const QRegularExpression ticks(QStringLiteral("^\\d{1,4}$"));
    if (at >= words.size())
        return {-1, 0};
    if (const QRegularExpressionMatch match = beats.match(words[at]); match.hasMatch()) {
        const int whole = match.captured(1).toInt() * GetTicksPerBeat(signature);
        if (match.capturedLength(2) > 0)
            return {whole + match.captured(2).toInt(), 1};
        if (at + 1 < words.size() && ticks.match(words[at + 1]).hasMatch())
            return {whole + words[at + 1].toInt(), 2};
        return {whole, 1};
    }
    if (ticks.match(words[at]).hasMatch())
        return {words[at].toInt(), 1};
    return {-1, 0};
}

QString EventLine(const SongEvent& event, const TimeSignature& signature) {
    QString name;
    if (event.pitch == kPitchRest) {
        name = QStringLiteral("休");
    } else if (event.pitch == kPitchTie) {
        name = QStringLiteral("↓");
    } else {
        const std::array<char, 3> n = GetNoteName(event.pitch);
        name = QString::fromLatin1(n.data(), 3).remove(QLatin1Char(' '));
    }
    const BeatSplit split = SplitBeats(GetDurationTicks(event.code), signature);
    char length[16] = "";
    if (split.beats >= 1)
        std::snprintf(length, sizeof length, "%1d/%3d", split.beats, split.ticks);
    else if (split.ticks >= 1)
        std::snprintf(length, sizeof length, "%3d", split.ticks);
    return (name + QLatin1Char(' ') + QString::fromLatin1(length)).trimmed();
}

} // namespace

std::unique_ptr<QMimeData> EventsToMimeData(const Song& song, int first, int count,
                                            const TimeSignature& signature) {
    QByteArray bytes;
    QString text;
    for (int i = first; i < first + count && i < song.count; ++i) {
        const SongEvent& event = song.events[size_t(i)];
        bytes.append(char(event.code)).append(char(event.pitch));
        text += EventLine(event, signature) + QLatin1Char('\n');
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(kEventsMimeType), bytes);
    data->setText(text);
    return data;
}

PastedEvents EventsFromMimeData(const QMimeData* data, uint8_t code,
                                const TimeSignature& signature) {
    PastedEvents result;
    if (data == nullptr)
        return result;
    const QString type = QString::fromLatin1(kEventsMimeType);
    if (data->hasFormat(type)) {
        result.events = EventsFromBytes(data->data(type));
        return result;
    }
    if (!data->hasText())
        return result;
    const QStringList words = Words(data->text());
    for (qsizetype i = 0; i < words.size(); ++i) {
        const int pitch = PitchOfName(words[i]);
        if (pitch < 0) {
            result.events.clear();
            result.error = PastedEvents::NotANoteName;
            result.badToken = words[i];
            return result;
        }
        uint8_t eventCode = code;
        const auto [length, taken] = LengthAt(words, i + 1, signature);
        if (taken > 0) {
            eventCode = CodeOfTicks(length);
            if (eventCode == 0) {
                result.events.clear();
                result.error = PastedEvents::NotALength;
                result.badToken = QStringList(words.mid(i + 1, taken)).join(QLatin1Char(' '));
                return result;
            }
            i += taken;
        }
        result.events.push_back({eventCode, uint8_t(pitch)});
    }
    return result;
}

bool HasPastableContent(const QMimeData* data) {
    if (data == nullptr)
        return false;
    const QString type = QString::fromLatin1(kEventsMimeType);
    if (data->hasFormat(type))
        return !EventsFromBytes(data->data(type)).empty();
    return data->hasText() && !Words(data->text()).isEmpty();
}
