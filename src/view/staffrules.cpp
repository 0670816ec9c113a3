#include "staffrules.h"

#include "song/musictime.h"

#include <algorithm>

uint32_t StaffOriginTick(const Song& song, int cursorRow, int ticksPerBar) {
    const int row = std::clamp(cursorRow, 0, song.count);
    const uint32_t perBar = uint32_t(std::max(1, ticksPerBar));
    return song.events[row].startTick / perBar * perBar;
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

int NoteOffset(int key) {
    const int letter = kLetterTable[size_t(key % 12)] & 0x0F;
    return -(7 * (key / 12 - 5) + (letter - 8)) * 4;
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
    const uint8_t entry = kLetterTable[size_t(key % 12)];
    const int letter = entry & 0x0F;
    const uint8_t accidental = entry >> 4;
    uint8_t& memory = m_accidentals[size_t((letter - 1) % 7)];
    if (memory == accidental)
        return std::nullopt;
    memory = accidental;
    return accidental != 0 ? StaffGlyph(accidental - 1) : kGlyphNatural;
}
