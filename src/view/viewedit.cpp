// The Edit menu's side of the view: undo steps gathered from the editor's changes, undo and
// redo, the row selection, cut, copy and paste.
#include "kesview.h"

#include "document/kesdoc.h"
#include "document/songcommands.h"
#include "settings/envsettings.h"
#include "view/eventclipboard.h"
#include "view/kesviewaccessible.h"
#include "view/stepscope.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUndoStack>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr uint8_t kQuarterNoteCode = 0xC4; // F5

EditCursor ToEditCursor(EditorCursor cursor) {
    return {cursor.row, cursor.column};
}

} // namespace

void CKesView::BeginStep() {
    if (m_nStepDepth++ == 0)
        m_stepStart = ToEditCursor(Cursor());
}

void CKesView::NameStep(const QString& name) {
    m_stepName = name;
}

void CKesView::EndStep() {
    if (--m_nStepDepth > 0)
        return;
    if (m_pStep) {
        m_pStep->SetCursorAfter(ToEditCursor(Cursor()));
        // Named by the command, else by what the key or note did to the events.
        QString name = std::exchange(m_stepName, QString());
        if (name.isEmpty()) {
            if (m_nStepKinds == 1u << EventEdit::Remove)
                name = tr("削除");
            else if (m_nStepKinds == 1u << EventEdit::Insert)
                name = tr("挿入");
            else
                name = tr("入力");
        }
        m_pStep->setText(name);
        m_pDocument->GetUndoStack()->push(m_pStep.release()); // its first redo does nothing
    }
    m_stepName.clear();
    m_nStepKinds = 0;
    if (std::exchange(m_bRedrawPending, false))
        RedrawAll();
    CKesViewAccessible::Sync(this);
}

CEditStep* CKesView::CurrentStep() {
    if (!m_pStep) {
        const EditCursor now = ToEditCursor(Cursor());
        m_pStep = std::make_unique<CEditStep>(m_pDocument, m_nStepDepth > 0 ? m_stepStart : now);
    }
    return m_pStep.get();
}

void CKesView::OnEventEdited(const EventEdit& edit) {
    RecordEdit(edit);
    SetSongModified();
}

void CKesView::RecordEdit(const EventEdit& edit) {
    // An edit that no key, note or command began is a step of its own.
    const CStepScope scope(*this);
    Song& song = m_pDocument->GetSong();
    const EventBytes before{edit.before.code, edit.before.pitch};
    const EventBytes after{edit.after.code, edit.after.pitch};
    m_nStepKinds |= 1u << edit.kind;
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
    ++m_nSongSerial;
    m_editor.DiscardInput();
    m_bSelection = false;
    m_nSelAnchor = -1;
    UpdateScrollRange(-1);
    SetColumn(column);
    MoveCursorTo(row);
    RedrawAll();
    Q_EMIT songModified();
    Q_EMIT editCommandsChanged();
    CKesViewAccessible::Sync(this);
}

void CKesView::OnEditUndo() {
    if (m_nStepDepth > 0)
        return;
    m_editor.DiscardInput();
    m_pDocument->GetUndoStack()->undo();
}

void CKesView::OnEditRedo() {
    if (m_nStepDepth > 0)
        return;
    m_editor.DiscardInput();
    m_pDocument->GetUndoStack()->redo();
}

std::pair<int, int> CKesView::GetSelection() const {
    if (!m_bSelection || m_nSelAnchor < 0)
        return {0, 0};
    const int first = std::min(m_nSelAnchor, Cursor().row);
    const int last =
        std::min(std::max(m_nSelAnchor, Cursor().row), m_pDocument->GetSong().count - 1);
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
    m_bDragging = false; // a drag that went on would select from no anchor
    if (!m_bSelection)
        return;
    m_bSelection = false;
    viewport()->update();
    Q_EMIT editCommandsChanged();
}

bool CKesView::CanCutOrCopy() const {
    return HasSelection() || (Cursor().row >= 0 && Cursor().row < m_pDocument->GetSong().count);
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
        std::tie(first, count) = std::pair{Cursor().row, 1};
    if (count > 0)
        CopyRows(first, count);
}

void CKesView::OnEditCut() {
    auto [first, count] = GetSelection();
    if (count == 0 && CanCutOrCopy())
        std::tie(first, count) = std::pair{Cursor().row, 1};
    if (count == 0 || m_nStepDepth > 0)
        return;
    const CStepScope scope(*this);
    NameStep(tr("切り取り"));
    m_editor.DiscardInput();
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
    const Song& song = m_pDocument->GetSong();
    // Text without lengths takes the length of the event before the place it goes.
    const auto [first, count] = GetSelection();
    const int index = count > 0 ? first : std::clamp(Cursor().row, 0, song.count);
    const uint8_t code = index > 0 ? song.events[size_t(index - 1)].code : kQuarterNoteCode;
    PastedEvents pasted = EventsFromMimeData(QGuiApplication::clipboard()->mimeData(), code,
                                             m_pSettings->GetTimeSignature());
    switch (pasted.error) {
    case PastedEvents::NoError:
        break;
    case PastedEvents::NotANoteName:
        Q_EMIT failureMessage(
            tr("「%1」は音名ではないため貼り付けできません").arg(pasted.badToken));
        return;
    case PastedEvents::NotALength:
        Q_EMIT failureMessage(
            tr("「%1」は音長ではないため貼り付けできません").arg(pasted.badToken));
        return;
    }
    PasteEvents(std::move(pasted.events));
}

bool CKesView::PasteEvents(std::vector<EventBytes> events) {
    const int n = int(events.size());
    if (n == 0 || m_nStepDepth > 0)
        return false;
    Song& song = m_pDocument->GetSong();
    // The pasted events take the place of a selection, else they go before the cursor row.
    const auto [first, count] = GetSelection();
    const int index = count > 0 ? first : std::clamp(Cursor().row, 0, song.count);
    if (n - count > kMaxEvents - song.count) {
        Q_EMIT failureMessage(tr("イベント数が上限（999）を超えるため貼り付けできません"));
        return false;
    }
    const CStepScope scope(*this);
    NameStep(tr("貼り付け"));
    m_editor.DiscardInput();
    ClearSelection();
    if (count > 0) {
        std::vector<EventBytes> removed;
        for (int i = first; i < first + count; ++i)
            removed.push_back({song.events[size_t(i)].code, song.events[size_t(i)].pitch});
        RemoveSongEvents(song, first, count);
        new CRemoveEventsCommand(song, first, std::move(removed), CurrentStep());
    }
    InsertSongEvents(song, index, events);
    new CInsertEventsCommand(song, index, std::move(events), CurrentStep());
    SetSongModified();
    UpdateScrollRange(-1);
    MoveCursorTo(index + n);
    RedrawAll();
    Q_EMIT statusMessage(QString());
    return true;
}

bool CKesView::RunKeyOnSelection(int virtualKey) {
    return RunOnSelection(StepNameOfKey(virtualKey), [this, virtualKey](int first, int count) {
        return m_editor.DispatchRangeKey(virtualKey, first, count);
    });
}

bool CKesView::RunOnSelection(const QString& stepName,
                              const std::function<CStepEditor::RangeResult(int, int)>& run) {
    const auto [first, count] = GetSelection();
    const int anchor = m_nSelAnchor;
    const int row = Cursor().row;
    const int countBefore = m_pDocument->GetSong().count;
    const CStepScope scope(*this);
    NameStep(stepName);
    switch (run(first, count)) {
    case CStepEditor::RangeResult::NotARangeKey:
        return false;
    case CStepEditor::RangeResult::OverLimit:
        Q_EMIT failureMessage(tr("イベント数が上限（999）を超えるため複製できません"));
        return true;
    case CStepEditor::RangeResult::Done:
        break;
    }
    if (m_pDocument->GetSong().count < countBefore) { // deleted: nothing left to select
        ClearSelection();
        MoveCursorTo(first);
    } else {
        SelectRows(anchor, row);
    }
    Q_EMIT statusMessage(QString());
    return true;
}

void CKesView::OnEditInsertEvent() {
    if (m_nStepDepth > 0)
        return;
    m_keyModifiers = {}; // the menu's own keys do not choose a binding table
    if (HasSelection()) {
        RunOnSelection(QString(), [this](int first, int count) {
            return m_editor.RunRangeFunction(EditFunction::InsertEvent, first, count);
        });
        return;
    }
    const CStepScope scope(*this);
    m_editor.RunFunction(EditFunction::InsertEvent);
}

QString CKesView::StepNameOfKey(int virtualKey) const {
    const int keyNumber = m_editor.LengthKeyNumber(virtualKey);
    if (CStepEditor::IsTieKey(keyNumber))
        return tr("タイ");
    if (CStepEditor::IsRestKey(keyNumber))
        return tr("休符");
    if (keyNumber >= 0)
        return tr("音長");
    switch (m_editor.BoundFunction(virtualKey)) {
    case EditFunction::PlusOne:
        return tr("1 加算");
    case EditFunction::MinusOne:
        return tr("1 減算");
    default:
        return QString(); // named by what it changed
    }
}

void CKesView::OnEventLimitReached() {
    Q_EMIT failureMessage(tr("イベント数が上限（999）に達しているため追加できません"));
}

void CKesView::OnEditSelectAll() {
    const int count = m_pDocument->GetSong().count;
    if (count == 0 || m_nStepDepth > 0)
        return;
    const CStepScope scope(*this);
    m_editor.FinishInput();
    SelectRows(0, count - 1);
}

void CKesView::ExtendSelection(int rows) {
    if (m_nStepDepth > 0)
        return;
    const CStepScope scope(*this);
    const int anchor = m_bSelection && m_nSelAnchor >= 0 ? m_nSelAnchor : Cursor().row;
    m_editor.FinishInput();
    SelectRows(anchor, Cursor().row + rows);
}

void CKesView::OnEditExtendUp() {
    ExtendSelection(-1);
}

void CKesView::OnEditExtendDown() {
    ExtendSelection(+1);
}
