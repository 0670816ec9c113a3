#include "smf.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace {

// Ticks stop counting here: far past 999 events of a song's longest length, far from overflow.
constexpr int64_t kTickCeiling = int64_t(1) << 40;

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(uint8_t(value >> (8 * i)));
}

uint32_t BigEndian(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

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

// One event of a track: a channel message, a meta event (status 0xFF, its type and data) or
// system exclusive data (0xF0, 0xF7).
struct TrackEvent {
    uint8_t status = 0;
    uint8_t type = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
};

// Reads the event at the reader's position, the time before it added to `tick` and a status
// byte kept in `status` for the running status of the next.
MidiReadError NextEvent(ByteReader& in, int64_t tickScale, int64_t& tick, uint8_t& status,
                        TrackEvent& event) {
    uint32_t delta = 0;
    if (!in.VariableLength(delta))
        return MidiReadError::EventPastEnd;
    tick = std::min(tick + int64_t(delta) * tickScale, kTickCeiling);
    uint8_t first = 0;
    if (!in.Byte(first))
        return MidiReadError::EventPastEnd;
    event = {};
    if (first == 0xFF || first == 0xF0 || first == 0xF7) {
        event.status = first;
        if ((first == 0xFF && !in.Byte(event.type)) || !in.VariableLength(event.length))
            return MidiReadError::EventPastEnd;
        event.data = in.Here();
        return in.Skip(event.length) ? MidiReadError::None : MidiReadError::EventPastEnd;
    }
    if (first > 0xF0)
        return MidiReadError::BadEvent;
    uint8_t data1 = first;
    if (first & 0x80) {
        status = first;
        if (!in.Byte(data1))
            return MidiReadError::EventPastEnd;
    } else if (status == 0) {
        return MidiReadError::BadEvent;
    }
    const uint8_t kind = status & 0xF0;
    uint8_t data2 = 0;
    if (kind != 0xC0 && kind != 0xD0 && !in.Byte(data2))
        return MidiReadError::EventPastEnd;
    if ((data1 | data2) & 0x80)
        return MidiReadError::BadEvent;
    event.status = status;
    event.data1 = data1;
    event.data2 = data2;
    return MidiReadError::None;
}

bool IsEndOfTrack(const TrackEvent& event) {
    return event.status == 0xFF && event.type == 0x2F;
}

// Checks a track whole and reads its meta events, its programs and how many notes each
// channel strikes; the notes themselves are read again by CSmfNoteReader.
MidiReadResult ReadTrack(std::span<const uint8_t> bytes, size_t begin, size_t end, int index,
                         int64_t tickScale, SmfTrack& track, const std::stop_token& stop) {
    ByteReader in(bytes, begin, end);
    track.events = bytes.subspan(begin, end - begin);
    track.tickScale = tickScale;
    int64_t tick = 0;
    uint8_t status = 0;
    TrackEvent event;
    for (unsigned count = 1; !in.AtEnd(); ++count) {
        if (const MidiReadError error = NextEvent(in, tickScale, tick, status, event);
            error != MidiReadError::None)
            return {error, index + 1, in.Position()};
        if ((count & 0xFFFF) == 0 && stop.stop_requested())
            return {MidiReadError::Cancelled, index + 1, in.Position()};
        if (IsEndOfTrack(event))
            break; // anything after it is not part of the track
        const uint8_t kind = event.status & 0xF0;
        const size_t channel = event.status & 0x0F;
        if (event.status == 0xFF) {
            const uint8_t* data = event.data;
            if (event.type == 0x51 && event.length == 3) {
                track.tempos.push_back({tick, BigEndian(data, 3)});
            } else if (event.type == 0x58 && event.length >= 2 && track.timeNumerator == 0 &&
                       data[1] < 8) {
                track.timeNumerator = data[0];
                track.timeDenominator = 1 << data[1];
            } else if (event.type == 0x59 && event.length >= 2 && !track.hasKey &&
                       int8_t(data[0]) >= -7 && int8_t(data[0]) <= 7 && data[1] <= 1) {
                track.keyFifths = int8_t(data[0]);
                track.keyMinor = data[1] == 1;
                track.hasKey = true;
            } else if (event.type == 0x03 && !track.hasName) {
                track.name.assign(reinterpret_cast<const char*>(data), event.length);
                track.hasName = true;
            }
        } else if (kind == 0x90 && event.data2 != 0) {
            ++track.notesPerChannel[channel];
        } else if (kind == 0xC0 && track.programs[channel] < 0) {
            track.programs[channel] = event.data1;
        }
    }
    track.endTick = tick;
    return {};
}

} // namespace

MidiReadResult ReadSmf(std::span<const uint8_t> bytes, SmfFile& out, const std::stop_token& stop) {
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
    if (format > 2 || trackCount == 0)
        return {MidiReadError::BadHeader, -1, 8};
    if (format == 2)
        return {MidiReadError::UnsupportedFormat, -1, 8};
    SmfFile file;
    file.extraTracks = format == 0 && trackCount > 1;
    uint32_t ticksPerQuarter = division;
    int64_t tickScale = 1;
    if (division & 0x8000) {
        // Time code: frames a second (negative in the high byte) times ticks a frame give
        // ticks a second; at 120 quarter notes a minute a quarter lasts half of that, so every
        // tick counts twice against a division of a whole second.
        const int framesPerSecond = -int(int8_t(division >> 8));
        const uint32_t ticksPerFrame = division & 0xFF;
        if (framesPerSecond != 24 && framesPerSecond != 25 && framesPerSecond != 29 &&
            framesPerSecond != 30)
            return {MidiReadError::BadHeader, -1, 12};
        file.timeCode = true;
        file.dropFrameGuessed = framesPerSecond == 29;
        ticksPerQuarter = uint32_t(framesPerSecond == 29 ? 30 : framesPerSecond) * ticksPerFrame;
        tickScale = 2;
    }
    if (ticksPerQuarter == 0)
        return {MidiReadError::BadHeader, -1, 12};

    std::vector<SmfTrack>& tracks = file.tracks;
    size_t pos = 8 + size_t(headerLength);
    while (tracks.size() < trackCount) {
        if (bytes.size() - pos < 8)
            return {MidiReadError::TrackMissing, int(tracks.size()) + 1, pos};
        const uint8_t* chunk = bytes.data() + pos;
        uint32_t length = BigEndian(chunk + 4, 4);
        if (length > bytes.size() - pos - 8) {
            // Other readers take a last track that claims more than the file holds up to the
            // file's end; any earlier track would swallow the ones after it.
            if (tracks.size() + 1 != trackCount)
                return {MidiReadError::ChunkPastEnd, int(tracks.size()) + 1, pos + 4};
            length = uint32_t(bytes.size() - pos - 8);
            file.lastTrackCut = true;
        }
        const size_t begin = pos + 8;
        pos = begin + length;
        if (std::string_view(reinterpret_cast<const char*>(chunk), 4) != "MTrk")
            continue; // a chunk of a kind we do not know is skipped
        tracks.emplace_back();
        const MidiReadResult read =
            ReadTrack(bytes, begin, pos, int(tracks.size()) - 1, tickScale, tracks.back(), stop);
        if (read.error != MidiReadError::None)
            return read;
    }
    if (file.timeCode) {
        for (SmfTrack& track : tracks)
            track.tempos.clear(); // time code counts seconds: tempo events change nothing
        tracks.front().tempos.push_back({0, 500000});
    }
    file.division = ticksPerQuarter;
    out = std::move(file);
    return {};
}

CSmfNoteReader::CSmfNoteReader(const SmfTrack& track)
    : m_bytes(track.events), m_tickScale(track.tickScale) {}

bool CSmfNoteReader::Next(SmfNoteEvent& note) {
    ByteReader in(m_bytes, m_pos, m_bytes.size());
    TrackEvent event;
    while (!in.AtEnd()) {
        if (NextEvent(in, m_tickScale, m_tick, m_status, event) != MidiReadError::None ||
            IsEndOfTrack(event))
            break;
        const uint8_t kind = event.status & 0xF0;
        if (kind == 0x90 || kind == 0x80) {
            m_pos = in.Position();
            note = {m_tick, event.status & 0x0F, event.data1, kind == 0x90 && event.data2 != 0};
            return true;
        }
    }
    m_pos = m_bytes.size();
    return false;
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

void PutMetaEvent(std::vector<uint8_t>& track, uint32_t delta, uint8_t type,
                  std::span<const uint8_t> data) {
    PutVariableLength(track, delta);
    track.push_back(0xFF);
    track.push_back(type);
    PutVariableLength(track, uint32_t(data.size()));
    track.insert(track.end(), data.begin(), data.end());
}

void PutShortMessage(std::vector<uint8_t>& track, uint32_t delta, uint32_t message) {
    PutVariableLength(track, delta);
    track.push_back(uint8_t(message));
    track.push_back(uint8_t(message >> 8));
    track.push_back(uint8_t(message >> 16));
}

void PutEndOfTrack(std::vector<uint8_t>& track, uint32_t delta) {
    PutVariableLength(track, delta);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
}

std::vector<uint8_t> MakeFormat0File(uint16_t division, std::span<const uint8_t> track) {
    std::vector<uint8_t> out;
    out.reserve(track.size() + 22);
    out.insert(out.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1});
    PutBigEndian(out, division, 2);
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    PutBigEndian(out, uint32_t(track.size()), 4);
    out.insert(out.end(), track.begin(), track.end());
    return out;
}
