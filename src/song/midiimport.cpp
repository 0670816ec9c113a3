#include "midiimport.h"

#include "musictime.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <tuple>
#include <utility>

namespace {

constexpr int kLowestKey = 1 + 9;     // pitch 1
constexpr int kHighestKey = 0x5F + 9; // pitch 0x5F
// Gaps shorter than a 128th belong to the note before them.
constexpr int64_t kSmallestGap = 15;

struct RawNote {
    int64_t start;
    int64_t end;
    int key;
};

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
int64_t AppendLength(Song& song, int64_t ticks, uint8_t pitch, bool& truncated) {
    const LengthTable& table = LengthTable::Instance();
    int64_t fillers = 0;
    if (ticks > LengthTable::kTableTop - kFillerTicks)
        fillers = (ticks - (LengthTable::kTableTop - kFillerTicks)) / kFillerTicks + 1;
    const int rest = table.Nearest(int(ticks - fillers * kFillerTicks));
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
    struct Boundary {
        int64_t tick;
        bool starts; // ends come first at the same tick
        size_t note;
    };
    std::vector<Boundary> boundaries;
    boundaries.reserve(notes.size() * 2);
    for (size_t i = 0; i < notes.size(); ++i) {
        boundaries.push_back({notes[i].start, true, i});
        boundaries.push_back({notes[i].end, false, i});
    }
    std::sort(boundaries.begin(), boundaries.end(), [](const Boundary& a, const Boundary& b) {
        return a.tick != b.tick ? a.tick < b.tick : (a.starts < b.starts);
    });
    std::set<std::tuple<int, int64_t, size_t>> held;
    std::vector<RawNote> line;
    size_t current = SIZE_MAX;
    int64_t since = 0;
    for (size_t i = 0; i < boundaries.size();) {
        const int64_t tick = boundaries[i].tick;
        for (; i < boundaries.size() && boundaries[i].tick == tick; ++i) {
            const RawNote& note = notes[boundaries[i].note];
            const auto entry = std::make_tuple(note.key, note.start, boundaries[i].note);
            if (boundaries[i].starts)
                held.insert(entry);
            else
                held.erase(entry);
        }
        const size_t top = held.empty() ? SIZE_MAX : std::get<2>(*held.rbegin());
        if (top == current)
            continue;
        if (current != SIZE_MAX && tick > since)
            line.push_back({since, tick, notes[current].key});
        current = top;
        since = tick;
    }
    return line;
}

// Writes the line into the import's song. A note's unit lasts `release` ticks beyond its
// end when there is room, and a gap too short to write joins the note before it. Every
// boundary is placed at its exact position; each length is what is left from where the song
// has got to, so rounding never adds up.
void WriteLine(std::vector<RawNote> line, int64_t endTick, int release, MidiImport& result) {
    for (size_t i = 0; i < line.size(); ++i) {
        const int64_t next =
            std::max(i + 1 < line.size() ? line[i + 1].start : endTick, line[i].end);
        line[i].end = std::min(line[i].end + release, next);
        if (next - line[i].end < kSmallestGap)
            line[i].end = next;
    }
    Song& song = result.song;
    int64_t position = 0;
    constexpr int64_t kHalfSmallest = kSmallestGap / 2 + 1;
    for (const RawNote& note : line) {
        if (song.count >= kMaxEvents) {
            result.truncated = true;
            break;
        }
        if (note.start - position >= kHalfSmallest)
            position += AppendLength(song, note.start - position, kPitchRest, result.truncated);
        if (note.end - position < kHalfSmallest) {
            ++result.notesTooShort;
            continue;
        }
        position +=
            AppendLength(song, note.end - position, uint8_t(note.key - 9), result.truncated);
    }
    if (!line.empty() && !result.truncated && endTick - position >= kHalfSmallest)
        AppendLength(song, endTick - position, kPitchRest, result.truncated);
    while (song.count > 0 && song.events[size_t(song.count - 1)].pitch == kPitchTie)
        --song.count; // a line cut inside a tied note: the ties alone would sound nothing
    for (int i = song.count; i < kEventSlots; ++i)
        song.events[size_t(i)] = SongEvent{};
}

} // namespace

MidiReadResult DecodeMidiFile(std::span<const uint8_t> bytes, MidiImport& out) {
    SmfFile file;
    const MidiReadResult read = ReadSmf(bytes, file);
    if (read.error != MidiReadError::None)
        return read;
    const std::vector<SmfTrack>& tracks = file.tracks;
    const uint32_t division = file.division;

    // The melody: the track with the most notes, then its channel with the most notes.
    const auto notesOf = [](const SmfTrack& t) {
        int sum = 0;
        for (int n : t.notesPerChannel)
            sum += n;
        return sum;
    };
    size_t best = 0;
    for (size_t i = 1; i < tracks.size(); ++i) {
        if (notesOf(tracks[i]) > notesOf(tracks[best]))
            best = i;
    }
    const SmfTrack& melody = tracks[best];
    const int channel =
        int(std::max_element(melody.notesPerChannel.begin(), melody.notesPerChannel.end()) -
            melody.notesPerChannel.begin());

    MidiImport result;
    const auto toSongTicks = [division](int64_t tick) {
        return (tick * kTicksPerQuarter + int64_t(division) / 2) / int64_t(division);
    };
    std::vector<RawNote> notes;
    std::vector<std::vector<size_t>> open(128); // indices into `notes`, oldest first
    for (const auto& [tick, ch, key, on] : melody.notes) {
        if (ch != channel)
            continue;
        if (on) {
            if (key < kLowestKey || key > kHighestKey) {
                ++result.notesOutOfRange;
                continue;
            }
            open[size_t(key)].push_back(notes.size());
            notes.push_back({toSongTicks(tick), -1, int(key)});
        } else if (!open[size_t(key)].empty()) {
            notes[open[size_t(key)].front()].end = toSongTicks(tick);
            open[size_t(key)].erase(open[size_t(key)].begin());
        }
    }
    const int64_t endTick = toSongTicks(melody.endTick);
    std::vector<RawNote> sounding;
    sounding.reserve(notes.size());
    for (RawNote& note : notes) {
        if (note.end < 0)
            note.end = endTick; // never released: it lasts to the end of the track
        if (note.end > note.start)
            sounding.push_back(note);
        else
            ++result.notesTooShort;
    }
    std::vector<RawNote> line = SingleLine(sounding);
    // Files written from a performance release each note a little before the next unit
    // (playback's gap); others end notes on the beat. Both readings are tried, and the one
    // that needs fewer events wins: the other one's lengths are a few ticks off everywhere.
    MidiImport released = result;
    WriteLine(line, endTick, kReleaseGapTicks, released);
    WriteLine(line, endTick, 0, result);
    if (released.song.count <= result.song.count)
        result = std::move(released);
    Song& song = result.song;

    // The first tempo of the file in time, then in track order; none means 120.
    int64_t tempoTick = -1;
    uint32_t tempo = 500000;
    for (const SmfTrack& t : tracks) {
        if (t.firstTempoTick >= 0 && t.firstTempo > 0 &&
            (tempoTick < 0 || t.firstTempoTick < tempoTick)) {
            tempoTick = t.firstTempoTick;
            tempo = t.firstTempo;
        }
    }
    const int bpm =
        std::clamp(int(std::lround(60000000.0 / tempo)), TempoFromByte(67), TempoFromByte(255));
    song.tempo = TempoToByte(bpm);
    result.title = tracks.front().hasName ? tracks.front().name : melody.name;
    ComputeStartTicks(song);
    out = std::move(result);
    return {};
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
