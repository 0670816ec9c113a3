// Where the staff panel puts its notes, worked out without a window: the panel's origin bar,
// the notes with their positions and lengths, note-head offsets, ledger lines and the
// accidentals. The staff painter draws with these; the tests check them directly.
#pragma once

#include "song/musictime.h"
#include "song/song.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

struct StaffNote {
    int key = 0;   // MIDI key
    int x = 0;     // pixels from the origin of the panel's notes
    int width = 0; // pixels of the whole unit
};

/// Pixels of a tick count at 48 pixels per quarter note.
inline int TicksToPixels(uint32_t ticks) {
    return int(ticks * 48u / 480u);
}

/// The first tick of the bar that holds the cursor row; start ticks must be current.
uint32_t StaffOriginTick(const Song& song, int cursorRow, const Meter& meter);

/// The notes from `origin` on as the panel draws them: ties merged into one unit, rests
/// left out, nothing past `maxX` pixels. Start ticks must be current.
std::vector<StaffNote> CollectStaffNotes(const Song& song, uint32_t origin, int maxX);

/// Vertical offset in pixels of a note head's middle from the middle-C line (down is +), for
/// the note as `songKey` spells it (without one, black keys are sharps).
int NoteOffset(int key, const std::optional<SongKey>& songKey = std::nullopt);
/// Offsets of the ledger lines a note at `offset` needs.
std::vector<int> LedgerOffsets(int offset);
/// Length of the duration bar after the head of a note `width` pixels long (0: none).
inline int DurationBarWidth(int width) {
    return width > 10 ? width - 10 : 0;
}

enum StaffGlyph { kGlyphSharp = 0, kGlyphNatural = 1, kGlyphFlat = 2, kGlyphHead = 3 };

/// Which accidental a note needs, remembering the last one drawn for each letter over the
/// whole panel: a sharp (or flat) on the first sharp (flat) note of a letter, a natural when a
/// plain note of that letter follows, else none. Notes are spelt by `songKey` when given.
class AccidentalMemory {
public:
    explicit AccidentalMemory(std::optional<SongKey> songKey = std::nullopt) : m_key(songKey) {}
    /// The glyph to draw before the note, or nothing.
    std::optional<StaffGlyph> Check(int key);

private:
    std::optional<SongKey> m_key;
    std::array<int8_t, 7> m_alterations{};
};
