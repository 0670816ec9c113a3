#include "kesview.h"

#include "app/drawhelpers.h"
#include "app/inputdlg.h"
#include "app/kesdoc.h"
#include "app/tempodlg.h"
#include "common/cp932.h"
#include "editor/qtkeymap.h"
#include "midi/midiconnection.h"
#include "midi/mididevicelist.h"
#include "midi/sequenceplayer.h"
#include "settings/envsettings.h"
#include "song/musictime.h"

#include <QAction>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kStaffLeftMargin = 42;   // the clef area before the first note
constexpr int kStaffMiddle = 108;      // 27 steps of 4 pixels down to the middle-C line
constexpr int kLowestKey = 10;         // MIDI key of pitch 1
constexpr int kHighestKey = 104;       // MIDI key of pitch 95
constexpr int kPlayWatchInterval = 20; // ms between looks at the player slot while playing

const char* const kGuideLines[6] = {
    "[F1] 全音符        [F7]  八分音符      ", "[F2] 符点二分音符  [F8]  16分音符      ",
    "[F3] 二分音符      [F9]  ３連符        ", "[F4] 符点四分音符  [F10] ６連符        ",
    "[F5] 四分音符      [F11] タイ          ", "[F6] 符点八分音符  [F12] 休符          ",
};

bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace

CKesView::CKesView(CKesDoc* document, const EnvSettings* settings, QWidget* parent)
    : QAbstractScrollArea(parent), m_pDocument(document), m_pSettings(settings) {
    m_font.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                        QStringLiteral("VL Gothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                        QStringLiteral("Monospace")});
    m_font.setStyleHint(QFont::TypeWriter);
    m_font.setFixedPitch(true);
    m_font.setPixelSize(12);
    m_font.setKerning(false);
    const QFontMetrics metrics(m_font);
    m_metrics.cw = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    m_metrics.lh = std::max(1, metrics.height());
    m_nAscent = metrics.ascent();
    m_rawFont = QRawFont::fromFont(m_font);

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
    m_strColumnHeader = ColumnHeaderText();
    for (int i = 0; i < 6; ++i)
        m_strGuideLines[i] = EncodeCp932(QString::fromUtf8(kGuideLines[i])).value_or(std::string());

    setFrameStyle(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &CKesView::OnScrollAction);
    if (m_pDocument)
        connect(m_pDocument, &CKesDoc::songReplaced, this, &CKesView::OnSongReplaced);

    m_pPlayWatch = new QTimer(this);
    m_pPlayWatch->setInterval(kPlayWatchInterval);
    connect(m_pPlayWatch, &QTimer::timeout, this, &CKesView::OnPlayWatch);

    m_nCursorRow = 0;
    SetColumn(0);
}

CKesView::~CKesView() {
    blockSignals(true); // the frame may be going as well
    OnMidiStop();       // the player writes our slot: it must not outlive us
    if (m_pConnection)
        m_pConnection->SetDefaultReceiver(nullptr);
}

// Editor hooks ---------------------------------------------------------------------------

Song& CKesView::EditorSong() {
    return m_pDocument->GetSong();
}

const EnvSettings& CKesView::EditorSettings() const {
    return *m_pSettings;
}

int CKesView::GetPageSize() const {
    return m_nPage;
}

bool CKesView::IsKeyHeld(int virtualKey) const {
    return IsModifierHeld(m_keyModifiers, virtualKey);
}

void CKesView::SetSongModified() {
    m_pDocument->SetModifiedFlag(true);
    Q_EMIT songModified();
}

void CKesView::RedrawAll() {
    viewport()->repaint();
}

// Geometry and scrolling -----------------------------------------------------------------

int CKesView::GetScrollPosition() const {
    return verticalScrollBar()->value();
}

ScrollState CKesView::GetScrollState() const {
    return {0, m_nScrollMaximum, m_nPage, GetScrollPosition()};
}

void CKesView::SetScrollPositionQuietly(int position) {
    m_bQuietScroll = true;
    verticalScrollBar()->setValue(position);
    m_bQuietScroll = false;
}

void CKesView::UpdateScrollRange(int height) {
    if (height < 0)
        height = viewport()->height();
    m_nScrollMaximum = m_pDocument->GetSong().count;
    m_nPage = ComputePageSize(m_metrics, height);
    // The scroll bar's own maximum is the last position that still shows a full page.
    m_bQuietScroll = true;
    verticalScrollBar()->setRange(0, std::max(0, m_nScrollMaximum - m_nPage + 1));
    verticalScrollBar()->setPageStep(m_nPage);
    m_bQuietScroll = false;
}

void CKesView::OnSize(int /*width*/, int height) {
    UpdateScrollRange(height);
    KeepCursorVisible();
}

void CKesView::OnInitialUpdate() {
    OnSize(viewport()->width(), viewport()->height());
    RedrawAll();
}

void CKesView::OnVScroll(int code, int trackPosition) {
    const std::optional<int> position = ScrollPositionFor(code, trackPosition, GetScrollState());
    if (!position)
        return;
    SetScrollPositionQuietly(*position);
    KeepCursorVisible();
    RedrawAll();
}

void CKesView::OnScrollAction(int action) {
    int code = kScrollEnd;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        code = kScrollLineDown;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        code = kScrollLineUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = kScrollPageDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = kScrollPageUp;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = kScrollTop;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = kScrollBottom;
        break;
    case QAbstractSlider::SliderMove:
        code = kScrollThumbTrack;
        break;
    default:
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    OnVScroll(code, bar->sliderPosition());
    // The slider applies its own target after this signal; make it ours.
    bar->setSliderPosition(bar->value());
}

void CKesView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    if (m_bQuietScroll)
        return;
    KeepCursorVisible();
    RedrawAll();
}

void CKesView::KeepCursorVisible() {
    m_nInputLen = 0;
    m_szInput[0] = '\0';
    const int row = RowKeptVisible(m_nCursorRow, GetScrollState());
    if (row != m_nCursorRow)
        SetCursorRow(row);
}

void CKesView::SetCursorRow(int row) {
    if (row == m_nCursorRow)
        return;
    const int old = m_nCursorRow;
    m_nCursorRow = row;
    InvalidateRow(old, true);
    InvalidateRow(row, true);
}

void CKesView::InvalidateRow(int row, bool withPanel) {
    const int top = GetRowTop(row - GetScrollPosition());
    viewport()->update(0, top, GetListWidth(), m_metrics.lh + 2);
    if (withPanel)
        viewport()->update(GetListWidth(), 0, viewport()->width() - GetListWidth(),
                           kStaffPanelHeight);
}

void CKesView::MoveCursorTo(int row) {
    const ScrollState state = GetScrollState();
    row = std::clamp(row, state.minimum, state.maximum);
    const int position = PositionShowingRow(row, state);
    const int delta = position - state.position;
    if (delta != 0) {
        SetScrollPositionQuietly(position);
        const int top = GetRowTop(0);
        const QRect list(0, top, GetListWidth(), std::max(0, viewport()->height() - top));
        viewport()->scroll(0, -m_metrics.RowPitch() * delta, list);
        // The first visible row shows its bar and beat in full; both of these change text.
        InvalidateRow(delta > 0 ? position : position - delta, false);
    }
    SetCursorRow(row);
}

void CKesView::OnSongReplaced() {
    m_nInputLen = 0;
    m_szInput[0] = '\0';
    UpdateScrollRange(-1);
    const ScrollState state = GetScrollState();
    m_nCursorRow = std::clamp(m_nCursorRow, state.minimum, state.maximum);
    SetScrollPositionQuietly(PositionShowingRow(m_nCursorRow, state));
    RedrawAll();
}

// Events ---------------------------------------------------------------------------------

void CKesView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    OnDraw(painter, viewport()->rect());
}

void CKesView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    OnSize(viewport()->width(), viewport()->height());
}

void CKesView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    if (!m_bInitialUpdateDone) {
        m_bInitialUpdateDone = true;
        OnInitialUpdate();
    }
}

bool CKesView::focusNextPrevChild(bool /*next*/) {
    return false; // Tab belongs to the editor
}

void CKesView::keyPressEvent(QKeyEvent* event) {
    // The frame's accelerators belong to the frame even while their commands are disabled.
    if (IsFrameAccelerator(*event)) {
        event->ignore();
        return;
    }
    m_keyModifiers = event->modifiers();
    const int virtualKey = VirtualKeyFromQtKey(event->key());
    if (virtualKey != 0 && DispatchEditKey(virtualKey)) {
        event->accept();
        return;
    }
    // With ALT (but not AltGr, which comes with CTRL) a key belongs to the menus: its text is
    // not typed into the cell.
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    bool taken = false;
    for (const unsigned int character : EditorCharacters(*event)) {
        if (OnChar(character))
            taken = true;
    }
    // Tab stays in the view even when no edit function is bound to it.
    if (taken || event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        event->accept();
    else
        event->ignore();
}

void CKesView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton &&
        HitTestHeader(m_metrics, event->position().toPoint().x(),
                      event->position().toPoint().y()) != HeaderHit::None) {
        OnLButtonDown(event->modifiers(), event->position().toPoint());
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CKesView::OnLButtonDown(Qt::KeyboardModifiers /*flags*/, const QPoint& point) {
    Song& song = m_pDocument->GetSong();
    switch (HitTestHeader(m_metrics, point.x(), point.y())) {
    case HeaderHit::Tempo: {
        CTempoDlg dialog(this);
        dialog.m_nTempo = TempoFromByte(song.tempo);
        if (dialog.exec() == QDialog::Accepted) {
            song.tempo = TempoToByte(dialog.m_nTempo);
            SetSongModified();
            RedrawAll();
        }
        break;
    }
    case HeaderHit::Title: {
        CInputDlg dialog(QStringLiteral("Title編集"), this);
        dialog.m_strText = DecodeCp932(song.title);
        if (dialog.exec() == QDialog::Accepted) {
            // The dialog accepts only titles that cp932 holds within the file's limit.
            song.title = EncodeCp932(dialog.m_strText).value_or(song.title);
            SetSongModified();
            RedrawAll();
        }
        break;
    }
    case HeaderHit::None:
        break;
    }
}

// Painting -------------------------------------------------------------------------------

quint32 CKesView::GlyphOf(uint16_t code) {
    const auto found = m_glyphIndexes.constFind(code);
    if (found != m_glyphIndexes.constEnd())
        return *found;
    QString text;
    if (code < 0x100) {
        const char byte = char(code);
        text = DecodeCp932(&byte, 1);
    } else {
        const char bytes[2] = {char(code >> 8), char(code & 0xFF)};
        text = DecodeCp932(bytes, 2);
    }
    const QList<quint32> indexes = m_rawFont.glyphIndexesForString(text);
    const quint32 glyph = indexes.size() == 1 ? indexes.constFirst() : 0;
    m_glyphIndexes.insert(code, glyph);
    return glyph;
}

void CKesView::DrawCellText(QPainter& painter, int x, int y, const std::string& bytes) {
    // Glyphs are placed on the cell grid directly: no text layout, and a double-byte
    // character takes two cells whatever the font's own advance.
    const int cw = m_metrics.cw;
    const int baseline = y + m_nAscent;
    m_glyphRunIndexes.clear();
    m_glyphRunPositions.clear();
    const size_t n = bytes.size();
    int cell = 0;
    for (size_t i = 0; i < n; ++cell) {
        const auto b = uint8_t(bytes[i]);
        uint16_t code = b;
        int width = 1;
        if (IsLeadByte(b) && i + 1 < n) {
            code = uint16_t(b << 8 | uint8_t(bytes[i + 1]));
            width = 2;
        }
        if (b != ' ') {
            const quint32 glyph = GlyphOf(code);
            if (glyph != 0) {
                m_glyphRunIndexes.append(glyph);
                m_glyphRunPositions.append(QPointF(cell * cw, 0));
            } else { // a character the list font lacks: let font fallback find one
                painter.drawText(QPoint(x + cell * cw, baseline),
                                 DecodeCp932(bytes.data() + i, width));
            }
        }
        i += size_t(width);
        cell += width - 1;
    }
    if (m_glyphRunIndexes.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(m_rawFont);
    run.setGlyphIndexes(m_glyphRunIndexes);
    run.setPositions(m_glyphRunPositions);
    painter.drawGlyphRun(QPointF(x, baseline), run);
}

void CKesView::DrawHeader(QPainter& painter, const Song& song) {
    const QPalette& pal = palette();
    const int flags = Qt::AlignLeft | Qt::AlignVCenter;
    DrawLabelBox(painter, pal, kFrameRaised, m_metrics.TempoLabelRect(), QStringLiteral("Tempo"),
                 flags);
    DrawLabelBox(painter, pal, kFrameField, m_metrics.TempoValueRect(),
                 QString::fromLatin1(FormatTempoText(song.tempo)), flags);
    DrawLabelBox(painter, pal, kFrameRaised, m_metrics.TitleLabelRect(), QStringLiteral("Title"),
                 flags);
    DrawLabelBox(painter, pal, kFrameField, m_metrics.TitleValueRect(), DecodeCp932(song.title),
                 flags);
}

void CKesView::DrawList(QPainter& painter, Song& song, const QRect& client, int first) {
    const QPalette& pal = palette();
    const int bottom = client.bottom() + 1;
    const int listWidth = GetListWidth();
    const int lh = m_metrics.lh;
    painter.fillRect(0, lh + 4, listWidth, bottom - (lh + 4), GetSysColor(pal, SysColor::BtnFace));
    painter.setPen(GetSysColor(pal, SysColor::BtnText));
    DrawCellText(painter, m_metrics.TextLeft(), lh + 4, m_strColumnHeader);
    Draw3dRect(painter, {0, 2 * lh + 4, listWidth, bottom},
               GetSysColor(pal, SysColor::BtnHighlight), GetSysColor(pal, SysColor::DkShadow3D));

    ComputeStartTicks(song);
    const TimeSignature signature = m_pSettings->GetTimeSignature();
    RowRepeat repeat;
    int y = GetRowTop(0);
    for (int i = std::max(0, first); i <= song.count; ++i) {
        if (y >= bottom)
            break;
        PixelRect marker{1, y + 1, 2 * m_metrics.cw + 1, y + 1 + lh};
        DrawFrameBox(painter, pal, kFrameFlatRaised, marker, false);
        painter.setPen(GetSysColor(pal, SysColor::BtnText));
        const SongEvent* event = i < song.count ? &song.events[size_t(i)] : nullptr;
        DrawCellText(painter, m_metrics.TextLeft(), y + 1,
                     FormatEventRow(i, event, song.events[size_t(i)].startTick, signature, repeat));
        y += m_metrics.RowPitch();
    }
}

void CKesView::DrawCursor(QPainter& painter, int first) {
    const QPalette& pal = palette();
    PixelRect box = m_metrics.CursorRect(m_nCursorRow - first, m_nColumnPos, m_nInputMax);
    Draw3dRect(painter, box, GetSysColor(pal, SysColor::DkShadow3D),
               GetSysColor(pal, SysColor::BtnHighlight));
    if (m_nInputLen > 0) {
        box.DeflateRect(1, 1);
        painter.fillRect(ToQRect(box), GetSysColor(pal, SysColor::Highlight));
        painter.setPen(GetSysColor(pal, SysColor::HighlightText));
        painter.drawText(ToQRect(box), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                         QString::fromLatin1(m_szInput, std::clamp(m_nInputLen, 0, 19)));
    }
}

void CKesView::DrawGlyph(QPainter& painter, const PixelRect& panel, int x, int offset, int glyph) {
    const QPoint target(panel.left + kStaffLeftMargin + x, panel.top + kStaffMiddle + offset - 10);
    painter.drawImage(target, m_glyphs, QRect(10 * glyph, 0, 10, 20));
}

void CKesView::DrawNote(QPainter& painter, const PixelRect& panel, const StaffNote& note,
                        AccidentalMemory& memory) {
    const QPalette& pal = palette();
    const int xAt = panel.left + kStaffLeftMargin;
    const int yAt = panel.top + kStaffMiddle;
    const int offset = NoteOffset(note.key);
    if (const int bar = DurationBarWidth(note.width))
        painter.fillRect(xAt + note.x + 10, yAt + offset - 1, bar, 3,
                         GetSysColor(pal, SysColor::GrayText));
    for (const int ledger : LedgerOffsets(offset))
        painter.fillRect(xAt + note.x - 2, yAt + ledger, 14, 1,
                         GetSysColor(pal, SysColor::BtnText));
    DrawGlyph(painter, panel, note.x, offset, kGlyphHead);
    if (const std::optional<StaffGlyph> accidental = memory.Check(note.key))
        DrawGlyph(painter, panel, note.x - 10, offset, *accidental);
}

void CKesView::DrawStaffPanel(QPainter& painter, const Song& song, const PixelRect& area) {
    const QPalette& pal = palette();
    PixelRect rect = area;
    rect.bottom = std::min(rect.bottom, rect.top + kStaffPanelHeight);
    if (rect.Width() <= 0 || rect.Height() <= 0)
        return;
    painter.save();
    painter.setClipRect(ToQRect(rect), Qt::IntersectClip);
    painter.fillRect(ToQRect(rect), GetSysColor(pal, SysColor::BtnFace));

    const int ticksPerBeat = m_pSettings->GetTicksPerBeat();
    const int beatsPerBar = std::max(1, m_pSettings->GetTimeSignature().beatsPerBar);
    const int row = std::clamp(m_nCursorRow, 0, song.count);
    const uint32_t cursorTick = song.events[size_t(row)].startTick;
    const uint32_t origin = StaffOriginTick(song, row, m_pSettings->GetTicksPerBar());
    const int xAt = rect.left + kStaffLeftMargin;
    const int yAt = rect.top + kStaffMiddle;

    painter.fillRect(xAt + TicksToPixels(cursorTick - origin) + 5, rect.top, 1, rect.Height(),
                     QColor(255, 0, 0));

    const QColor gray = GetSysColor(pal, SysColor::GrayText);
    const QColor text = GetSysColor(pal, SysColor::BtnText);
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
        DrawNote(painter, rect, note, memory);

    for (int step = 8; step <= 40; step += 8) {
        painter.fillRect(rect.left + 2, yAt - step, rect.right - rect.left - 2, 1, text);
        painter.fillRect(rect.left + 2, yAt + step, rect.right - rect.left - 2, 1, text);
    }
    painter.restore();
}

void CKesView::DrawKeyGuide(QPainter& painter, const PixelRect& rect) {
    const QPalette& pal = palette();
    if (rect.Width() <= 0 || rect.Height() <= 0)
        return;
    painter.fillRect(ToQRect(rect), GetSysColor(pal, SysColor::BtnFace));
    Draw3dRect(painter, rect, GetSysColor(pal, SysColor::BtnHighlight),
               GetSysColor(pal, SysColor::DkShadow3D));
    painter.setPen(GetSysColor(pal, SysColor::BtnText));
    painter.save();
    painter.setClipRect(ToQRect(rect), Qt::IntersectClip);
    const int lines = KeyGuideLineCount(rect.Height(), m_metrics.lh);
    for (int i = 0; i < lines; ++i)
        DrawCellText(painter, rect.left + 2, rect.top + 2 + i * m_metrics.lh, m_strGuideLines[i]);
    painter.restore();
}

void CKesView::OnDraw(QPainter& painter, const QRect& client) {
    Song& song = m_pDocument->GetSong();
    const int first = GetScrollPosition();
    painter.save();
    painter.setFont(m_font);
    painter.setBackgroundMode(Qt::TransparentMode);

    DrawHeader(painter, song);
    DrawList(painter, song, client, first);
    DrawCursor(painter, first);

    const int listWidth = GetListWidth();
    const int right = client.right() + 1;
    const int bottom = client.bottom() + 1;
    PixelRect panel{listWidth, client.top(), right, kStaffPanelHeight};
    if (panel.Width() > 0) {
        Draw3dRect(painter, panel, GetSysColor(palette(), SysColor::BtnHighlight),
                   GetSysColor(palette(), SysColor::DkShadow3D));
        panel.DeflateRect(1, 1);
        DrawStaffPanel(painter, song, panel);
        DrawKeyGuide(painter, {listWidth, kStaffPanelHeight, right, bottom});
    }
    painter.restore();
}

// Printing and MIDI ------------------------------------------------------------------------

void CKesView::PrintTo(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    // A page holds what the window shows, at the size it has on the screen, or smaller
    // where the window would not fit the printable area.
    const QRect client = viewport()->rect();
    const qreal sx = qreal(printer.logicalDpiX()) / qreal(logicalDpiX());
    const qreal sy = qreal(printer.logicalDpiY()) / qreal(logicalDpiY());
    const qreal fit = std::min({qreal(1), qreal(printer.width()) / (sx * client.width()),
                                qreal(printer.height()) / (sy * client.height())});
    painter.scale(sx * fit, sy * fit);
    OnDraw(painter, client);
    painter.end();
}

QPrinter* CKesView::GetPrinter() {
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_pPrinter.get();
}

void CKesView::OnFilePrint() {
    QPrintDialog dialog(GetPrinter(), this);
    if (dialog.exec() == QDialog::Accepted)
        PrintTo(*GetPrinter());
}

void CKesView::OnFilePrintPreview() {
    QPrintPreviewDialog dialog(GetPrinter(), this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { PrintTo(*target); });
    dialog.exec();
}

int CKesView::OnCreate(CMidiConnection* connection) {
    m_pConnection = connection;
    if (m_pConnection) {
        m_pConnection->SetDefaultReceiver(this);
        m_pConnection->Open(); // a failure only leaves recording off
    }
    Q_EMIT midiCommandsChanged();
    return 0;
}

void CKesView::OnMidiPlay() {
    if (m_pPlayer.load())
        return; // one run at a time

    const std::string name = m_pSettings->OutputDeviceName();
    int deviceId = 0;
    {
        const CMidiDeviceList devices;
        const int position = devices.FindByName(name.c_str(), false);
        if (position < 0) {
            Q_EMIT statusMessage(QStringLiteral("MIDI 出力デバイスが使用できません"));
            return;
        }
        deviceId = devices.GetOutput(position).deviceId;
    }

    CSequencePlayer* player = nullptr;
    try {
        player = new CSequencePlayer(&m_pPlayer, deviceId);
    } catch (int) {
        Q_EMIT statusMessage(QStringLiteral("MIDI 出力デバイスが使用できません"));
        return;
    }
    const Song& song = m_pDocument->GetSong();
    for (const PlayEvent& event : BuildPerformance(song))
        player->Add(event);
    // Tempo bytes below 67 give no positive tempo; the slowest one that plays is 1 per minute.
    player->SetTempo(unsigned(std::max(1, TempoFromByte(song.tempo))));
    Q_EMIT statusMessage(QString());
    // From here the player owns itself and may be gone at any moment; only the slot tells.
    if (player->Start())
        m_pPlayWatch->start();
    Q_EMIT midiCommandsChanged();
}

void CKesView::OnMidiStop() {
    m_pPlayWatch->stop();
    CSequencePlayer::StopAndDelete(m_pPlayer); // nothing when nothing plays
    Q_EMIT midiCommandsChanged();
}

void CKesView::OnPlayWatch() {
    if (m_pPlayer.load())
        return;
    m_pPlayWatch->stop();
    Q_EMIT midiCommandsChanged();
}

void CKesView::OnMidiRecord() {
    if (!m_pConnection)
        return;
    if (m_pConnection->IsOpen()) {
        m_pConnection->Close();
        Q_EMIT midiCommandsChanged();
        return;
    }
    const bool opened = m_pConnection->Open(this);
    Q_EMIT midiCommandsChanged();
    if (!opened) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("OKT:MIDI録音"),
                        QStringLiteral("MIDI 入力デバイスが使用できません"), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("MidiRecordFailure"));
        box.exec();
    }
}

void CKesView::OnUpdateMidiPlay(QAction* cmdUI) const {
    cmdUI->setEnabled(m_pPlayer.load() == nullptr);
}

void CKesView::OnUpdateMidiStop(QAction* cmdUI) const {
    cmdUI->setEnabled(m_pPlayer.load() != nullptr);
}

void CKesView::OnUpdateMidiRecord(QAction* cmdUI) const {
    cmdUI->setEnabled(true);
    cmdUI->setCheckable(true);
    cmdUI->setChecked(m_pConnection && m_pConnection->IsOpen());
}

void CKesView::OnMidiInData(quint32 message) {
    // The echo goes first so that what the player hears does not wait for the painting.
    if (m_pConnection)
        m_pConnection->SendShort(message);
    const uint8_t status = uint8_t(message & 0xFF);
    const int key = int((message >> 8) & 0xFF);
    const int velocity = int((message >> 16) & 0xFF);
    // Keys 10 to 104 are the pitches 1 to 95 of a song; a note-on of velocity 0 is a release.
    if ((status & 0xF0) == 0x90 && velocity != 0 && key >= kLowestKey && key <= kHighestKey)
        EnterRecordedPitch(key - kLowestKey + 1);
}
