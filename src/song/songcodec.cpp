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

std::string TruncateTitle(const std::string& title) {
    if (title.size() <= kMaxTitleBytes)
        return title;
    size_t end = 0;
    while (end < title.size()) {
        size_t next = end + (IsCp932LeadByte(uint8_t(title[end])) ? 2 : 1);
        if (next > kMaxTitleBytes)
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
    size_t n = bytes.size();
    // Older writers put the continuation byte after the end byte of a 249-byte string.
    if (n == kContinuationOffset + 1 && bytes[n - 1] == kContinuation && bytes[n - 2] == kEnd)
        --n;
    if (n == 0 || bytes[0] != kHeader || bytes[n - 1] != kEnd)
        return SongDecodeError::BadFrame;

    Song song;
    size_t pos = 1;
    if (bytes[pos] == kTitleStart) {
        size_t end = 0;
        for (size_t i = 2; i + 2 <= n; ++i) {
            if (bytes[i] == kTitleEnd) {
                end = i;
                break;
            }
        }
        if (end == 0)
            return SongDecodeError::UnendedTitle;
        song.title.assign(reinterpret_cast<const char*>(bytes.data()) + 2, end - 2);
        pos = end + 1;
    }
    if (pos + 1 >= n || bytes[pos] != kTempoStart)
        return SongDecodeError::NoTempo;
    song.tempo = bytes[pos + 1];
    pos += 2;

    for (SongEvent& e : song.events) {
        e.startTick = 0xFFFFFFFFu;
        e.code = 0xFF;
        e.pitch = 0xFF;
    }
    int begun = 0;
    for (; pos < n; ++pos) {
        const uint8_t b = bytes[pos];
        if (b == kContinuation)
            continue;
        if (b == kEnd)
            break;
        if (b >= kFirstCode) {
            if (begun == kMaxEvents)
                break;
            song.events[begun++].code = b;
        } else if (begun > 0) {
            song.events[begun - 1].pitch = b;
        }
    }
    song.count = begun;
    out = std::move(song);
    return SongDecodeError::None;
}

const char* DescribeSongError(SongDecodeError error) {
    switch (error) {
    case SongDecodeError::None:
        return "no error";
    case SongDecodeError::BadFrame:
        return "the file does not begin with 0xE1 and end with 0xFF";
    case SongDecodeError::UnendedTitle:
        return "the title block has no end";
    case SongDecodeError::NoTempo:
        return "the tempo block is missing";
    }
    return "unknown error";
}
