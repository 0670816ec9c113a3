#include "staffrules.h"

#include "song/musickey.h"
#include "song/musictime.h"

#include <algorithm>

namespace {

// Letter (0 C to 6 B), alteration and octave of a note on the staff.
struct StaffSpelling {
    int letter;
    int alter;
    int octave;
};

StaffSpelling SpellOnStaff(int key, const std::optional<SongKey>& songKey) {
    if (songKey) {
        const KeySpelling spelling = SpellKeyIn(key, *songKey);
        return {(spelling.step - 'A' + 5) % 7, spelling.alter, spelling.octave};
    }
    const uint8_t entry = kLetterTable[size_t(key % 12)];
    return {(entry & 0x0F) - 8, entry >> 4, key / 12 - 1};
}

} // namespace

uint32_t StaffOriginTick(const Song& song, int cursorRow, const Meter& meter) {
    const int row = std::clamp(cursorRow, 0, song.count);
    return BarStartTick(song.events[row].startTick, meter);
}

std::vector<StaffNote> CollectStaffNotes(const Song& song, uint32_t origin, int maxX) {
    std::vector<StaffNote> notes;
    int i = 0;
    while (i < song.count) {
        const SongEvent& first = song.events[i];
        if (first.startTick < origin) {
            ++i;
            continue;
        }
        const int x = TicksToPixels(first.startTick - origin);
        if (x > maxX)
            break;
        const int length = GatherTiedUnit(song, i);
        if (i >= song.count)
            break;
        const uint8_t pitch = song.events[i].pitch;
        if (pitch != kPitchRest)
            notes.push_back({pitch + kPitchToKey, x, TicksToPixels(uint32_t(length))});
        ++i;
    }
    return notes;
}

int NoteOffset(int key, const std::optional<SongKey>& songKey) {
    const StaffSpelling spelling = SpellOnStaff(key, songKey);
    return -(7 * (spelling.octave - 4) + spelling.letter) * 4;
}

std::vector<int> LedgerOffsets(int offset) {
    std::vector<int> lines;
    for (int y = 48; y <= offset; y += 8)
        lines.push_back(y);
    for (int y = -48; y >= offset; y -= 8)
        lines.push_back(y);
    if (offset == 0)
        lines.push_back(0);
    return lines;
}

std::optional<StaffGlyph> AccidentalMemory::Check(int key) {
    const StaffSpelling spelling = SpellOnStaff(key, m_key);
    int8_t& memory = m_alterations[size_t(spelling.letter)];
    if (memory == spelling.alter)
        return std::nullopt;
    memory = int8_t(spelling.alter);
    return spelling.alter > 0 ? kGlyphSharp : spelling.alter < 0 ? kGlyphFlat : kGlyphNatural;
}
