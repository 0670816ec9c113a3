#include "midiimport.h"

#include "melodyscore.h"
#include "musickey.h"
#include "musictime.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <utility>

namespace {

constexpr int kLowestKey = 1 + 9;     // pitch 1
constexpr int kHighestKey = 0x5F + 9; // pitch 0x5F
// The shortest code, a 128th: a gap shorter than it belongs to the note before it, and a
// note shorter than it still sounds for it.
constexpr int64_t kSmallestGap = 15;
constexpr uint8_t kShortestCode = 0xCD;
// A gap up to a quarter of the note before it, at most a 32nd, is that note's release.
constexpr int64_t kLongestRelease = 60;
// Lengths may be off by up to half a 128th when that saves codes.
constexpr int kLengthTolerance = 7;

// The table of the fewest codes that add up to each length up to kTableTop.
class LengthTable {
public:
    static const LengthTable& Instance() {
        static const LengthTable table;
        return table;
    }
    static constexpr int kTableTop = 16 * 2360 + 16;
    static constexpr uint8_t kNone = 0xFF;

    int Parts(int ticks) const { return m_parts[size_t(ticks)]; }
    void Append(int ticks, std::vector<uint8_t>& codes) const {
        while (ticks > 0) {
            const uint8_t code = m_last[size_t(ticks)];
            codes.push_back(code);
            ticks -= GetDurationTicks(code);
        }
    }
    /// Within `tolerance` of `ticks`, the length of the fewest codes (of those, the nearest);
    /// else the representable length nearest to `ticks` (at most kTableTop); 0 for none.
    int Fewest(int ticks, int tolerance) const {
        int best = 0;
        for (int d = 0; d <= tolerance; ++d) {
            for (const int length : {ticks - d, ticks + d}) {
                if (length > 0 && length <= kTableTop && Parts(length) != kNone &&
                    (best == 0 || Parts(length) < Parts(best)))
                    best = length;
            }
        }
        return best != 0 ? best : Nearest(ticks);
    }
    /// The representable length nearest to `ticks` (at most kTableTop); 0 for none.
    int Nearest(int ticks) const {
        for (int d = 0; d <= kTableTop; ++d) {
            const int below = ticks - d;
            const int above = ticks + d;
            const bool low = below > 0 && Parts(below) != kNone;
            const bool high = above <= kTableTop && Parts(above) != kNone;
            if (low && high)
                return Parts(above) < Parts(below) ? above : below;
            if (low)
                return below;
            if (high)
                return above;
        }
        return 0;
    }

private:
    LengthTable() {
        // Plain lengths first, so that among equally short sums the common ones are chosen.
        static constexpr uint8_t kOrder[] = {0xC0, 0xC2, 0xC4, 0xC6, 0xC9, 0xCB, 0xCC, 0xCD, 0xC1,
                                             0xC3, 0xC5, 0xC7, 0xC8, 0xCA, 0xCE, 0xD0, 0xD1, 0xCF};
        m_parts.fill(kNone);
        m_last.fill(0);
        m_parts[0] = 0;
        for (int t = 1; t <= kTableTop; ++t) {
            for (uint8_t code : kOrder) {
                const int length = GetDurationTicks(code);
                if (length <= t && m_parts[size_t(t - length)] != kNone &&
                    m_parts[size_t(t - length)] + 1 < m_parts[size_t(t)]) {
                    m_parts[size_t(t)] = uint8_t(m_parts[size_t(t - length)] + 1);
                    m_last[size_t(t)] = code;
                }
            }
        }
    }
    std::array<uint8_t, kTableTop + 1> m_parts;
    std::array<uint8_t, kTableTop + 1> m_last;
};

constexpr uint8_t kFillerCode = 0xC0;
constexpr int kFillerTicks = 1920;

// Appends `ticks` (quantised to the nearest sum of lengths) as rests, or as ties ending in
// the note `pitch`. Returns the length appended; stops when the song is full.
int64_t AppendLength(Song& song, int64_t ticks, uint8_t pitch, int tolerance, bool& truncated) {
    const LengthTable& table = LengthTable::Instance();
    int64_t fillers = 0;
    if (ticks > LengthTable::kTableTop - kFillerTicks)
        fillers = (ticks - (LengthTable::kTableTop - kFillerTicks)) / kFillerTicks + 1;
    const int rest = table.Fewest(int(ticks - fillers * kFillerTicks), tolerance);
    std::vector<uint8_t> codes;
    table.Append(rest, codes);
    std::sort(codes.begin(), codes.end(),
              [](uint8_t a, uint8_t b) { return GetDurationTicks(a) > GetDurationTicks(b); });
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

// One line out of the notes of a channel. Where notes overlap the highest sounds (of equal
// keys, the one struck last); a lower note still held when it ends sounds again from there.
std::vector<RawNote> SingleLine(const std::vector<RawNote>& notes) {
    // The notes come in the order they start; their ends are sorted apart, so that a file of
    // notes all held to one tick sorts nothing it need not.
    std::vector<std::pair<int64_t, size_t>> ends(notes.size());
    for (size_t i = 0; i < notes.size(); ++i)
        ends[i] = {notes[i].end, i};
    if (!std::is_sorted(ends.begin(), ends.end()))
        std::sort(ends.begin(), ends.end());
    // The notes held on each key in the order struck, an ended one left until it is the last
    // (so each is pushed and popped once), and the highest key held.
    std::array<std::vector<size_t>, 128> held;
    std::array<int, 128> heldCount{};
    std::vector<bool> ended(notes.size());
    int highest = -1;
    std::vector<RawNote> line;
    size_t current = SIZE_MAX;
    int64_t since = 0;
    size_t nextStart = 0;
    size_t nextEnd = 0;
    while (nextStart < notes.size() || nextEnd < ends.size()) {
        const int64_t tick = std::min(nextStart < notes.size() ? notes[nextStart].start : INT64_MAX,
                                      nextEnd < ends.size() ? ends[nextEnd].first : INT64_MAX);
        for (; nextEnd < ends.size() && ends[nextEnd].first == tick; ++nextEnd) {
            const size_t index = ends[nextEnd].second;
            const auto key = size_t(notes[index].key);
            ended[index] = true;
            --heldCount[key];
            while (!held[key].empty() && ended[held[key].back()])
                held[key].pop_back();
            while (highest >= 0 && heldCount[size_t(highest)] == 0)
                --highest;
        }
        for (; nextStart < notes.size() && notes[nextStart].start == tick; ++nextStart) {
            const auto key = size_t(notes[nextStart].key);
            held[key].push_back(nextStart);
            ++heldCount[key];
            highest = std::max(highest, int(key));
        }
        const size_t top = highest < 0 ? SIZE_MAX : held[size_t(highest)].back();
        if (top == current)
            continue;
        if (current != SIZE_MAX && tick > since)
            line.push_back({since, tick, notes[current].key});
        current = top;
        since = tick;
    }
    return line;
}

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
                song.events[size_t(song.count++)] = {0, kShortestCode, uint8_t(note.key - 9)};
                position += kSmallestGap;
                exact = false;
            }
            continue;
        }
        position += append(note.end - position, uint8_t(note.key - 9));
    }
    if (!line.empty() && !result.truncated && endTick - position >= kHalfSmallest)
        append(endTick - position, kPitchRest);
    while (song.count > 0 && song.events[size_t(song.count - 1)].pitch == kPitchTie)
        --song.count; // a line cut inside a tied note: the ties alone would sound nothing
    for (int i = song.count; i < kEventSlots; ++i)
        song.events[size_t(i)] = SongEvent{};
    return exact;
}

// The notes of one channel of a track in the file's ticks, paired note-on with note-off
// oldest first on each key (one queue a key, so a thousand held notes cost no more than a
// thousand short ones); a note never released lasts to the end of the track (end -1 before).
std::vector<RawNote> ChannelNotes(const SmfTrack& track, int channel) {
    std::vector<RawNote> notes;
    notes.reserve(size_t(track.notesPerChannel[size_t(channel)]));
    std::array<std::vector<size_t>, 128> open;
    std::array<size_t, 128> head{};
    for (const auto& [tick, ch, key, on] : track.notes) {
        if (ch != channel)
            continue;
        std::vector<size_t>& queue = open[size_t(key)];
        size_t& first = head[size_t(key)];
        if (on) {
            if (first == queue.size()) {
                queue.clear();
                first = 0;
            }
            queue.push_back(notes.size());
            notes.push_back({tick, -1, key});
        } else if (first < queue.size()) {
            notes[queue[first++]].end = tick;
        }
    }
    for (RawNote& note : notes) {
        if (note.end < 0)
            note.end = track.endTick;
    }
    return notes;
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

// The candidates, best first, with the notes of the best one (so it is not paired twice).
std::vector<MelodyCandidate> Candidates(const SmfFile& file, const MelodyChoice& choice,
                                        std::vector<RawNote>& chosenNotes) {
    std::vector<MelodyCandidate> candidates;
    double chosenScore = 0;
    for (size_t t = 0; t < file.tracks.size(); ++t) {
        for (int channel = 0; channel < 16; ++channel) {
            if (channel == 9 || file.tracks[t].notesPerChannel[size_t(channel)] == 0)
                continue; // channel 10 is General MIDI's drum kit: never a melody
            std::vector<RawNote> notes = ChannelNotes(file.tracks[t], channel);
            candidates.push_back(ScoreCandidate(file.tracks[t], t, channel, file.division, notes));
            const bool chosen = (choice.track < 0 || choice.track == int(t)) &&
                                (choice.channel < 0 || choice.channel == channel);
            if (chosen && (chosenNotes.empty() || candidates.back().score > chosenScore)) {
                chosenScore = candidates.back().score;
                chosenNotes = std::move(notes);
            }
        }
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const MelodyCandidate& a, const MelodyCandidate& b) { return a.score > b.score; });
    return candidates;
}

} // namespace

std::vector<MelodyCandidate> ListMelodyCandidates(const SmfFile& file) {
    std::vector<RawNote> unused;
    return Candidates(file, {-2, -2}, unused);
}

MidiReadResult ReadMelodyCandidates(std::span<const uint8_t> bytes,
                                    std::vector<MelodyCandidate>& out) {
    SmfFile file;
    const MidiReadResult read = ReadSmf(bytes, file);
    if (read.error != MidiReadError::None)
        return read;
    std::vector<MelodyCandidate> candidates = ListMelodyCandidates(file);
    if (candidates.empty())
        return {MidiReadError::NoNotes, -1, 0};
    out = std::move(candidates);
    return {};
}

MidiReadResult DecodeMidiFile(std::span<const uint8_t> bytes, MidiImport& out,
                              MelodyChoice choice) {
    SmfFile file;
    const MidiReadResult read = ReadSmf(bytes, file);
    if (read.error != MidiReadError::None)
        return read;
    const std::vector<SmfTrack>& tracks = file.tracks;
    const uint32_t division = file.division;
    std::vector<RawNote> chosenNotes;
    const std::vector<MelodyCandidate> candidates = Candidates(file, choice, chosenNotes);
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
    const auto toSongTicks = [division](int64_t tick) {
        return (tick * kTicksPerQuarter + int64_t(division) / 2) / int64_t(division);
    };
    const int64_t endTick = toSongTicks(melody.endTick);
    std::vector<RawNote> sounding;
    sounding.reserve(size_t(chosen->notes));
    for (RawNote note : chosenNotes) {
        if (note.key < kLowestKey || note.key > kHighestKey) {
            ++result.notesOutOfRange;
            continue;
        }
        const bool sounds = note.end > note.start;
        note.start = toSongTicks(note.start);
        note.end = std::max(toSongTicks(note.end), note.start + (sounds ? 1 : 0));
        if (note.end > note.start)
            sounding.push_back(note);
        else
            ++result.notesTooShort;
    }
    std::vector<RawNote> line = SingleLine(sounding);
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
                    [](const SongEvent& event) { return event.pitch >= 1 && event.pitch <= 0x5F; });
    if (!anyNote)
        return {MidiReadError::NoNotes, chosen->track + 1, 0};

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

std::vector<uint8_t> SplitIntoCodes(int ticks) {
    std::vector<uint8_t> codes;
    if (ticks <= 0 || ticks > LengthTable::kTableTop ||
        LengthTable::Instance().Parts(ticks) == LengthTable::kNone)
        return codes;
    LengthTable::Instance().Append(ticks, codes);
    std::sort(codes.begin(), codes.end(),
              [](uint8_t a, uint8_t b) { return GetDurationTicks(a) > GetDurationTicks(b); });
    return codes;
}
