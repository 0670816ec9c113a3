#include "midiimport.h"

#include "melodyscore.h"
#include "song/lengthtable.h"
#include "song/musickey.h"
#include "song/musictime.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <utility>

namespace {

// The shortest code, a 128th: a gap shorter than it belongs to the note before it, and a
// note shorter than it still sounds for it.
constexpr int64_t kSmallestGap = 15;
constexpr uint8_t kShortestCode = 0xCD;
// A gap up to a quarter of the note before it, at most a 32nd, is that note's release.
constexpr int64_t kLongestRelease = 60;
// Lengths may be off by up to half a 128th when that saves codes.
constexpr int kLengthTolerance = 7;

constexpr uint8_t kFillerCode = 0xC0;
constexpr int kFillerTicks = 1920;

// Appends `ticks` (quantised to the nearest sum of lengths) as rests, or as ties ending in
// the note `pitch`. Returns the length appended; stops when the song is full.
int64_t AppendLength(Song& song, int64_t ticks, uint8_t pitch, int tolerance, bool& truncated) {
    const CLengthTable& table = LengthCodeTable();
    int64_t fillers = 0;
    if (ticks > table.Top() - kFillerTicks)
        fillers = (ticks - (table.Top() - kFillerTicks)) / kFillerTicks + 1;
    const std::vector<uint8_t> codes =
        SplitIntoCodes(table.Fewest(int(ticks - fillers * kFillerTicks), tolerance));
    const int64_t parts = fillers + int64_t(codes.size());
    int64_t appended = 0;
    for (int64_t i = 0; i < parts; ++i) {
        if (song.count >= kMaxEvents) {
            truncated = true;
            break;
        }
        const uint8_t code = i < fillers ? kFillerCode : codes[size_t(i - fillers)];
        const bool last = i == parts - 1;
        SongEvent& event = song.events[size_t(song.count++)];
        event.code = code;
        event.pitch = pitch == kPitchRest ? kPitchRest : (last ? pitch : kPitchTie);
        appended += GetDurationTicks(code);
    }
    return appended;
}

// The melody line of one channel of a track in song ticks, built while the track's notes are
// read: where notes overlap the highest sounds (of equal keys, the one struck last), and a
// lower note still held when the higher ends sounds again from there. Only the notes held at
// the moment are kept (as runs), and the line only as far as a song can use it.
class CMelodyLine {
public:
    CMelodyLine(uint32_t division, MidiImport& counts) : m_division(division), m_counts(counts) {}

    std::vector<RawNote> Read(const SmfTrack& track, int channel, const std::stop_token& stop) {
        SmfNoteEvent event{};
        unsigned count = 0;
        for (CSmfNoteReader notes(track); notes.Next(event);) {
            if ((++count & 0xFFFF) == 0 && stop.stop_requested()) {
                m_cancelled = true;
                return {};
            }
            if (event.channel != channel)
                continue;
            if (event.key < kLowestNoteKey || event.key > kHighestNoteKey) {
                m_counts.notesOutOfRange += event.on ? 1 : 0;
                continue;
            }
            Enter(SongTick(event.tick));
            OnNote(event);
        }
        // A note never released lasts to the end of the track.
        const int64_t end = SongTick(track.endTick);
        Enter(end);
        for (int key = kLowestNoteKey; key <= kHighestNoteKey; ++key) {
            m_held[size_t(key)].ReleaseAll([&](int64_t start, int notes) {
                for (int i = 0; i < notes; ++i)
                    OnRelease(key, start, track.endTick, end);
            });
        }
        FinishTick();
        if (m_delayedTick >= 0)
            ApplyDelayedEnds();
        return std::move(m_line);
    }

    bool Cancelled() const { return m_cancelled; }

private:
    // A song takes at most one unit an event; one more tells that the line goes on.
    static constexpr size_t kLongestLine = kMaxEvents + 2;

    int64_t SongTick(int64_t tick) const {
        return (tick * kTicksPerQuarter + int64_t(m_division) / 2) / int64_t(m_division);
    }

    // Notes start and end at `tick` from now on: the changes of the tick before take effect.
    void Enter(int64_t tick) {
        if (tick == m_tick)
            return;
        FinishTick();
        if (m_delayedTick >= 0 && m_delayedTick < tick)
            ApplyDelayedEnds();
        if (m_delayedTick == tick) {
            for (const int key : m_delayedKeys) {
                Touch(key);
                m_ends[size_t(key)] += std::exchange(m_delayed[size_t(key)], 0);
            }
            m_delayedKeys.clear();
            m_delayedTick = -1;
        }
        m_tick = tick;
    }

    void OnNote(const SmfNoteEvent& event) {
        CHeldNotes& held = m_held[size_t(event.key)];
        if (event.on) {
            held.Strike(event.tick);
            Touch(event.key);
            ++m_starts[size_t(event.key)];
        } else if (!held.Empty()) {
            OnRelease(event.key, held.Release(), event.tick, m_tick);
        }
    }

    // The note struck at file tick `start` ends at file tick `end` (song tick `tick`): a note
    // that lasts no time never sounded, one shorter than a song tick lasts one.
    void OnRelease(int key, int64_t start, int64_t end, int64_t tick) {
        if (start == end) {
            ++m_counts.notesTooShort;
            --m_starts[size_t(key)];
        } else if (SongTick(start) == tick) {
            if (m_delayed[size_t(key)]++ == 0)
                m_delayedKeys.push_back(key);
            m_delayedTick = tick + 1;
        } else {
            Touch(key);
            ++m_ends[size_t(key)];
        }
    }

    void Touch(int key) {
        if (!std::exchange(m_touched[size_t(key)], true))
            m_touchedKeys.push_back(key);
    }

    // The ends, then the starts, of the current tick.
    void FinishTick() {
        if (m_tick < 0)
            return;
        for (const int key : m_touchedKeys) {
            const auto k = size_t(key);
            m_sounding[k] += m_starts[k] - m_ends[k];
            if (m_starts[k] > 0)
                m_strike[k] = ++m_strikes; // the key's last note is a new one
            if (m_sounding[k] > 0)
                m_highest = std::max(m_highest, key);
            m_starts[k] = m_ends[k] = 0;
            m_touched[k] = false;
        }
        m_touchedKeys.clear();
        CheckTop(m_tick);
    }

    // Notes that end a tick after they started, when nothing else happens then.
    void ApplyDelayedEnds() {
        for (const int key : m_delayedKeys)
            m_sounding[size_t(key)] -= std::exchange(m_delayed[size_t(key)], 0);
        m_delayedKeys.clear();
        CheckTop(std::exchange(m_delayedTick, -1));
    }

    void CheckTop(int64_t tick) {
        while (m_highest >= 0 && m_sounding[size_t(m_highest)] == 0)
            --m_highest;
        const uint32_t strike = m_highest >= 0 ? m_strike[size_t(m_highest)] : 0;
        if (m_highest == m_currentKey && strike == m_currentStrike)
            return;
        if (m_currentKey >= 0 && tick > m_since && m_line.size() < kLongestLine)
            m_line.push_back({m_since, tick, m_currentKey});
        m_currentKey = m_highest;
        m_currentStrike = strike;
        m_since = tick;
    }

    uint32_t m_division;
    MidiImport& m_counts;
    bool m_cancelled = false;
    std::array<CHeldNotes, 128> m_held;   // every note struck and not yet released
    std::array<int, 128> m_sounding{};    // as of the last tick finished
    std::array<uint32_t, 128> m_strike{}; // each key's last note struck
    uint32_t m_strikes = 0;
    int m_highest = -1;
    // The tick being read and what it changes.
    int64_t m_tick = -1;
    std::array<int, 128> m_starts{};
    std::array<int, 128> m_ends{};
    std::array<bool, 128> m_touched{};
    std::vector<int> m_touchedKeys;
    // Notes that end on the next tick.
    int64_t m_delayedTick = -1;
    std::array<int, 128> m_delayed{};
    std::vector<int> m_delayedKeys;
    // The note sounding and since when.
    int m_currentKey = -1;
    uint32_t m_currentStrike = 0;
    int64_t m_since = 0;
    std::vector<RawNote> m_line;
};

// How a line's lengths are read: as written (each note's unit lasts `release` ticks beyond
// its end when there is room, only a gap too short to write joins the note, lengths are
// the nearest sums), or as performed (a gap up to a share of the note is its release,
// lengths take the fewest codes within half a 128th).
struct LineReading {
    int release;
    bool performed;
};

// Writes the line into the import's song. Every boundary is placed at its exact position
// (or within the tolerance); each length is what is left from where the song has got to,
// so rounding never adds up. Returns whether every length was written exactly.
bool WriteLine(const std::vector<RawNote>& line, int64_t endTick, LineReading reading,
               MidiImport& result) {
    // Where a note's unit ends, worked out as the song reaches it: past 999 events no note
    // costs anything.
    const auto unitEnd = [&](size_t i) {
        const int64_t next =
            std::max(i + 1 < line.size() ? line[i + 1].start : endTick, line[i].end);
        const int64_t end = std::min(line[i].end + reading.release, next);
        const int64_t joined =
            reading.performed
                ? std::max(kSmallestGap, std::min((end - line[i].start) / 4, kLongestRelease))
                : kSmallestGap;
        return next - end < joined ? next : end; // a short gap is the note's release
    };
    const int tolerance = reading.performed ? kLengthTolerance : 0;
    bool exact = true;
    const auto append = [&](int64_t ticks, uint8_t pitch) {
        const int64_t appended =
            AppendLength(result.song, ticks, pitch, tolerance, result.truncated);
        exact = exact && (appended == ticks || result.truncated);
        return appended;
    };
    Song& song = result.song;
    int64_t position = 0;
    constexpr int64_t kHalfSmallest = kSmallestGap / 2 + 1;
    for (size_t i = 0; i < line.size(); ++i) {
        const RawNote note{line[i].start, unitEnd(i), line[i].key};
        if (song.count >= kMaxEvents) {
            result.truncated = true;
            break;
        }
        if (note.start - position >= kHalfSmallest)
            position += append(note.start - position, kPitchRest);
        if (note.end - position < kHalfSmallest) {
            // Too short for any length: it sounds for the shortest code rather than not at all.
            if (song.count < kMaxEvents) {
                song.events[size_t(song.count++)] = {0, kShortestCode,
                                                     uint8_t(note.key - kPitchToKey)};
                position += kSmallestGap;
                exact = false;
            }
            continue;
        }
        position += append(note.end - position, uint8_t(note.key - kPitchToKey));
    }
    if (!line.empty() && !result.truncated && endTick - position >= kHalfSmallest)
        append(endTick - position, kPitchRest);
    while (song.count > 0 && song.events[size_t(song.count - 1)].pitch == kPitchTie)
        --song.count; // a line cut inside a tied note: the ties alone would sound nothing
    for (int i = song.count; i < kEventSlots; ++i)
        song.events[size_t(i)] = SongEvent{};
    return exact;
}

// The song's one tempo: the mean of the file's tempos weighted by how long each holds up to
// `endTick`, so the song lasts as long as the file; how many changes it folds in.
int FoldTempos(const std::vector<SmfTrack>& tracks, int64_t endTick, int& folded) {
    std::vector<SmfTempo> tempos;
    for (const SmfTrack& track : tracks)
        tempos.insert(tempos.end(), track.tempos.begin(), track.tempos.end());
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const SmfTempo& a, const SmfTempo& b) { return a.tick < b.tick; });
    folded = 0;
    double weighted = 0;
    int64_t since = 0;
    uint32_t current = 500000;
    for (const SmfTempo& tempo : tempos) {
        if (tempo.microsPerQuarter == 0)
            continue;
        if (tempo.tick >= endTick && endTick > 0)
            break;
        if (tempo.tick > 0 && tempo.microsPerQuarter != current)
            ++folded;
        weighted += double(tempo.tick - since) * current;
        since = tempo.tick;
        current = tempo.microsPerQuarter;
    }
    double micros = current;
    if (endTick > since && endTick > 0)
        micros = (weighted + double(endTick - since) * current) / double(endTick);
    else if (endTick > 0 && since > 0)
        micros = weighted / double(since);
    const double bpm = std::clamp(60000000.0 / micros, 60.0, 378.0);
    return TempoFromByte(uint8_t(0x60 + std::lround((bpm - 60.0) / 2.0)));
}

} // namespace

std::vector<MelodyCandidate> ListMelodyCandidates(const SmfFile& file,
                                                  const std::stop_token& stop) {
    std::vector<MelodyCandidate> candidates;
    for (size_t t = 0; t < file.tracks.size() && !stop.stop_requested(); ++t) {
        std::vector<MelodyCandidate> track = ScoreTrack(file.tracks[t], t, file.division, stop);
        candidates.insert(candidates.end(), track.begin(), track.end());
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const MelodyCandidate& a, const MelodyCandidate& b) { return a.score > b.score; });
    return candidates;
}

MidiReadResult ReadMelodyCandidates(std::span<const uint8_t> bytes,
                                    std::vector<MelodyCandidate>& out,
                                    const std::stop_token& stop) {
    SmfFile file;
    const MidiReadResult read = ReadSmf(bytes, file, stop);
    if (read.error != MidiReadError::None)
        return read;
    std::vector<MelodyCandidate> candidates = ListMelodyCandidates(file, stop);
    if (stop.stop_requested())
        return {MidiReadError::Cancelled, -1, 0};
    if (candidates.empty())
        return {MidiReadError::NoNotes, -1, 0};
    out = std::move(candidates);
    return {};
}

MidiReadResult DecodeMidiFile(std::span<const uint8_t> bytes, MidiImport& out, MelodyChoice choice,
                              const std::stop_token& stop) {
    SmfFile file;
    const MidiReadResult read = ReadSmf(bytes, file, stop);
    if (read.error != MidiReadError::None)
        return read;
    const std::vector<SmfTrack>& tracks = file.tracks;
    const std::vector<MelodyCandidate> candidates = ListMelodyCandidates(file, stop);
    if (stop.stop_requested())
        return {MidiReadError::Cancelled, -1, 0};
    if (candidates.empty())
        return {MidiReadError::NoNotes, -1, 0};
    const auto chosen = std::find_if(
        candidates.begin(), candidates.end(), [&choice](const MelodyCandidate& candidate) {
            return (choice.track < 0 || candidate.track == choice.track) &&
                   (choice.channel < 0 || candidate.channel == choice.channel);
        });
    if (chosen == candidates.end())
        return {MidiReadError::NoSuchTrack, choice.track + 1, 0};
    const SmfTrack& melody = tracks[size_t(chosen->track)];

    MidiImport result;
    result.melody = *chosen;
    result.candidates = int(candidates.size());
    const int64_t endTick =
        (melody.endTick * kTicksPerQuarter + int64_t(file.division) / 2) / int64_t(file.division);
    CMelodyLine reading(file.division, result);
    const std::vector<RawNote> line = reading.Read(melody, chosen->channel, stop);
    if (reading.Cancelled())
        return {MidiReadError::Cancelled, -1, 0};
    // Files written from playback release each note a little before the next unit; others
    // end notes on the beat.
    // A file on the grid of the length codes (one of ours, a notation program's) is read
    // exactly as written, unless reading it as a performance saves a quarter of the events
    // (a staccato line is on the grid too, at four codes a note).
    MidiImport released = result;
    MidiImport onTheBeat = result;
    MidiImport performed = result;
    const bool releasedExact = WriteLine(line, endTick, {kReleaseGapTicks, false}, released);
    const bool onTheBeatExact = WriteLine(line, endTick, {0, false}, onTheBeat);
    WriteLine(line, endTick, {0, true}, performed);
    MidiImport* written = nullptr;
    if (releasedExact && (!onTheBeatExact || released.song.count <= onTheBeat.song.count))
        written = &released;
    else if (onTheBeatExact)
        written = &onTheBeat;
    // Events a tick, since a long line fills all 999 events either way.
    const auto ticksOf = [](const Song& song) {
        int64_t ticks = 1;
        for (int i = 0; i < song.count; ++i)
            ticks += GetDurationTicks(song.events[size_t(i)].code);
        return ticks;
    };
    if (written && performed.song.count * ticksOf(written->song) * 4 >
                       written->song.count * ticksOf(performed.song) * 3)
        result = std::move(*written);
    else
        result = std::move(performed);
    Song& song = result.song;
    const bool anyNote =
        std::any_of(song.events.begin(), song.events.begin() + song.count,
                    [](const SongEvent& event) { return IsNotePitch(event.pitch); });
    if (!anyNote) {
        const MidiReadError why = !line.empty()                ? MidiReadError::NotesBeyondSong
                                  : result.notesOutOfRange > 0 ? MidiReadError::NoNotesInRange
                                                               : MidiReadError::NoNotes;
        return {why, chosen->track + 1, 0};
    }

    int64_t fileEnd = 0;
    for (const SmfTrack& track : tracks)
        fileEnd = std::max(fileEnd, track.endTick);
    song.tempo = TempoToByte(FoldTempos(tracks, fileEnd, result.tempoChangesFolded));
    for (const SmfTrack& track : tracks) {
        if (track.timeNumerator > 0) {
            result.timeNumerator = track.timeNumerator;
            result.timeDenominator = track.timeDenominator;
            break;
        }
    }
    if (const TimeSignature time{result.timeNumerator, result.timeDenominator};
        IsSongTimeSignature(time))
        song.music.time = time;
    for (const SmfTrack& track : tracks) {
        if (track.hasKey) {
            song.music.key = SongKey{track.keyFifths, track.keyMinor};
            break;
        }
    }
    if (!song.music.key) {
        song.music.key = DetectKey(song);
        result.keyDetected = song.music.key.has_value();
    }
    // The sequence name (the first track's, in format 1) unless it is a default one, else the
    // melody track's.
    for (const SmfTrack* named : {&tracks.front(), &melody}) {
        if (named->hasName && !IsGenericName(named->name)) {
            result.title = named->name;
            break;
        }
    }
    result.lastTrackCut = file.lastTrackCut;
    result.extraTracks = file.extraTracks;
    result.timeCode = file.timeCode;
    result.dropFrameGuessed = file.dropFrameGuessed;
    ComputeStartTicks(song);
    out = std::move(result);
    return {};
}

std::string MidiKeyName(int key) {
    static constexpr const char* kNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                             "F#", "G",  "G#", "A",  "A#", "B"};
    if (key < 0 || key > 127)
        return "?";
    return kNames[key % 12] + std::to_string(key / 12 - 1);
}

bool IsGenericName(const std::string& name) {
    const std::vector<std::string> words = NameWords(name);
    if (words.empty())
        return true;
    static constexpr std::string_view kGeneric[] = {
        "track", "untitled", "control", "conductor", "sequence", "seq",    "midi",
        "tempo", "new",      "noname",  "unnamed",   "ch",       "channel"};
    for (const std::string& word : words) {
        const bool number = word.find_first_not_of("0123456789") == std::string::npos;
        if (!number &&
            std::find(std::begin(kGeneric), std::end(kGeneric), word) == std::end(kGeneric))
            return false;
    }
    return true;
}
