#include "staffpainter.h"

#include "settings/envsettings.h"
#include "view/drawhelpers.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int kStaffLeftMargin = 42; // the clef area before the first note
constexpr int kStaffMiddle = 108;    // 27 steps of 4 pixels down to the middle-C line

} // namespace

void CStaffPainter::DrawGlyph(QPainter& painter, const PixelRect& panel, int x, int offset,
                              StaffGlyph glyph, const QColor& ink) const {
    // The cell's row 10 lies on the note's line.
    m_glyphs.Draw(painter,
                  QPoint(panel.left + kStaffLeftMargin + x, panel.top + kStaffMiddle + offset - 10),
                  glyph, ink);
}

void CStaffPainter::DrawNote(QPainter& painter, const QPalette& palette, const PixelRect& panel,
                             const StaffNote& note, const std::optional<SongKey>& key,
                             AccidentalMemory& memory) const {
    const int xAt = panel.left + kStaffLeftMargin;
    const int yAt = panel.top + kStaffMiddle;
    const int offset = NoteOffset(note.key, key);
    if (const int bar = DurationBarWidth(note.width))
        painter.fillRect(xAt + note.x + 10, yAt + offset - 1, bar, 3,
                         GetSysColor(palette, SysColor::GrayText));
    for (const int ledger : LedgerOffsets(offset))
        painter.fillRect(xAt + note.x - 2, yAt + ledger, 14, 1,
                         GetSysColor(palette, SysColor::BtnText));
    const QColor ink = GlyphInkColor(palette);
    DrawGlyph(painter, panel, note.x, offset, kGlyphHead, ink);
    if (const std::optional<StaffGlyph> accidental = memory.Check(note.key))
        DrawGlyph(painter, panel, note.x - 10, offset, *accidental, ink);
}

uint32_t CStaffPainter::VisibleTicks(const PixelRect& area) {
    const int pixels = area.Width() - kStaffLeftMargin;
    return pixels > 0 ? uint32_t(pixels) * uint32_t(kTicksPerQuarter) / 48u : 0;
}

void CStaffPainter::Draw(QPainter& painter, const QPalette& palette, const Song& song,
                         const EnvSettings& settings, int cursorRow, const PixelRect& area,
                         int originRow) const {
    PixelRect rect = area;
    rect.bottom = std::min(rect.bottom, rect.top + kStaffPanelHeight);
    if (rect.Width() <= 0 || rect.Height() <= 0)
        return;
    painter.save();
    painter.setClipRect(ToQRect(rect), Qt::IntersectClip);
    painter.fillRect(ToQRect(rect), GetSysColor(palette, SysColor::BtnFace));

    const Meter meter = SongMeter(song, settings.GetTimeSignature());
    const uint32_t ticksPerBeat = uint32_t(GetTicksPerBeat(meter.signature));
    const uint32_t ticksPerBar = uint32_t(GetTicksPerBar(meter.signature));
    // Ticks from a bar line back to where a whole bar before the pickup would begin.
    const uint32_t shift = (ticksPerBar - uint32_t(meter.pickup)) % ticksPerBar;
    const int row = std::clamp(cursorRow, 0, song.count);
    const uint32_t cursorTick = song.events[size_t(row)].startTick;
    const uint32_t origin = StaffOriginTick(song, originRow < 0 ? row : originRow, meter);
    const int xAt = rect.left + kStaffLeftMargin;
    const int yAt = rect.top + kStaffMiddle;

    if (cursorTick >= origin) // a panel following the play may start after the cursor
        painter.fillRect(xAt + TicksToPixels(cursorTick - origin) + 5, rect.top, 1, rect.Height(),
                         CursorLineColor(palette));

    const QColor gray = GetSysColor(palette, SysColor::GrayText);
    const QColor text = GetSysColor(palette, SysColor::BtnText);
    // A dotted line at the origin, then one on every beat and a bar line on every bar.
    const auto dotted = [&](int x) {
        DrawDottedLine(painter, x, yAt - 40, 32, gray, 0);
        DrawDottedLine(painter, x, yAt + 8, 32, gray, 0);
    };
    const uint32_t firstBeat =
        origin + (ticksPerBeat - (origin + shift) % ticksPerBeat) % ticksPerBeat;
    if (firstBeat != origin) // a pickup that is no whole number of beats
        dotted(xAt);
    for (uint32_t tick = firstBeat;; tick += ticksPerBeat) {
        const int x = xAt + TicksToPixels(tick - origin);
        if (x >= rect.right)
            break;
        if (tick == origin || (tick + shift) % ticksPerBar != 0)
            dotted(x);
        else
            painter.fillRect(x, yAt - 40, 1, 80, text);
    }

    AccidentalMemory memory(song.music.key);
    for (const StaffNote& note : CollectStaffNotes(song, origin, rect.right - xAt))
        DrawNote(painter, palette, rect, note, song.music.key, memory);

    for (int step = 8; step <= 40; step += 8) {
        painter.fillRect(rect.left + 2, yAt - step, rect.right - rect.left - 2, 1, text);
        painter.fillRect(rect.left + 2, yAt + step, rect.right - rect.left - 2, 1, text);
    }
    painter.restore();
}
