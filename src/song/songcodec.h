// The ".kes" song file: header 0xE1, optional title block, tempo block, events, end 0xFF,
// and one continuation byte 0xA1 after the first 249 bytes of a longer file; then, when the
// song holds a key, a time signature or a pickup, the extension: "KesV", a version and
// tagged fields, ended by one more 0xFF (readers that stop at the first end byte never see it).
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

/// Cuts a cp932 title to at most `limit` bytes, never between the two bytes of a
/// double-byte character.
std::string TruncateTitle(const std::string& title, size_t limit = kMaxTitleBytes);

/// The bytes of the song file. Titles longer than kMaxTitleBytes are cut (TruncateTitle).
std::vector<uint8_t> EncodeSong(const Song& song);

/// Parses a whole song file into `out`. `out` is replaced only on success; on an error
/// it is left exactly as it was.
SongDecodeError DecodeSong(std::span<const uint8_t> bytes, Song& out);

/// The extension's signature, version and end; a longer extension is not one of ours.
constexpr uint8_t kExtensionSignature[4] = {'K', 'e', 's', 'V'};
constexpr uint8_t kExtensionVersion = 1;
constexpr size_t kMaxExtensionBytes = 1024;

/// Titles are kept up to this many bytes (cut on a character boundary); a longer title
/// only comes from a damaged file.
constexpr size_t kMaxKeptTitleBytes = 64 * 1024;

/// DecodeSong piece by piece, in fixed memory: feed the file's bytes in order, then
/// Finish once. Once the events are read, only the length and the last bytes still count.
class SongReader {
public:
    SongReader();
    void Feed(std::span<const uint8_t> bytes);
    /// The result DecodeSong gives for all the bytes fed; `out` changes only on success.
    SongDecodeError Finish(Song& out);

private:
    enum class Stage {
        Header,
        TitleOrTempo,
        Title,
        TempoStart,
        TempoByte,
        Events,
        AfterEnd, // the bytes after the end byte, kept while they may be an extension
        Done,
        NoTempo
    };
    void Take(uint8_t b);

    Song m_song;
    Stage m_stage = Stage::Header;
    uint8_t m_first = 0;
    uint8_t m_tail[2] = {0, 0}; // the last two bytes, the last one at [1]
    size_t m_size = 0;
    std::vector<uint8_t> m_afterEnd;
};
