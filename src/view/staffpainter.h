// Draws the staff panel: the bar of the cursor row (or, while a song plays, of the row played)
// and what follows it, with beat lines, note heads, accidentals, ledger lines, duration bars
// and the red cursor line.
#pragma once

#include "view/staffglyphs.h"
#include "view/staffrules.h"
#include "view/viewlayout.h"

class QPainter;
class QPalette;
struct EnvSettings;

class CStaffPainter {
public:
    /// Paints the panel into `area` (clipped to the panel's height) from the bar of
    /// `originRow`, the cursor row when it is negative. Start ticks of `song` must be current.
    void Draw(QPainter& painter, const QPalette& palette, const Song& song,
              const EnvSettings& settings, int cursorRow, const PixelRect& area,
              int originRow = -1) const;
    /// Ticks from the panel's origin that the notes area of a panel drawn into `area` shows.
    static uint32_t VisibleTicks(const PixelRect& area);

private:
    void DrawNote(QPainter& painter, const QPalette& palette, const PixelRect& panel,
                  const StaffNote& note, const std::optional<SongKey>& key,
                  AccidentalMemory& memory) const;
    void DrawGlyph(QPainter& painter, const PixelRect& panel, int x, int offset, StaffGlyph glyph,
                   const QColor& ink) const;

    CStaffGlyphs m_glyphs;
};
