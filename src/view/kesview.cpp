#include "kesview.h"

#include "dialogs/inputdlg.h"
#include "dialogs/tempodlg.h"
#include "document/kesdoc.h"
#include "editor/qtkeymap.h"
#include "midi/midiconnection.h"
#include "settings/envsettings.h"
#include "song/cp932.h"
#include "song/musictime.h"
#include "view/celltextpainter.h"
#include "view/drawhelpers.h"
#include "view/playbackcontrol.h"
#include "view/staffpainter.h"

#include <QAction>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace {

constexpr int kLowestKey = 10;   // MIDI key of pitch 1
constexpr int kHighestKey = 104; // MIDI key of pitch 95

const char* const kGuideLines[6] = {
    "[F1] 全音符        [F7]  八分音符      ", "[F2] 符点二分音符  [F8]  16分音符      ",
    "[F3] 二分音符      [F9]  ３連符        ", "[F4] 符点四分音符  [F10] ６連符        ",
    "[F5] 四分音符      [F11] タイ          ", "[F6] 符点八分音符  [F12] 休符          ",
};

/// The row being played: its marker box green with a white triangle pointing at the row.
void DrawPlayMark(QPainter& painter, const PixelRect& marker) {
    PixelRect box = marker;
    box.DeflateRect(1, 1);
    painter.fillRect(ToQRect(box), QColor(0, 150, 0));
    const int height = std::max(2, box.Height() - 4) / 2 * 2;
    const int left = box.left + std::max(1, (box.Width() - height / 2 - 1) / 2);
    const int top = box.top + (box.Height() - height) / 2;
    const QPoint corners[3] = {
        {left, top}, {left, top + height}, {left + height / 2, top + height / 2}};
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(corners, 3);
    painter.restore();
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
    m_pCellText = std::make_unique<CCellTextPainter>(m_font, m_metrics.cw, metrics.ascent());
    m_pStaff = std::make_unique<CStaffPainter>();
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

    m_pPlayback = new CPlaybackControl(this);
    connect(m_pPlayback, &CPlaybackControl::stateChanged, this, &CKesView::midiCommandsChanged);
    connect(m_pPlayback, &CPlaybackControl::playRowChanged, this, &CKesView::OnPlayRowChanged);

    m_nCursorRow = 0;
    SetColumn(0);
}

CKesView::~CKesView() {
    // The frame and the document may be going as well: no signals, no play mark to clear.
    blockSignals(true);
    disconnect(m_pPlayback, nullptr, this, nullptr);
    m_pPlayback->Stop(); // no note keeps sounding once the window is gone
    if (m_pConnection)
        m_pConnection->SetDefaultReceiver(nullptr);
}

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
    m_pDocument->OnSongChanged();
    Q_EMIT songModified();
}

void CKesView::RedrawAll() {
    viewport()->repaint();
}

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
        InvalidateStaffPanel();
}

void CKesView::InvalidateStaffPanel() {
    viewport()->update(GetListWidth(), 0, viewport()->width() - GetListWidth(), kStaffPanelHeight);
}

void CKesView::OnPlayRowChanged(int row) {
    const Song& song = m_pDocument->GetSong();
    if (m_nPlayRow >= 0)
        InvalidateRow(m_nPlayRow, false);
    // The song may have lost rows while it played.
    m_nPlayRow = row < 0 ? -1 : std::min(row, song.count);
    if (m_nPlayRow < 0) {
        if (m_nStaffRow >= 0) {
            m_nStaffRow = -1; // back to the cursor's bar
            InvalidateStaffPanel();
        }
        return;
    }
    InvalidateRow(m_nPlayRow, false);
    // The panel turns to the played bar once the play leaves the bars it shows.
    const int listWidth = GetListWidth();
    const PixelRect panel{listWidth + 1, 1, viewport()->width() - 1, kStaffPanelHeight - 1};
    const uint32_t origin =
        StaffOriginTick(song, GetStaffOriginRow(), m_pSettings->GetTicksPerBar());
    const uint32_t tick = song.events[size_t(m_nPlayRow)].startTick;
    if (tick < origin || tick - origin >= CStaffPainter::VisibleTicks(panel)) {
        m_nStaffRow = m_nPlayRow;
        InvalidateStaffPanel();
    }
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

void CKesView::DrawList(QPainter& painter, const Song& song, const QRect& client, int first) {
    const QPalette& pal = palette();
    const int bottom = client.bottom() + 1;
    const int listWidth = GetListWidth();
    const int lh = m_metrics.lh;
    painter.fillRect(0, lh + 4, listWidth, bottom - (lh + 4), GetSysColor(pal, SysColor::BtnFace));
    painter.setPen(GetSysColor(pal, SysColor::BtnText));
    m_pCellText->Draw(painter, m_metrics.TextLeft(), lh + 4, m_strColumnHeader);
    Draw3dRect(painter, {0, 2 * lh + 4, listWidth, bottom},
               GetSysColor(pal, SysColor::BtnHighlight), GetSysColor(pal, SysColor::DkShadow3D));

    const TimeSignature signature = m_pSettings->GetTimeSignature();
    RowRepeat repeat;
    int y = GetRowTop(0);
    for (int i = std::max(0, first); i <= song.count; ++i) {
        if (y >= bottom)
            break;
        PixelRect marker{1, y + 1, 2 * m_metrics.cw + 1, y + 1 + lh};
        if (i == m_nPlayRow)
            DrawPlayMark(painter, marker);
        else
            DrawFrameBox(painter, pal, kFrameFlatRaised, marker, false);
        painter.setPen(GetSysColor(pal, SysColor::BtnText));
        const SongEvent* event = i < song.count ? &song.events[size_t(i)] : nullptr;
        m_pCellText->Draw(
            painter, m_metrics.TextLeft(), y + 1,
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
        m_pCellText->Draw(painter, rect.left + 2, rect.top + 2 + i * m_metrics.lh,
                          m_strGuideLines[i]);
    painter.restore();
}

void CKesView::OnDraw(QPainter& painter, const QRect& client) {
    const Song& song = std::as_const(*m_pDocument).GetSong();
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
        m_pStaff->Draw(painter, palette(), song, *m_pSettings, m_nCursorRow, panel, m_nStaffRow);
        DrawKeyGuide(painter, {listWidth, kStaffPanelHeight, right, bottom});
    }
    painter.restore();
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
    if (m_pPlayback->IsPlaying())
        return; // one run at a time
    if (!m_pPlayback->Play(m_pDocument->GetSong(), m_pSettings->OutputDeviceName())) {
        Q_EMIT statusMessage(QStringLiteral("MIDI 出力デバイスが使用できません"));
        return;
    }
    Q_EMIT statusMessage(QString());
}

void CKesView::OnMidiStop() {
    m_pPlayback->Stop();
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
    cmdUI->setEnabled(!m_pPlayback->IsPlaying());
}

void CKesView::OnUpdateMidiStop(QAction* cmdUI) const {
    cmdUI->setEnabled(m_pPlayback->IsPlaying());
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
