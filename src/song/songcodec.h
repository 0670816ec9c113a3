// The ".kes" song file: header 0xE1, optional title block, tempo block, events, end 0xFF,
// and one continuation byte 0xA1 after the first 249 bytes of a longer file.
#pragma once

#include "song.h"

#include <cstdint>
#include <span>
#include <vector>

enum class SongDecodeError {
    None,
    BadFrame,     // empty, not starting with 0xE1 or not ending with 0xFF
    UnendedTitle, // a title block without its 0xFD
    NoTempo,      // no 0xF1 where the tempo block must begin
};

/// The longest title a song file can carry and still read back unchanged.
constexpr size_t kMaxTitleBytes = 244;
/// Offset of the continuation byte in files longer than this many bytes.
constexpr size_t kContinuationOffset = 249;

/// Cuts a cp932 title to at most kMaxTitleBytes, never between the two bytes of a
/// double-byte character.
std::string TruncateTitle(const std::string& title);

/// The bytes of the song file. Titles longer than kMaxTitleBytes are cut (TruncateTitle).
std::vector<uint8_t> EncodeSong(const Song& song);

/// Parses a whole song file into `out`. `out` is replaced only on success; on an error
/// it is left exactly as it was.
SongDecodeError DecodeSong(std::span<const uint8_t> bytes, Song& out);

/// A short English description of a decode error, for messages.
const char* DescribeSongError(SongDecodeError error);
