#include "songcodec.h"

#include <algorithm>

namespace {

constexpr uint8_t kHeader = 0xE1;
constexpr uint8_t kTitleStart = 0xF0;
constexpr uint8_t kTitleEnd = 0xFD;
constexpr uint8_t kTempoStart = 0xF1;
constexpr uint8_t kEnd = 0xFF;
constexpr uint8_t kContinuation = 0xA1;
constexpr uint8_t kFirstCode = 0x60;

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
    bytes.reserve(title.size() + 2 * size_t(count) + 10);
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
    if (m_stage != Stage::Done && m_stage != Stage::NoTempo) {
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
            m_stage = Stage::Done;
        } else if (b >= kFirstCode) {
            if (m_song.count == kMaxEvents)
                m_stage = Stage::Done;
            else
                m_song.events[size_t(m_song.count++)].code = b;
        } else if (m_song.count > 0) {
            m_song.events[size_t(m_song.count - 1)].pitch = b;
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
    default:
        return SongDecodeError::NoTempo;
    }
    m_song.title = TruncateTitle(m_song.title, kMaxKeptTitleBytes);
    out = std::move(m_song);
    return SongDecodeError::None;
}
