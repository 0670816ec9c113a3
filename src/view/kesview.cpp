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
#include "view/eventclipboard.h"
#include "view/playbackcontrol.h"
#include "view/staffpainter.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QUndoStack>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

namespace {

constexpr int kLowestKey = 10;   // MIDI key of pitch 1
constexpr int kHighestKey = 104; // MIDI key of pitch 95

const char* const kGuideLines[6] = {
    "[F1] 全音符        [F7]  八分音符      ", "[F2] 符点二分音符  [F8]  16分音符      ",
    "[F3] 二分音符      [F9]  ３連符        ", "[F4] 符点四分音符  [F10] ６連符        ",
    "[F5] 四分音符      [F11] タイ          ", "[F6] 符点八分音符  [F12] 休符          ",
};

constexpr uint8_t kQuarterNoteCode = 0xC4; // F5

bool IsModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
        return true;
    default:
        return false;
    }
}

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

// Whatever changes the song during its lifetime is one undo step.
class CStepScope {
public:
    explicit CStepScope(CKesView& view) : m_view(view) { m_view.BeginStep(); }
    ~CStepScope() { m_view.EndStep(); }
    CStepScope(const CStepScope&) = delete;
    CStepScope& operator=(const CStepScope&) = delete;

private:
    CKesView& m_view;
};

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
    if (m_pDocument) {
        connect(m_pDocument, &CKesDoc::songReplaced, this, &CKesView::OnSongReplaced);
        connect(m_pDocument, &CKesDoc::stepApplied, this, &CKesView::OnStepApplied);
    }

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
    Q_EMIT editCommandsChanged();
}

void CKesView::BeginStep() {
    if (m_nStepDepth++ == 0)
        m_stepStart = {m_nCursorRow, m_nCursorColumn};
}

void CKesView::EndStep() {
    if (--m_nStepDepth > 0 || !m_pStep)
        return;
    m_pStep->SetCursorAfter({m_nCursorRow, m_nCursorColumn});
    m_pDocument->GetUndoStack()->push(m_pStep.release()); // its first redo does nothing
}

CEditStep* CKesView::CurrentStep() {
    if (!m_pStep) {
        const EditCursor now{m_nCursorRow, m_nCursorColumn};
        m_pStep = std::make_unique<CEditStep>(m_pDocument, m_nStepDepth > 0 ? m_stepStart : now);
    }
    return m_pStep.get();
}

void CKesView::RecordEdit(const EventEdit& edit) {
    // An edit that no key, note or command began is a step of its own.
    const CStepScope scope(*this);
    Song& song = m_pDocument->GetSong();
    const EventBytes before{edit.before.code, edit.before.pitch};
    const EventBytes after{edit.after.code, edit.after.pitch};
    switch (edit.kind) {
    case EventEdit::Change:
        new CChangeEventCommand(song, edit.index, before, after, CurrentStep());
        break;
    case EventEdit::Insert:
        new CInsertEventsCommand(song, edit.index, {after}, CurrentStep());
        break;
    case EventEdit::Remove:
        new CRemoveEventsCommand(song, edit.index, {before}, CurrentStep());
        break;
    }
}

void CKesView::OnStepApplied(int row, int column) {
    m_nInputLen = 0;
    m_szInput[0] = '\0';
    m_bSelection = false;
    m_nSelAnchor = -1;
    UpdateScrollRange(-1);
    SetColumn(column);
    MoveCursorTo(row);
    RedrawAll();
    Q_EMIT songModified();
    Q_EMIT editCommandsChanged();
}

void CKesView::OnEditUndo() {
    if (m_nStepDepth > 0)
        return;
    m_nInputLen = 0;
    m_szInput[0] = '\0';
    InvalidateRow(m_nCursorRow, false);
    m_pDocument->GetUndoStack()->undo();
}

void CKesView::OnEditRedo() {
    if (m_nStepDepth > 0)
        return;
    m_nInputLen = 0;
    m_szInput[0] = '\0';
    InvalidateRow(m_nCursorRow, false);
    m_pDocument->GetUndoStack()->redo();
}

std::pair<int, int> CKesView::GetSelection() const {
    if (!m_bSelection || m_nSelAnchor < 0)
        return {0, 0};
    const int first = std::min(m_nSelAnchor, m_nCursorRow);
    const int last =
        std::min(std::max(m_nSelAnchor, m_nCursorRow), m_pDocument->GetSong().count - 1);
    return last < first ? std::pair{0, 0} : std::pair{first, last - first + 1};
}

void CKesView::SelectRows(int anchor, int row) {
    m_nSelAnchor = std::max(0, anchor);
    m_bSelection = true;
    MoveCursorTo(row);
    viewport()->update();
    Q_EMIT editCommandsChanged();
}

void CKesView::ClearSelection() {
    m_nSelAnchor = -1;
    if (!m_bSelection)
        return;
    m_bSelection = false;
    viewport()->update();
    Q_EMIT editCommandsChanged();
}

bool CKesView::CanCutOrCopy() const {
    return HasSelection() || (m_nCursorRow >= 0 && m_nCursorRow < m_pDocument->GetSong().count);
}

bool CKesView::CanPaste() {
    return HasPastableContent(QGuiApplication::clipboard()->mimeData());
}

void CKesView::CopyRows(int first, int count) {
    QGuiApplication::clipboard()->setMimeData(
        EventsToMimeData(m_pDocument->GetSong(), first, count, m_pSettings->GetTimeSignature())
            .release());
}

void CKesView::OnEditCopy() {
    auto [first, count] = GetSelection();
    if (count == 0 && CanCutOrCopy())
        std::tie(first, count) = std::pair{m_nCursorRow, 1};
    if (count > 0)
        CopyRows(first, count);
}

void CKesView::OnEditCut() {
    auto [first, count] = GetSelection();
    if (count == 0 && CanCutOrCopy())
        std::tie(first, count) = std::pair{m_nCursorRow, 1};
    if (count == 0 || m_nStepDepth > 0)
        return;
    const CStepScope scope(*this);
    m_nInputLen = 0;
    m_szInput[0] = '\0';
    CopyRows(first, count);
    Song& song = m_pDocument->GetSong();
    std::vector<EventBytes> removed;
    removed.reserve(size_t(count));
    for (int i = first; i < first + count; ++i)
        removed.push_back({song.events[size_t(i)].code, song.events[size_t(i)].pitch});
    RemoveSongEvents(song, first, count);
    new CRemoveEventsCommand(song, first, std::move(removed), CurrentStep());
    ClearSelection();
    SetSongModified();
    UpdateScrollRange(-1);
    MoveCursorTo(first);
    RedrawAll();
}

void CKesView::OnEditPaste() {
    if (m_nStepDepth > 0)
        return;
    Song& song = m_pDocument->GetSong();
    const int index = std::clamp(m_nCursorRow, 0, song.count);
    const uint8_t code = index > 0 ? song.events[size_t(index - 1)].code : kQuarterNoteCode;
    PastedEvents pasted = EventsFromMimeData(QGuiApplication::clipboard()->mimeData(), code);
    if (!pasted.badToken.isEmpty()) {
        Q_EMIT statusMessage(
            QStringLiteral("「%1」は音名ではないため貼り付けできません").arg(pasted.badToken));
        return;
    }
    const int n = int(pasted.events.size());
    if (n == 0)
        return;
    if (n > kMaxEvents - song.count) {
        Q_EMIT statusMessage(
            QStringLiteral("イベント数が上限（999）を超えるため貼り付けできません"));
        return;
    }
    const CStepScope scope(*this);
    m_nInputLen = 0;
    m_szInput[0] = '\0';
    ClearSelection();
    InsertSongEvents(song, index, pasted.events);
    new CInsertEventsCommand(song, index, std::move(pasted.events), CurrentStep());
    SetSongModified();
    UpdateScrollRange(-1);
    MoveCursorTo(index + n);
    RedrawAll();
    Q_EMIT statusMessage(QString());
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
    Q_EMIT editCommandsChanged();
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
    m_bSelection = false;
    m_nSelAnchor = -1;
    UpdateScrollRange(-1);
    const ScrollState state = GetScrollState();
    m_nCursorRow = std::clamp(m_nCursorRow, state.minimum, state.maximum);
    SetScrollPositionQuietly(PositionShowingRow(m_nCursorRow, state));
    RedrawAll();
    Q_EMIT editCommandsChanged();
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
    // Escape, the cursor keys and every edit end a selection; a modifier alone keeps it for
    // a Shift+click.
    if (!IsModifierKey(event->key()))
        ClearSelection();
    const CStepScope scope(*this);
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
    const int row = RowAt(event->position().toPoint(), false);
    if (event->button() == Qt::LeftButton && row >= 0) {
        // A click moves the cursor as the cursor keys do; Shift+click selects from the row
        // of the last click (or the cursor), and a drag selects as it goes.
        const CStepScope scope(*this);
        FinishInput();
        if (event->modifiers() & Qt::ShiftModifier) {
            SelectRows(m_nSelAnchor >= 0 ? m_nSelAnchor : m_nCursorRow, row);
        } else {
            ClearSelection();
            m_nSelAnchor = row;
            MoveCursorTo(row);
        }
        m_bDragging = true;
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CKesView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bDragging || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const int row = RowAt(event->position().toPoint(), true);
    if (row != m_nCursorRow)
        SelectRows(m_nSelAnchor, row);
}

void CKesView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_bDragging = false;
    QAbstractScrollArea::mouseReleaseEvent(event);
}

int CKesView::RowAt(const QPoint& point, bool beyondList) const {
    const int top = GetRowTop(0);
    if (!beyondList && (point.x() < 0 || point.x() >= GetListWidth() || point.y() < top))
        return -1;
    // Above the list a drag reaches the rows above the first one shown, and so scrolls.
    const int offset = point.y() >= top ? (point.y() - top) / m_metrics.RowPitch()
                                        : -1 - (top - point.y()) / m_metrics.RowPitch();
    return std::clamp(GetScrollPosition() + offset, 0, m_pDocument->GetSong().count);
}

void CKesView::OnLButtonDown(Qt::KeyboardModifiers /*flags*/, const QPoint& point) {
    Song& song = m_pDocument->GetSong();
    switch (HitTestHeader(m_metrics, point.x(), point.y())) {
    case HeaderHit::Tempo: {
        CTempoDlg dialog(this);
        dialog.m_nTempo = TempoFromByte(song.tempo);
        const uint8_t before = song.tempo;
        if (dialog.exec() == QDialog::Accepted && TempoToByte(dialog.m_nTempo) != before) {
            const CStepScope scope(*this);
            song.tempo = TempoToByte(dialog.m_nTempo);
            new CTempoCommand(song, before, song.tempo, CurrentStep());
            SetSongModified();
            RedrawAll();
        }
        break;
    }
    case HeaderHit::Title: {
        CInputDlg dialog(QStringLiteral("Title編集"), this);
        dialog.m_strText = DecodeCp932(song.title);
        const std::string before = song.title;
        // The dialog accepts only titles that cp932 holds within the file's limit.
        if (dialog.exec() == QDialog::Accepted &&
            EncodeCp932(dialog.m_strText).value_or(before) != before) {
            const CStepScope scope(*this);
            song.title = EncodeCp932(dialog.m_strText).value_or(before);
            new CTitleCommand(song, before, song.title, CurrentStep());
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
    const auto [selFirst, selCount] = GetSelection();
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
        const std::string text =
            FormatEventRow(i, event, song.events[size_t(i)].startTick, signature, repeat);
        m_pCellText->Draw(painter, m_metrics.TextLeft(), y + 1, text);
        if (i >= selFirst && i < selFirst + selCount) {
            // Only the row-number column is highlighted, so the cursor box stays visible.
            painter.fillRect(1, y + 1, m_metrics.TextLeft() + 3 * m_metrics.cw - 1, lh,
                             GetSysColor(pal, SysColor::Highlight));
            painter.setPen(GetSysColor(pal, SysColor::HighlightText));
            m_pCellText->Draw(painter, m_metrics.TextLeft(), y + 1, text.substr(0, 3));
        }
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
    if ((status & 0xF0) == 0x90 && velocity != 0 && key >= kLowestKey && key <= kHighestKey) {
        const CStepScope scope(*this); // one step per note
        EnterRecordedPitch(key - kLowestKey + 1);
    }
}
