// A MusicXML score's melody read into a song.
#include "musicxml.h"
#include "musicxmlparse.h"
#include "notation.h"
#include "song/songcodec.h"
#include "text/cp932.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kSlowestTempo = 60;
constexpr double kFastestTempo = 378;

// A sounding unit as it was written: its tied notes' (or neighbouring rests') lengths.
struct ReadUnit {
    int64_t start = 0;
    int64_t length = 0;
    int key = -1;
    std::vector<int> pieces;
    bool tieOpen = false;
};

// The units of the notes read, counting into `counts` the notes an earlier one overlaps and
// those too short to last a tick.
std::vector<ReadUnit> GatherUnits(const std::vector<ReadNote>& notes, MusicXmlImport& counts) {
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
        const int64_t written = std::llround(note.start);
        const int64_t end = std::llround(note.start + note.length);
        const int64_t start = std::max(cursor, written);
        if (end <= start) {
            if (note.key >= 0)
                ++(end <= written ? counts.withoutLength : counts.overlapping);
            continue;
        }
        if (start > cursor)
            add(cursor, start - cursor, -1, false, false);
        counts.overlapsCut += note.key >= 0 && start > written ? 1 : 0;
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
            (pitch > kHighestPitch && pitch != kPitchTie))
            return false;
        song.events[size_t(song.count++)] = {0, uint8_t(code), uint8_t(pitch)};
    }
    return true;
}

// The key, time signature and pickup of the score; of a KesV export only what the song held.
void SetSongMusic(const ParsedScore& score, MusicXmlImport& read) {
    SongMusic& music = read.song.music;
    const TimeSignature time{read.timeNumerator, read.timeDenominator};
    const bool own = read.keptEvents && score.hasOwnMusicField;
    const QStringList owned = score.ownMusicField.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (IsSongTimeSignature(time) && (!own || owned.contains(QLatin1String("time"))))
        music.time = time;
    if (score.pickup > 0 && score.pickup < (music.time ? GetTicksPerBar(*music.time) : 0x10000))
        music.pickup = int(score.pickup);
    if (own && !owned.contains(QLatin1String("key")))
        return;
    music.key = score.key;
    if (!music.key) {
        music.key = DetectKey(read.song);
        read.keyDetected = music.key.has_value();
    }
}

} // namespace

MusicXmlReadResult ListMusicXmlParts(const QByteArray& xml, std::vector<MusicXmlPart>& out,
                                     const std::stop_token& stop) {
    if (xml.size() > kMaxMusicXmlBytes)
        return {MusicXmlError::TooLarge};
    ParsedScore score;
    const MusicXmlReadResult result = ParseScore(xml, -1, score, stop);
    if (result.error == MusicXmlError::None)
        out = score.parts;
    return result;
}

MusicXmlReadResult DecodeMusicXml(const QByteArray& xml, MusicXmlImport& out, int part,
                                  const std::stop_token& stop) {
    if (xml.size() > kMaxMusicXmlBytes)
        return {MusicXmlError::TooLarge};
    ParsedScore score;
    if (const MusicXmlReadResult result = ParseScore(xml, part, score, stop);
        result.error != MusicXmlError::None)
        return result;
    if (part < 0 || part >= int(score.parts.size()))
        return {MusicXmlError::NoSuchPart};
    MusicXmlImport read = score.counts;
    read.part = part;
    read.parts = int(score.parts.size());

    const std::vector<ReadUnit> units = GatherUnits(score.notes, read);
    if (std::none_of(units.begin(), units.end(), [](const ReadUnit& u) { return u.key >= 0; }))
        return {read.outOfRange > 0 ? MusicXmlError::NoNotesInRange : MusicXmlError::NoNotes};
    int64_t produced = 0;
    std::vector<SoundingUnit> sounding;
    for (const ReadUnit& unit : units) {
        if (read.truncated)
            break;
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
    Song& song = read.song;
    while (song.count > 0 && song.events[size_t(song.count - 1)].pitch == kPitchTie)
        song.events[size_t(--song.count)] = {}; // a note cut at the limit: its ties sound nothing
    if (std::none_of(song.events.begin(), song.events.begin() + song.count,
                     [](const SongEvent& event) { return event.pitch != kPitchRest; }))
        return {MusicXmlError::NotesBeyondSong};

    const std::vector<double>& tempos =
        score.chosenTempos.empty() ? score.otherTempos : score.chosenTempos;
    const double tempo = tempos.empty() ? 120 : tempos.front();
    read.song.tempo =
        TempoToByte(int(std::lround(std::clamp(tempo, kSlowestTempo, kFastestTempo))));
    for (size_t i = 1; i < tempos.size(); ++i)
        read.tempoChangesFolded += tempos[i] != tempos[i - 1] ? 1 : 0;

    // A KesV export carries its events: taken as they are while the notes still sound so.
    Song kept;
    if (part == 0 && DecodeEventsField(score.eventsField, kept) &&
        SoundTheSame(SoundingUnits(kept), sounding)) {
        bool tempoOk = false;
        const uint tempoByte = score.tempoField.toUInt(&tempoOk);
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
    SetSongMusic(score, read);
    const QString title = score.workTitle.isEmpty() ? score.movementTitle : score.workTitle;
    read.title = title.toStdString();
    read.song.title = TitleToCp932(title);
    ComputeStartTicks(read.song);
    out = std::move(read);
    return {};
}
