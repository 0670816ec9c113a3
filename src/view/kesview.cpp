#include "kesview.h"

#include "document/kesdoc.h"
#include "midi/midiconnection.h"
#include "settings/envsettings.h"
#include "song/musictime.h"
#include "text/cp932.h"
#include "view/drawhelpers.h"
#include "view/kesviewaccessible.h"
#include "view/listpainter.h"
#include "view/noteaudition.h"
#include "view/playbackcontrol.h"
#include "view/qtkeymap.h"
#include "view/spokentext.h"
#include "view/staffpainter.h"
#include "view/stepscope.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter> // the view owns its printer
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace {

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

/// Ctrl+Space, the frame's play from the cursor: never a blank typed into the cell.
bool IsPlayFromCursorKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers held =
        event.modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return event.key() == Qt::Key_Space && held == Qt::ControlModifier;
}

} // namespace

CKesView::CKesView(CKesDoc* document, const EnvSettings* settings, QWidget* parent)
    : QAbstractScrollArea(parent), m_pDocument(document), m_pSettings(settings), m_editor(*this) {
    static const bool factoryInstalled = (CKesViewAccessible::InstallFactory(), true);
    (void)factoryInstalled;
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
    m_pList = std::make_unique<CListPainter>(m_font, m_metrics, metrics.ascent());
    m_pStaff = std::make_unique<CStaffPainter>();

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
    m_pAudition = new CNoteAudition(this);
}

CKesView::~CKesView() {
    // The frame and the document may be going as well: no signals, no play mark to clear.
    blockSignals(true);
    disconnect(m_pPlayback, nullptr, this, nullptr);
    m_pPlayback->Stop(); // no note keeps sounding once the window is gone
    if (m_pConnection)
        m_pConnection->SetReceiver({});
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
    ++m_nSongSerial;
    m_pDocument->OnSongChanged();
    Q_EMIT songModified();
    Q_EMIT editCommandsChanged();
}

void CKesView::RedrawAll() {
    // An edit asks for several full paints (an inserted event, then its value); one paint at
    // the end of the step shows them all. It stays synchronous, so each key of a held,
    // repeating key shows its edit before the next one is taken.
    if (m_nStepDepth > 0)
        m_bRedrawPending = true;
    else
        viewport()->repaint();
}

QStringList CKesView::KeyGuideLines() const {
    return m_pList->KeyGuideLines();
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

void CKesView::OnRowCountChanged() {
    UpdateScrollRange(-1);
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
    CKesViewAccessible::Sync(this);
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
    m_editor.DiscardInput();
    const int row = RowKeptVisible(Cursor().row, GetScrollState());
    if (row != Cursor().row)
        SetCursorRow(row);
}

void CKesView::SetCursorRow(int row) {
    const int old = Cursor().row;
    if (row == old)
        return;
    m_editor.SetCursorRow(row);
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
    ++m_nSongSerial;
    m_editor.DiscardInput();
    m_bSelection = false;
    m_nSelAnchor = -1;
    UpdateScrollRange(-1);
    const ScrollState state = GetScrollState();
    m_editor.SetCursorRow(std::clamp(Cursor().row, state.minimum, state.maximum));
    SetScrollPositionQuietly(PositionShowingRow(Cursor().row, state));
    RedrawAll();
    Q_EMIT editCommandsChanged();
    CKesViewAccessible::Sync(this);
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

void CKesView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    // Qt tells a screen reader of the view's focus after this handler: the cell comes next.
    QMetaObject::invokeMethod(
        this, [this] { CKesViewAccessible::FocusCursorCell(this); }, Qt::QueuedConnection);
}

bool CKesView::focusNextPrevChild(bool /*next*/) {
    return false; // Tab belongs to the editor
}

void CKesView::keyPressEvent(QKeyEvent* event) {
    // The frame's accelerators belong to the frame even while their commands are disabled.
    if (IsFrameAccelerator(*event) || IsPlayFromCursorKey(*event)) {
        event->ignore();
        return;
    }
    m_keyModifiers = event->modifiers();
    const int virtualKey = VirtualKeyFromQtKey(event->key());
    // Delete, Insert, the length keys and plus and minus one act on a selection and keep it;
    // every other key (Escape, the cursor keys) ends it first. A modifier alone keeps it for
    // a Shift+click.
    if (virtualKey != 0 && HasSelection() && RunKeyOnSelection(virtualKey)) {
        event->accept();
        return;
    }
    if (!IsModifierKey(event->key()))
        ClearSelection();
    const CStepScope scope(*this);
    NameStep(StepNameOfKey(virtualKey));
    if (virtualKey != 0 && m_editor.DispatchEditKey(virtualKey)) {
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
    const QList<unsigned int> characters = EditorCharacters(*event);
    for (const unsigned int character : characters) {
        if (m_editor.OnChar(character))
            taken = true;
    }
    SayWhyCharacterDoesNothing(characters, taken);
    // Tab stays in the view even when no edit function is bound to it.
    if (taken || event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        event->accept();
    else
        event->ignore();
}

bool CKesView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString title = DecodeCp932(m_pDocument->GetSong().title);
        if (m_metrics.TitleValueRect().PtInRect(help->pos().x(), help->pos().y()) &&
            !title.isEmpty())
            QToolTip::showText(help->globalPos(), title, viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CKesView::SayWhyCharacterDoesNothing(const QList<unsigned int>& characters, bool taken) {
    const bool endRow = Cursor().row >= m_pDocument->GetSong().count;
    if (taken) {
        // A pitch typed on the end row has no event to go to: it is dropped when applied.
        if (endRow && Cursor().column != 0 && m_editor.PendingInput().size() == 1)
            Refuse(
                tr("終端行には音符がありません。F1〜F10 で音長を入れてから音高を入力してください"));
        return;
    }
    if (characters.size() != 1 || characters.front() <= 0x20 || characters.front() >= 0x7F)
        return;
    const QString typed(QChar(char16_t(characters.front())));
    const QString column = CSpokenText::ColumnName(CSpokenText::ColumnOfInput(Cursor().column));
    if (m_editor.PendingInput().size() >= size_t(m_editor.CursorCell().width))
        Refuse(tr("%1の列はもう満杯です（「%2」は入りません）").arg(column, typed));
    else
        Refuse(tr("「%1」は%2の列には入力できません").arg(typed, column));
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
        m_editor.FinishInput();
        if (event->modifiers() & Qt::ShiftModifier) {
            SelectRows(m_nSelAnchor >= 0 ? m_nSelAnchor : Cursor().row, row);
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
    if (row != Cursor().row)
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

void CKesView::OnDraw(QPainter& painter, const QRect& client) {
    OnDraw(painter, client, palette());
}

void CKesView::OnDraw(QPainter& painter, const QRect& client, const QPalette& colours) {
    const Song& song = std::as_const(*m_pDocument).GetSong();
    const int first = GetScrollPosition();
    painter.save();
    painter.setFont(m_font);
    painter.setBackgroundMode(Qt::TransparentMode);

    const auto [selFirst, selCount] = GetSelection();
    const ListRows rows{first,
                        m_nPlayRow,
                        selFirst,
                        selCount,
                        SongMeter(song, m_pSettings->GetTimeSignature()),
                        song.music.key};
    m_pList->DrawHeader(painter, colours, song);
    m_pList->DrawList(painter, colours, song, client, rows);
    m_pList->DrawCursor(painter, colours, Cursor().row - first, m_editor.CursorCell(),
                        m_editor.PendingInput());

    const int listWidth = GetListWidth();
    const int right = client.right() + 1;
    const int bottom = client.bottom() + 1;
    PixelRect panel{listWidth, client.top(), right, kStaffPanelHeight};
    if (panel.Width() > 0) {
        Draw3dRect(painter, panel, GetSysColor(colours, SysColor::BtnHighlight),
                   GetSysColor(colours, SysColor::DkShadow3D));
        panel.DeflateRect(1, 1);
        m_pStaff->Draw(painter, colours, song, *m_pSettings, Cursor().row, panel, m_nStaffRow);
        m_pList->DrawKeyGuide(painter, colours, {listWidth, kStaffPanelHeight, right, bottom});
    }
    painter.restore();
}
