#include "midifile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <set>
#include <tuple>

namespace {

// ---- writing

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void PutVariableLength(std::vector<uint8_t>& out, uint32_t value) {
    value &= 0x0FFFFFFF;
    uint8_t groups[4];
    int n = 0;
    do {
        groups[n++] = uint8_t(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1)
        out.push_back(groups[--n] | 0x80);
    out.push_back(groups[0]);
}

void PutMeta(std::vector<uint8_t>& track, uint8_t type, const uint8_t* data, size_t size) {
    track.push_back(0); // delta time: all meta events but the end lie at tick 0
    track.push_back(0xFF);
    track.push_back(type);
    PutVariableLength(track, uint32_t(size));
    track.insert(track.end(), data, data + size);
}

int Log2OfBeatUnit(int unit) {
    int power = 0;
    while (unit > 1 && power < 7) {
        unit >>= 1;
        ++power;
    }
    return power;
}

// ---- reading

constexpr int kLowestKey = 1 + 9;     // pitch 1
constexpr int kHighestKey = 0x5F + 9; // pitch 0x5F
// Song positions beyond this are far past 999 events of the longest length.
constexpr int64_t kTickCeiling = int64_t(1) << 40;
// Gaps shorter than a 128th belong to the note before them.
constexpr int64_t kSmallestGap = 15;

struct RawNote {
    int64_t start;
    int64_t end;
    int key;
};

struct TrackData {
    std::array<int, 16> notesPerChannel{};
    std::vector<std::array<int64_t, 4>> events; // tick, channel, key, on (1) or off (0)
    int64_t endTick = 0;
    int64_t firstTempoTick = -1;
    uint32_t firstTempo = 0;
    std::string name;
    bool hasName = false;
};

class ByteReader {
public:
    ByteReader(std::span<const uint8_t> bytes, size_t begin, size_t end)
        : m_bytes(bytes), m_pos(begin), m_end(end) {}
    bool AtEnd() const { return m_pos >= m_end; }
    size_t Position() const { return m_pos; }
    bool Byte(uint8_t& value) {
        if (m_pos >= m_end)
            return false;
        value = m_bytes[m_pos++];
        return true;
    }
    bool VariableLength(uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = 0;
            if (!Byte(b))
                return false;
            value = (value << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return true;
        }
        return false; // a fifth continued byte: no such number in a file
    }
    bool Skip(uint32_t count) {
        if (count > m_end - m_pos)
            return false;
        m_pos += count;
        return true;
    }
    const uint8_t* Here() const { return m_bytes.data() + m_pos; }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos;
    size_t m_end;
};

uint32_t BigEndian(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

MidiReadResult ReadTrack(std::span<const uint8_t> bytes, size_t begin, size_t end, int index,
                         TrackData& track) {
    ByteReader in(bytes, begin, end);
    int64_t tick = 0;
    uint8_t status = 0;
    const auto fail = [&](MidiReadError error) {
        return MidiReadResult{error, index + 1, in.Position()};
    };
    while (!in.AtEnd()) {
        uint32_t delta = 0;
        if (!in.VariableLength(delta))
            return fail(MidiReadError::EventPastEnd);
        tick = std::min(tick + int64_t(delta), kTickCeiling);
        uint8_t first = 0;
        if (!in.Byte(first))
            return fail(MidiReadError::EventPastEnd);
        if (first == 0xFF) {
            uint8_t type = 0;
            uint32_t length = 0;
            if (!in.Byte(type) || !in.VariableLength(length))
                return fail(MidiReadError::EventPastEnd);
            const uint8_t* data = in.Here();
            if (!in.Skip(length))
                return fail(MidiReadError::EventPastEnd);
            if (type == 0x2F)
                break; // end of track: anything after it is not part of the track
            if (type == 0x51 && length == 3 && track.firstTempoTick < 0) {
                track.firstTempoTick = tick;
                track.firstTempo = BigEndian(data, 3);
            } else if (type == 0x03 && !track.hasName) {
                track.name.assign(reinterpret_cast<const char*>(data), length);
                track.hasName = true;
            }
            continue;
        }
        if (first == 0xF0 || first == 0xF7) {
            uint32_t length = 0;
            if (!in.VariableLength(length) || !in.Skip(length))
                return fail(MidiReadError::EventPastEnd);
            continue;
        }
        if (first > 0xF0)
            return fail(MidiReadError::BadEvent);
        uint8_t data1 = first;
        if (first & 0x80) {
            status = first;
            if (!in.Byte(data1))
                return fail(MidiReadError::EventPastEnd);
        } else if (status == 0) {
            return fail(MidiReadError::BadEvent);
        }
        const uint8_t kind = status & 0xF0;
        uint8_t data2 = 0;
        if (kind != 0xC0 && kind != 0xD0 && !in.Byte(data2))
            return fail(MidiReadError::EventPastEnd);
        if ((data1 | data2) & 0x80)
            return fail(MidiReadError::BadEvent);
        if (kind == 0x90 || kind == 0x80) {
            const bool on = kind == 0x90 && data2 != 0;
            const int channel = status & 0x0F;
            track.events.push_back({tick, channel, data1, on ? 1 : 0});
            if (on)
                ++track.notesPerChannel[size_t(channel)];
        }
    }
    track.endTick = tick;
    return {};
}

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

uint32_t MidiTempoOfByte(uint8_t tempoByte) {
    // Playback takes a tempo below 1 as 1; the event holds 24 bits.
    const int bpm = std::max(1, TempoFromByte(tempoByte));
    return std::min<uint32_t>(0xFFFFFF, uint32_t((60000000 + bpm / 2) / bpm));
}

std::vector<uint8_t> EncodeMidiFile(const Song& song, const TimeSignature& signature,
                                    const std::string& title) {
    std::vector<uint8_t> track;
    track.reserve(size_t(song.count) * 8 + title.size() + 32);
    if (!title.empty())
        PutMeta(track, 0x03, reinterpret_cast<const uint8_t*>(title.data()), title.size());
    const uint32_t tempo = MidiTempoOfByte(song.tempo);
    const uint8_t tempoBytes[3] = {uint8_t(tempo >> 16), uint8_t(tempo >> 8), uint8_t(tempo)};
    PutMeta(track, 0x51, tempoBytes, 3);
    const int unit = signature.beatUnit > 0 ? signature.beatUnit : 4;
    const uint8_t signatureBytes[4] = {uint8_t(std::clamp(signature.beatsPerBar, 1, 255)),
                                       uint8_t(Log2OfBeatUnit(unit)),
                                       uint8_t(std::max(1, 96 / unit)), 8};
    PutMeta(track, 0x58, signatureBytes, 4);

    int32_t now = 0;
    for (const PlayEvent& event : BuildPerformance(song)) {
        PutVariableLength(track, uint32_t(std::max(0, event.tick - now)));
        now = std::max(now, event.tick);
        track.push_back(uint8_t(event.message));
        track.push_back(uint8_t(event.message >> 8));
        track.push_back(uint8_t(event.message >> 16));
    }
    int32_t end = 0;
    for (int i = 0; i < song.count; ++i)
        end += GetDurationTicks(song.events[size_t(i)].code);
    PutVariableLength(track, uint32_t(std::max(0, end - now)));
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    std::vector<uint8_t> out;
    out.reserve(track.size() + 22);
    out.insert(out.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1});
    PutBigEndian(out, kMidiFileDivision, 2);
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    PutBigEndian(out, uint32_t(track.size()), 4);
    out.insert(out.end(), track.begin(), track.end());
    return out;
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

MidiReadResult DecodeMidiFile(std::span<const uint8_t> bytes, MidiImport& out) {
    if (bytes.size() < 8 || std::string_view(reinterpret_cast<const char*>(bytes.data()), 4) !=
                                std::string_view("MThd"))
        return {MidiReadError::NotMidi, -1, 0};
    const uint32_t headerLength = BigEndian(bytes.data() + 4, 4);
    if (headerLength < 6)
        return {MidiReadError::BadHeader, -1, 4};
    if (headerLength > bytes.size() - 8)
        return {MidiReadError::ChunkPastEnd, -1, 4};
    const uint8_t* header = bytes.data() + 8;
    const uint32_t format = BigEndian(header, 2);
    const uint32_t trackCount = BigEndian(header + 2, 2);
    const uint32_t division = BigEndian(header + 4, 2);
    if (format > 2 || trackCount == 0 || (format == 0 && trackCount != 1))
        return {MidiReadError::BadHeader, -1, 8};
    if (format == 2)
        return {MidiReadError::UnsupportedFormat, -1, 8};
    if (division & 0x8000)
        return {MidiReadError::SmpteDivision, -1, 12};
    if (division == 0)
        return {MidiReadError::BadHeader, -1, 12};

    std::vector<TrackData> tracks;
    size_t pos = 8 + size_t(headerLength);
    while (tracks.size() < trackCount) {
        if (bytes.size() - pos < 8)
            return {MidiReadError::TrackMissing, int(tracks.size()) + 1, pos};
        const uint8_t* chunk = bytes.data() + pos;
        const uint32_t length = BigEndian(chunk + 4, 4);
        if (length > bytes.size() - pos - 8)
            return {MidiReadError::ChunkPastEnd, int(tracks.size()) + 1, pos + 4};
        const size_t begin = pos + 8;
        pos = begin + length;
        if (std::string_view(reinterpret_cast<const char*>(chunk), 4) != "MTrk")
            continue; // a chunk of a kind we do not know is skipped
        tracks.emplace_back();
        const MidiReadResult read =
            ReadTrack(bytes, begin, pos, int(tracks.size()) - 1, tracks.back());
        if (read.error != MidiReadError::None)
            return read;
    }

    // The melody: the track with the most notes, then its channel with the most notes.
    const auto notesOf = [](const TrackData& t) {
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
    const TrackData& melody = tracks[best];
    const int channel =
        int(std::max_element(melody.notesPerChannel.begin(), melody.notesPerChannel.end()) -
            melody.notesPerChannel.begin());

    MidiImport result;
    const auto toSongTicks = [division](int64_t tick) {
        return (tick * kTicksPerQuarter + int64_t(division) / 2) / int64_t(division);
    };
    std::vector<RawNote> notes;
    std::vector<std::vector<size_t>> open(128); // indices into `notes`, oldest first
    for (const auto& [tick, ch, key, on] : melody.events) {
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
    for (const TrackData& t : tracks) {
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

const char* DescribeMidiError(MidiReadError error) {
    switch (error) {
    case MidiReadError::None:
        return "no error";
    case MidiReadError::NotMidi:
        return "not a Standard MIDI File (no MThd header)";
    case MidiReadError::BadHeader:
        return "bad header (format, track count or division)";
    case MidiReadError::SmpteDivision:
        return "SMPTE time-code division is not supported";
    case MidiReadError::TrackMissing:
        return "the file ends before all of its tracks";
    case MidiReadError::ChunkPastEnd:
        return "a chunk length runs past the end of the file";
    case MidiReadError::BadEvent:
        return "a malformed event (data without status or an unknown status byte)";
    case MidiReadError::EventPastEnd:
        return "an event runs past the end of its track";
    case MidiReadError::UnsupportedFormat:
        return "format 2 files are not supported";
    }
    return "unknown error";
}
