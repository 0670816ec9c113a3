#include "listpainter.h"

#include "editor/stepeditor.h"
#include "text/cp932.h"
#include "view/celltextpainter.h"
#include "view/drawhelpers.h"

#include <QPainter>

#include <algorithm>

namespace {

// Each line is laid out on the character grid: a full-width character takes two cells, so a
// translation pads its lines for its own widths.
const char* const kGuideLines[CListPainter::kKeyGuideLines] = {
    QT_TRANSLATE_NOOP("CListPainter", "[F1] 全音符        [F7]  八分音符      "),
    QT_TRANSLATE_NOOP("CListPainter", "[F2] 符点二分音符  [F8]  16分音符      "),
    QT_TRANSLATE_NOOP("CListPainter", "[F3] 二分音符      [F9]  ３連符        "),
    QT_TRANSLATE_NOOP("CListPainter", "[F4] 符点四分音符  [F10] ６連符        "),
    QT_TRANSLATE_NOOP("CListPainter", "[F5] 四分音符      [F11] タイ          "),
    QT_TRANSLATE_NOOP("CListPainter", "[F6] 符点八分音符  [F12] 休符          "),
};

// The column header and the rest mark are laid out on the grid too: the header's "♪" stands
// over the note column (22), its last text ends in column 30; the mark takes the note column's
// three cells at most.
const char* const kColumnHeader =
    QT_TRANSLATE_NOOP("CListPainter", "No. bin.    TimeStamp ♪   Len.");
const char* const kRestText = QT_TRANSLATE_NOOP("CListPainter", "休");

/// The row being played: its marker box green with a triangle pointing at the row, white on a
/// light palette, of the buttons' colour on the brighter green of a dark one.
void DrawPlayMark(QPainter& painter, const QPalette& palette, const PixelRect& marker) {
    PixelRect box = marker;
    box.DeflateRect(1, 1);
    painter.fillRect(ToQRect(box), PlayMarkColor(palette));
    const int height = std::max(2, box.Height() - 4) / 2 * 2;
    const int left = box.left + std::max(1, (box.Width() - height / 2 - 1) / 2);
    const int top = box.top + (box.Height() - height) / 2;
    const QPoint corners[3] = {
        {left, top}, {left, top + height}, {left + height / 2, top + height / 2}};
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(IsDarkPalette(palette) ? GetSysColor(palette, SysColor::BtnFace)
                                            : QColor(Qt::white));
    painter.drawPolygon(corners, 3);
    painter.restore();
}

/// A row's number box: flat raised; a dark palette's light and shadow lie too close to the
/// button face to show it, so there its ring is drawn in the text's colour, dimmed, and black.
void DrawRowMarker(QPainter& painter, const QPalette& palette, PixelRect marker) {
    if (!IsDarkPalette(palette)) {
        DrawFrameBox(painter, palette, kFrameFlatRaised, marker, false);
        return;
    }
    const QColor face = GetSysColor(palette, SysColor::BtnFace);
    const QColor text = GetSysColor(palette, SysColor::BtnText);
    const auto mix = [&face](const QColor& other, double share) {
        return QColor::fromRgbF(float(face.redF() + (other.redF() - face.redF()) * share),
                                float(face.greenF() + (other.greenF() - face.greenF()) * share),
                                float(face.blueF() + (other.blueF() - face.blueF()) * share));
    };
    PixelRect box = marker;
    painter.fillRect(ToQRect(box), face);
    box.DeflateRect(1, 1);
    Draw3dRect(painter, box, mix(text, 0.45), mix(QColor(Qt::black), 0.6));
}

} // namespace

CListPainter::CListPainter(const QFont& font, const ViewMetrics& metrics, int ascent)
    : m_metrics(metrics), m_pCellText(std::make_unique<CCellTextPainter>(font, metrics.cw, ascent)),
      m_strColumnHeader(EncodeCp932(tr(kColumnHeader)).value_or(ColumnHeaderText())),
      m_strRestMark(EncodeCp932(tr(kRestText)).value_or(kRestMark)) {
    m_strRestMark.resize(3, ' ');
    for (int i = 0; i < kKeyGuideLines; ++i) {
        m_guideTexts << tr(kGuideLines[i]);
        m_strGuideLines[i] = EncodeCp932(m_guideTexts.back()).value_or(std::string());
    }
}

CListPainter::~CListPainter() = default;

void CListPainter::DrawHeader(QPainter& painter, const QPalette& palette, const Song& song) {
    const int flags = Qt::AlignLeft | Qt::AlignVCenter;
    DrawLabelBox(painter, palette, kFrameRaised, m_metrics.TempoLabelRect(),
                 QStringLiteral("Tempo"), flags);
    DrawLabelBox(painter, palette, kFrameField, m_metrics.TempoValueRect(),
                 QString::fromLatin1(FormatTempoText(song.tempo)), flags);
    DrawLabelBox(painter, palette, kFrameRaised, m_metrics.TitleLabelRect(),
                 QStringLiteral("Title"), flags);
    // A title longer than its box ends in "…" (the view shows it whole as a tool tip).
    const PixelRect titleBox = m_metrics.TitleValueRect();
    const QString title = painter.fontMetrics().elidedText(DecodeCp932(song.title), Qt::ElideRight,
                                                           titleBox.Width() - 4);
    DrawLabelBox(painter, palette, kFrameField, titleBox, title, flags);
}

void CListPainter::DrawList(QPainter& painter, const QPalette& palette, const Song& song,
                            const QRect& client, const ListRows& rows) {
    const int bottom = client.bottom() + 1;
    const int listWidth = m_metrics.GetListWidth();
    const int lh = m_metrics.lh;
    painter.fillRect(0, lh + 4, listWidth, bottom - (lh + 4),
                     GetSysColor(palette, SysColor::BtnFace));
    painter.setPen(GetSysColor(palette, SysColor::BtnText));
    m_pCellText->Draw(painter, m_metrics.TextLeft(), lh + 4, m_strColumnHeader);
    Draw3dRect(painter, {0, 2 * lh + 4, listWidth, bottom},
               GetSysColor(palette, SysColor::BtnHighlight),
               GetSysColor(palette, SysColor::DkShadow3D));

    RowRepeat repeat;
    int y = m_metrics.GetRowTop(0);
    for (int i = std::max(0, rows.first); i <= song.count; ++i) {
        if (y >= bottom)
            break;
        PixelRect marker{1, y + 1, 2 * m_metrics.cw + 1, y + 1 + lh};
        if (i != rows.playRow)
            DrawRowMarker(painter, palette, marker);
        painter.setPen(GetSysColor(palette, SysColor::BtnText));
        const SongEvent* event = i < song.count ? &song.events[size_t(i)] : nullptr;
        const std::string text =
            RowText(i, event, song.events[size_t(i)].startTick, rows.meter, rows.key, repeat);
        m_pCellText->Draw(painter, m_metrics.TextLeft(), y + 1, text);
        if (i >= rows.selFirst && i < rows.selFirst + rows.selCount) {
            // Only the row-number column is highlighted, so the cursor box stays visible.
            painter.fillRect(1, y + 1, m_metrics.TextLeft() + 3 * m_metrics.cw - 1, lh,
                             GetSysColor(palette, SysColor::Highlight));
            painter.setPen(GetSysColor(palette, SysColor::HighlightText));
            m_pCellText->Draw(painter, m_metrics.TextLeft(), y + 1, text.substr(0, 3));
        }
        if (i == rows.playRow) // over the selection's highlight, which takes in the marker
            DrawPlayMark(painter, palette, marker);
        y += m_metrics.RowPitch();
    }
}

std::string CListPainter::RowText(int index, const SongEvent* event, uint32_t tick,
                                  const TimeSignature& signature, RowRepeat& repeat) const {
    return RowText(index, event, tick, Meter{signature, 0}, std::nullopt, repeat);
}

std::string CListPainter::RowText(int index, const SongEvent* event, uint32_t tick,
                                  const Meter& meter, const std::optional<SongKey>& key,
                                  RowRepeat& repeat) const {
    std::string row = FormatEventRow(index, event, tick, meter, key, repeat);
    if (event && event->pitch == kPitchRest)
        row.replace(22, 3, m_strRestMark);
    return row;
}

void CListPainter::DrawCursor(QPainter& painter, const QPalette& palette, int k,
                              const InputColumn& cell, std::string_view pending) {
    PixelRect box = m_metrics.CursorRect(k, cell.position, cell.width);
    Draw3dRect(painter, box, GetSysColor(palette, SysColor::DkShadow3D),
               GetSysColor(palette, SysColor::BtnHighlight));
    if (!pending.empty()) {
        box.DeflateRect(1, 1);
        painter.fillRect(ToQRect(box), GetSysColor(palette, SysColor::Highlight));
        painter.setPen(GetSysColor(palette, SysColor::HighlightText));
        painter.drawText(ToQRect(box), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                         QString::fromLatin1(pending.data(), qsizetype(pending.size())));
    }
}

void CListPainter::DrawKeyGuide(QPainter& painter, const QPalette& palette, const PixelRect& rect) {
    if (rect.Width() <= 0 || rect.Height() <= 0)
        return;
    painter.fillRect(ToQRect(rect), GetSysColor(palette, SysColor::BtnFace));
    Draw3dRect(painter, rect, GetSysColor(palette, SysColor::BtnHighlight),
               GetSysColor(palette, SysColor::DkShadow3D));
    painter.setPen(GetSysColor(palette, SysColor::BtnText));
    painter.save();
    painter.setClipRect(ToQRect(rect), Qt::IntersectClip);
    const int lines = KeyGuideLineCount(rect.Height(), m_metrics.lh);
    for (int i = 0; i < lines; ++i)
        m_pCellText->Draw(painter, rect.left + 2, rect.top + 2 + i * m_metrics.lh,
                          m_strGuideLines[i]);
    painter.restore();
}
