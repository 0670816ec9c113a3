#include "songcodec.h"

#include "musictime.h"

#include <algorithm>
#include <initializer_list>

namespace {

constexpr uint8_t kHeader = 0xE1;
constexpr uint8_t kTitleStart = 0xF0;
constexpr uint8_t kTitleEnd = 0xFD;
constexpr uint8_t kTempoStart = 0xF1;
constexpr uint8_t kEnd = 0xFF;
constexpr uint8_t kContinuation = 0xA1;
constexpr uint8_t kFirstCode = 0x60;

// The extension's fields. Tags from 0x80 on mean something only with the events they were
// written with: a reader that does not know one drops it, while it keeps and writes back an
// unknown tag below 0x80.
constexpr uint8_t kKeyTag = 0x01;    // fifths + 7 (0..14), 0 major or 1 minor
constexpr uint8_t kTimeTag = 0x02;   // beats per bar, beat unit
constexpr uint8_t kPickupTag = 0x03; // ticks, big-endian, 1..65535
constexpr uint8_t kFirstDroppedTag = 0x80;

void PutField(std::vector<uint8_t>& out, uint8_t tag, std::initializer_list<uint8_t> data) {
    out.push_back(tag);
    out.push_back(uint8_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

void AppendExtension(const Song& song, std::vector<uint8_t>& out) {
    const SongMusic& music = song.music;
    std::vector<uint8_t> fields;
    if (music.key)
        PutField(fields, kKeyTag,
                 {uint8_t(std::clamp(music.key->fifths, -7, 7) + 7), uint8_t(music.key->minor)});
    if (music.time && IsSongTimeSignature(*music.time))
        PutField(fields, kTimeTag,
                 {uint8_t(music.time->beatsPerBar), uint8_t(music.time->beatUnit)});
    if (music.pickup > 0 && music.pickup <= 0xFFFF)
        PutField(fields, kPickupTag, {uint8_t(music.pickup >> 8), uint8_t(music.pickup)});
    constexpr size_t kFrame = sizeof kExtensionSignature + 2; // signature, version, end
    if (kFrame + fields.size() + music.laterFields.size() <= kMaxExtensionBytes)
        fields.insert(fields.end(), music.laterFields.begin(), music.laterFields.end());
    if (fields.empty())
        return;
    out.insert(out.end(), std::begin(kExtensionSignature), std::end(kExtensionSignature));
    out.push_back(kExtensionVersion);
    out.insert(out.end(), fields.begin(), fields.end());
    out.push_back(kEnd);
}

// Reads the bytes after the end byte into `song` when they are an extension we can read;
// anything else (stray bytes, a later version, a damaged field list) leaves it as it was.
void ReadExtension(std::span<const uint8_t> bytes, Song& song) {
    constexpr size_t kHead = sizeof kExtensionSignature + 1;
    if (bytes.size() < kHead + 1 || bytes.size() > kMaxExtensionBytes ||
        !std::equal(std::begin(kExtensionSignature), std::end(kExtensionSignature),
                    bytes.begin()) ||
        bytes[kHead - 1] != kExtensionVersion || bytes.back() != kEnd)
        return;
    const size_t end = bytes.size() - 1;
    for (size_t pos = kHead; pos < end;) {
        if (bytes[pos] == kEnd || pos + 2 > end || pos + 2 + bytes[pos + 1] > end)
            return;
        pos += 2 + bytes[pos + 1];
    }
    SongMusic music;
    for (size_t pos = kHead; pos < end; pos += 2 + bytes[pos + 1]) {
        const uint8_t tag = bytes[pos];
        const std::span<const uint8_t> data = bytes.subspan(pos + 2, bytes[pos + 1]);
        if (tag == kKeyTag) {
            if (data.size() == 2 && data[0] <= 14 && data[1] <= 1 && !music.key)
                music.key = SongKey{data[0] - 7, data[1] == 1};
        } else if (tag == kTimeTag) {
            const TimeSignature time{data.size() == 2 ? data[0] : 0,
                                     data.size() == 2 ? data[1] : 0};
            if (IsSongTimeSignature(time) && !music.time)
                music.time = time;
        } else if (tag == kPickupTag) {
            const int ticks = data.size() == 2 ? (data[0] << 8) | data[1] : 0;
            if (ticks > 0 && music.pickup == 0)
                music.pickup = ticks;
        } else if (tag < kFirstDroppedTag) {
            music.laterFields.append(reinterpret_cast<const char*>(bytes.data() + pos),
                                     2 + data.size());
        }
    }
    song.music = std::move(music);
}

bool IsCp932LeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace

std::string TruncateTitle(const std::string& title, size_t limit) {
    if (title.size() <= limit)
        return title;
    size_t end = 0;
    while (end < title.size()) {
        size_t next = end + (IsCp932LeadByte(uint8_t(title[end])) ? 2 : 1);
        if (next > limit)
            break;
        end = next;
    }
    return title.substr(0, end);
}

std::vector<uint8_t> EncodeSong(const Song& song) {
    const std::string title = TruncateTitle(song.title);
    const int count = std::clamp(song.count, 0, kMaxEvents);
    std::vector<uint8_t> bytes;
    bytes.reserve(title.size() + 2 * size_t(count) + 10 + 16 + song.music.laterFields.size());
    bytes.push_back(kHeader);
    if (!title.empty()) {
        bytes.push_back(kTitleStart);
        bytes.insert(bytes.end(), title.begin(), title.end());
        bytes.push_back(kTitleEnd);
    }
    bytes.push_back(kTempoStart);
    bytes.push_back(song.tempo);
    for (int i = 0; i < count; ++i) {
        bytes.push_back(song.events[i].code);
        // A tie's pitch 0xFF (or any from 0x60) is never stored: the reader would take 0xFF
        // for the end of the song and drop every event after it.
        if (song.events[i].pitch < kFirstCode)
            bytes.push_back(song.events[i].pitch);
    }
    bytes.push_back(kEnd);
    // A string of exactly 249 bytes would get its continuation byte after the end byte.
    if (bytes.size() > kContinuationOffset)
        bytes.insert(bytes.begin() + kContinuationOffset, kContinuation);
    // The continuation byte belongs to the part every reader reads; the extension follows as is.
    AppendExtension(song, bytes);
    return bytes;
}

SongDecodeError DecodeSong(std::span<const uint8_t> bytes, Song& out) {
    SongReader reader;
    reader.Feed(bytes);
    return reader.Finish(out);
}

SongReader::SongReader() {
    for (SongEvent& e : m_song.events) {
        e.startTick = 0xFFFFFFFFu;
        e.code = 0xFF;
        e.pitch = 0xFF;
    }
}

void SongReader::Feed(std::span<const uint8_t> bytes) {
    if (bytes.empty())
        return;
    if (m_stage == Stage::AfterEnd && m_afterEnd.size() + bytes.size() <= kMaxExtensionBytes + 1) {
        m_afterEnd.insert(m_afterEnd.end(), bytes.begin(), bytes.end());
    } else if (m_stage != Stage::Done && m_stage != Stage::NoTempo) {
        for (size_t i = 0; i < bytes.size() && m_stage != Stage::Done; ++i)
            Take(bytes[i]);
    }
    if (bytes.size() >= 2)
        m_tail[0] = bytes[bytes.size() - 2];
    else
        m_tail[0] = m_tail[1];
    m_tail[1] = bytes.back();
    if (m_size == 0)
        m_first = bytes.front();
    m_size += bytes.size();
}

void SongReader::Take(uint8_t b) {
    switch (m_stage) {
    case Stage::Header:
        // A wrong header byte fails the frame check in Finish, whatever follows.
        m_stage = b == kHeader ? Stage::TitleOrTempo : Stage::NoTempo;
        return;
    case Stage::TitleOrTempo:
        if (b == kTitleStart) {
            m_stage = Stage::Title;
            return;
        }
        [[fallthrough]];
    case Stage::TempoStart:
        m_stage = b == kTempoStart ? Stage::TempoByte : Stage::NoTempo;
        return;
    case Stage::Title:
        if (b == kTitleEnd)
            m_stage = Stage::TempoStart;
        else if (m_song.title.size() <= kMaxKeptTitleBytes) // one more byte tells where to cut
            m_song.title.push_back(char(b));
        return;
    case Stage::TempoByte:
        m_song.tempo = b;
        m_stage = Stage::Events;
        return;
    case Stage::Events:
        if (b == kContinuation)
            return;
        if (b == kEnd) {
            m_stage = Stage::AfterEnd;
        } else if (b >= kFirstCode) {
            if (m_song.count == kMaxEvents)
                m_stage = Stage::Done;
            else
                m_song.events[size_t(m_song.count++)].code = b;
        } else if (m_song.count > 0) {
            m_song.events[size_t(m_song.count - 1)].pitch = b;
        }
        return;
    case Stage::AfterEnd:
        if (m_afterEnd.size() > kMaxExtensionBytes) { // too long for one of ours
            m_afterEnd.clear();
            m_stage = Stage::Done;
        } else {
            m_afterEnd.push_back(b);
        }
        return;
    case Stage::Done:
    case Stage::NoTempo:
        return;
    }
}

SongDecodeError SongReader::Finish(Song& out) {
    // Older writers put the continuation byte after the end byte of a 249-byte string.
    const bool endsWithEnd = m_tail[1] == kEnd || (m_size == kContinuationOffset + 1 &&
                                                   m_tail[1] == kContinuation && m_tail[0] == kEnd);
    if (m_size == 0 || m_first != kHeader || !endsWithEnd)
        return SongDecodeError::BadFrame;
    switch (m_stage) {
    case Stage::Title:
        return SongDecodeError::UnendedTitle;
    case Stage::Events:
    case Stage::Done:
        break;
    case Stage::AfterEnd:
        ReadExtension(m_afterEnd, m_song);
        break;
    default:
        return SongDecodeError::NoTempo;
    }
    m_song.title = TruncateTitle(m_song.title, kMaxKeptTitleBytes);
    out = std::move(m_song);
    return SongDecodeError::None;
}
