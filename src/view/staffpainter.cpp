#include "staffpainter.h"

#include "settings/envsettings.h"
#include "view/drawhelpers.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int kStaffLeftMargin = 42; // the clef area before the first note
constexpr int kStaffMiddle = 108;    // 27 steps of 4 pixels down to the middle-C line

} // namespace

CStaffPainter::CStaffPainter() {
    // The strip is black on white and is meant to be combined as source AND destination.
    // Not every paint engine honours raster operations (the PDF one claims them and still
    // paints the white), so white becomes transparent instead: the same result anywhere.
    m_glyphs = QImage(QStringLiteral(":/glyphs.png")).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < m_glyphs.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(m_glyphs.scanLine(y));
        for (int x = 0; x < m_glyphs.width(); ++x)
            line[x] = qGray(line[x]) > 128 ? qRgba(0, 0, 0, 0) : qRgba(0, 0, 0, 255);
    }
    m_glyphs = m_glyphs.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void CStaffPainter::DrawGlyph(QPainter& painter, const PixelRect& panel, int x, int offset,
                              int glyph) const {
    const QPoint target(panel.left + kStaffLeftMargin + x, panel.top + kStaffMiddle + offset - 10);
    painter.drawImage(target, m_glyphs, QRect(10 * glyph, 0, 10, 20));
}

void CStaffPainter::DrawNote(QPainter& painter, const QPalette& palette, const PixelRect& panel,
                             const StaffNote& note, AccidentalMemory& memory) const {
    const int xAt = panel.left + kStaffLeftMargin;
    const int yAt = panel.top + kStaffMiddle;
    const int offset = NoteOffset(note.key);
    if (const int bar = DurationBarWidth(note.width))
        painter.fillRect(xAt + note.x + 10, yAt + offset - 1, bar, 3,
                         GetSysColor(palette, SysColor::GrayText));
    for (const int ledger : LedgerOffsets(offset))
        painter.fillRect(xAt + note.x - 2, yAt + ledger, 14, 1,
                         GetSysColor(palette, SysColor::BtnText));
    DrawGlyph(painter, panel, note.x, offset, kGlyphHead);
    if (const std::optional<StaffGlyph> accidental = memory.Check(note.key))
        DrawGlyph(painter, panel, note.x - 10, offset, *accidental);
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

    const int ticksPerBeat = settings.GetTicksPerBeat();
    const int beatsPerBar = std::max(1, settings.GetTimeSignature().beatsPerBar);
    const int row = std::clamp(cursorRow, 0, song.count);
    const uint32_t cursorTick = song.events[size_t(row)].startTick;
    const uint32_t origin =
        StaffOriginTick(song, originRow < 0 ? row : originRow, settings.GetTicksPerBar());
    const int xAt = rect.left + kStaffLeftMargin;
    const int yAt = rect.top + kStaffMiddle;

    if (cursorTick >= origin) // a panel following the play may start after the cursor
        painter.fillRect(xAt + TicksToPixels(cursorTick - origin) + 5, rect.top, 1, rect.Height(),
                         QColor(255, 0, 0));

    const QColor gray = GetSysColor(palette, SysColor::GrayText);
    const QColor text = GetSysColor(palette, SysColor::BtnText);
    const int beatWidth = std::max(1, TicksToPixels(uint32_t(ticksPerBeat)));
    for (int x = xAt, n = 0; x < rect.right; x += beatWidth, ++n) {
        if (n == 0 || n % beatsPerBar != 0) {
            DrawDottedLine(painter, x, yAt - 40, 32, gray, 0);
            DrawDottedLine(painter, x, yAt + 8, 32, gray, 0);
        } else {
            painter.fillRect(x, yAt - 40, 1, 80, text);
        }
    }

    AccidentalMemory memory;
    for (const StaffNote& note : CollectStaffNotes(song, origin, rect.right - xAt))
        DrawNote(painter, palette, rect, note, memory);

    for (int step = 8; step <= 40; step += 8) {
        painter.fillRect(rect.left + 2, yAt - step, rect.right - rect.left - 2, 1, text);
        painter.fillRect(rect.left + 2, yAt + step, rect.right - rect.left - 2, 1, text);
    }
    painter.restore();
}
