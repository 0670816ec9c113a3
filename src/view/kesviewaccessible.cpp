#include "kesviewaccessible.h"

#include "document/kesdoc.h"
#include "editor/stepeditor.h"
#include "settings/envsettings.h"
#include "view/kesview.h"
#include "view/spokentext.h"
#include "view/staffrules.h"

#include <QAccessibleEvent>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace {

QRect ToScreen(const CKesView* view, const QRect& rect) {
    return QRect(view->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

// The cells' left edges and widths in characters of a list row, as the row's text lays them.
struct ColumnSpan {
    int position;
    int width;
};
constexpr ColumnSpan kColumnSpans[CSpokenText::kColumnCount] = {
    {0, 3}, {4, 2}, {7, 2}, {12, 9}, {22, 3}, {26, 5},
};

CKesViewAccessible::EventObserver g_observer = nullptr;

void Send(QAccessibleEvent& event) {
    if (g_observer)
        g_observer(&event);
    QAccessible::updateAccessibility(&event);
}

void Notify(QAccessibleInterface* iface, QAccessible::Event type) {
    QAccessibleEvent event(iface, type);
    Send(event);
}

} // namespace

// A cell of the event list. It reads as the screen shows it, in words; the cursor's cell
// holds the typed text that is not applied yet as its text.
class CEventCellAccessible : public QAccessibleInterface,
                             public QAccessibleTableCellInterface,
                             public QAccessibleTextInterface {
public:
    CEventCellAccessible(CEventListAccessible* table, int row, int column)
        : m_pTable(table), m_nRow(row), m_nColumn(column) {}

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return nullptr;
    }

    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_nColumn; }
    int rowIndex() const override { return m_nRow; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override;

    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return int(Pending().size()); }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        return Pending().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(Pending().size()); }
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return QString();
    }

    /// The typed text not applied yet, where this is the cursor's cell.
    QString Pending() const;
    /// No longer in the table: says nothing and has no place, so a reader does not take the
    /// cell that replaces it for the same one.
    void Retire() { m_bRetired = true; }

private:
    CKesView* View() const;
    bool IsCursorCell() const;

    CEventListAccessible* m_pTable;
    int m_nRow;
    int m_nColumn;
    bool m_bRetired = false;
};

// The event list: one row per event and the end row, the columns of the screen.
class CEventListAccessible : public QAccessibleInterface, public QAccessibleTableInterface {
public:
    explicit CEventListAccessible(CKesViewAccessible* pane) : m_pPane(pane) {}
    ~CEventListAccessible() override {
        DropCells();
        Retire({});
    }

    CKesView* View() const { return m_pPane->View(); }
    /// Forgets every cell, so that a reader asks for each one afresh after the song changed.
    void DropCells();
    /// Forgets one cell: the next one made for its place is a new object for the reader.
    void DropCell(int row, int column);

    bool isValid() const override { return View() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_pPane->window(); }
    QAccessibleInterface* focusChild() const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* parent() const override { return m_pPane; }
    QAccessibleInterface* child(int index) const override {
        return index < 0
                   ? nullptr
                   : cellAt(index / CSpokenText::kColumnCount, index % CSpokenText::kColumnCount);
    }
    int childCount() const override { return rowCount() * columnCount(); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const QAccessibleTableCellInterface* cell =
            const_cast<QAccessibleInterface*>(child)->tableCellInterface();
        return cell && child->parent() == this
                   ? cell->rowIndex() * columnCount() + cell->columnIndex()
                   : -1;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return CSpokenText::tr("イベント一覧");
        if (t == QAccessible::Description)
            return CSpokenText::tr("%n 個のイベント", nullptr, rowCount() - 1);
        return QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Table; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.focusable = true;
        state.multiSelectable = true;
        state.extSelectable = true;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this)
                                                   : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override {
        return CSpokenText::ColumnName(CSpokenText::Column(column));
    }
    QString rowDescription(int) const override { return QString(); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override { return CSpokenText::kColumnCount; }
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    // Qt hands back the reset the view sends; the cells are dropped already.
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    void Retire(std::vector<QAccessible::Id> cells);

    CKesViewAccessible* m_pPane;
    mutable std::map<std::pair<int, int>, QAccessible::Id> m_cells;
    std::vector<QAccessible::Id> m_retired;
};

// The header's tempo and title (buttons that open their dialogs), the staff panel and the key
// guide (text), and the notification that speaks a refused action.
class CViewPartAccessible : public QAccessibleInterface,
                            public QAccessibleActionInterface,
                            public QAccessibleTextInterface {
public:
    enum Kind { Tempo, Title, Staff, KeyGuide, Message };
    CViewPartAccessible(CKesViewAccessible* pane, Kind kind) : m_pPane(pane), m_kind(kind) {}

    void SetMessage(const QString& text) { m_strMessage = text; }

    bool isValid() const override { return m_pPane->View() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_pPane->window(); }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return m_pPane; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override {
        switch (m_kind) {
        case Tempo:
        case Title:
            return QAccessible::Button;
        case Message:
            return QAccessible::Notification;
        default:
            // Not labels: a reader says a pane's labels each time the focus comes back to it.
            return QAccessible::Paragraph;
        }
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.readOnly = true;
        if (m_kind == Message && m_strMessage.isEmpty())
            state.invisible = true;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface && (m_kind == Tempo || m_kind == Title))
            return static_cast<QAccessibleActionInterface*>(this);
        if (type == QAccessible::TextInterface && (m_kind == Staff || m_kind == KeyGuide))
            return static_cast<QAccessibleTextInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        return text(QAccessible::Name).mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(text(QAccessible::Name).size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return QString();
    }

private:
    CKesViewAccessible* m_pPane;
    Kind m_kind;
    QString m_strMessage;
};

// ---- the cells

CKesView* CEventCellAccessible::View() const {
    return m_pTable->View();
}

// A cell of a row that is gone stays valid (and says nothing) while a reader may still ask.
bool CEventCellAccessible::isValid() const {
    return View() != nullptr;
}

QWindow* CEventCellAccessible::window() const {
    return m_pTable->window();
}

QAccessibleInterface* CEventCellAccessible::parent() const {
    return m_pTable;
}

QAccessibleInterface* CEventCellAccessible::table() const {
    return m_pTable;
}

bool CEventCellAccessible::IsCursorCell() const {
    const CKesView* view = View();
    return view && !m_bRetired && view->Cursor().row == m_nRow &&
           CSpokenText::ColumnOfInput(view->Cursor().column) == m_nColumn;
}

QString CEventCellAccessible::Pending() const {
    if (!IsCursorCell())
        return QString();
    const std::string_view pending = View()->GetEditor().PendingInput();
    return QString::fromLatin1(pending.data(), qsizetype(pending.size()));
}

bool CEventCellAccessible::isSelected() const {
    return m_pTable->isRowSelected(m_nRow);
}

QString CEventCellAccessible::text(QAccessible::Text t) const {
    const CKesView* view = View();
    if (!view || m_bRetired || t != QAccessible::Name)
        return QString();
    return CSpokenText::Cell(view->GetDocument()->GetSong(), m_nRow, CSpokenText::Column(m_nColumn),
                             view->GetSettings().GetTimeSignature(), isSelected());
}

QRect CEventCellAccessible::rect() const {
    const CKesView* view = View();
    const int k = view && !m_bRetired ? m_nRow - view->GetScrollPosition() : -1;
    if (k < 0 || k >= view->GetPageSize())
        return QRect();
    const ViewMetrics& metrics = view->GetMetrics();
    const ColumnSpan span = kColumnSpans[m_nColumn];
    return ToScreen(view, QRect(metrics.TextLeft() + span.position * metrics.cw,
                                metrics.GetRowTop(k), span.width * metrics.cw, metrics.lh + 2));
}

QAccessible::State CEventCellAccessible::state() const {
    QAccessible::State state;
    const CKesView* view = View();
    if (!view)
        return state;
    const int k = m_nRow - view->GetScrollPosition();
    if (m_bRetired || k < 0 || k >= view->GetPageSize()) {
        state.invisible = true;
        state.offscreen = true;
    }
    state.selectable = m_nRow < view->GetDocument()->GetSong().count;
    state.selected = isSelected();
    const bool input = m_nColumn == CSpokenText::Code || m_nColumn == CSpokenText::Pitch ||
                       m_nColumn == CSpokenText::Note;
    state.focusable = input;
    state.editable = input;
    state.readOnly = !input;
    state.focused = IsCursorCell() && view->hasFocus();
    return state;
}

// ---- the list

void CEventListAccessible::Retire(std::vector<QAccessible::Id> cells) {
    // A reader still compares its next focus with the one before: the cells dropped last time
    // stay answerable until the next drop.
    for (const QAccessible::Id id : cells) {
        if (QAccessibleInterface* cell = QAccessible::accessibleInterface(id))
            static_cast<CEventCellAccessible*>(cell)->Retire();
    }
    for (const QAccessible::Id id : std::exchange(m_retired, std::move(cells)))
        QAccessible::deleteAccessibleInterface(id);
}

void CEventListAccessible::DropCells() {
    std::vector<QAccessible::Id> cells;
    for (const auto& [place, id] : std::exchange(m_cells, {}))
        cells.push_back(id);
    Retire(std::move(cells));
}

void CEventListAccessible::DropCell(int row, int column) {
    const auto found = m_cells.find({row, column});
    if (found == m_cells.end())
        return;
    const QAccessible::Id id = found->second;
    m_cells.erase(found);
    Retire({id});
}

int CEventListAccessible::rowCount() const {
    const CKesView* view = View();
    return view ? view->GetDocument()->GetSong().count + 1 : 0;
}

QAccessibleInterface* CEventListAccessible::cellAt(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    const auto found = m_cells.find({row, column});
    if (found != m_cells.end()) {
        if (QAccessibleInterface* cell = QAccessible::accessibleInterface(found->second))
            return cell;
    }
    auto* cell = new CEventCellAccessible(const_cast<CEventListAccessible*>(this), row, column);
    m_cells[{row, column}] = QAccessible::registerAccessibleInterface(cell);
    return cell;
}

QAccessibleInterface* CEventListAccessible::focusChild() const {
    const CKesView* view = View();
    if (!view || !view->hasFocus())
        return nullptr;
    return cellAt(view->Cursor().row, CSpokenText::ColumnOfInput(view->Cursor().column));
}

QAccessibleInterface* CEventListAccessible::childAt(int x, int y) const {
    for (int i = 0; i < childCount(); ++i) {
        const int row = i / columnCount();
        if (row < View()->GetScrollPosition() ||
            row >= View()->GetScrollPosition() + View()->GetPageSize())
            continue;
        QAccessibleInterface* cell = child(i);
        if (cell->rect().contains(x, y))
            return cell;
    }
    return nullptr;
}

QRect CEventListAccessible::rect() const {
    const CKesView* view = View();
    if (!view)
        return QRect();
    const int top = view->GetRowTop(0);
    return ToScreen(
        view, QRect(0, top, view->GetListWidth(), std::max(0, view->viewport()->height() - top)));
}

int CEventListAccessible::selectedRowCount() const {
    const CKesView* view = View();
    return view ? view->GetSelection().second : 0;
}

QList<int> CEventListAccessible::selectedRows() const {
    QList<int> rows;
    if (const CKesView* view = View()) {
        const auto [first, count] = view->GetSelection();
        for (int i = first; i < first + count; ++i)
            rows << i;
    }
    return rows;
}

QList<QAccessibleInterface*> CEventListAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (const int row : selectedRows()) {
        for (int column = 0; column < columnCount(); ++column)
            cells << cellAt(row, column);
    }
    return cells;
}

bool CEventListAccessible::isRowSelected(int row) const {
    const CKesView* view = View();
    if (!view)
        return false;
    const auto [first, count] = view->GetSelection();
    return row >= first && row < first + count;
}

// ---- the header, the staff, the key guide and the message

QString CViewPartAccessible::text(QAccessible::Text t) const {
    const CKesView* view = m_pPane->View();
    if (!view)
        return QString();
    const Song& song = view->GetDocument()->GetSong();
    if (t == QAccessible::Description) {
        switch (m_kind) {
        case Tempo:
            return CSpokenText::tr("押すとテンポの設定を開きます");
        case Title:
            return CSpokenText::tr("押すとタイトルの編集を開きます");
        default:
            return QString();
        }
    }
    if (t != QAccessible::Name)
        return QString();
    switch (m_kind) {
    case Tempo:
        return CSpokenText::TempoText(song.tempo);
    case Title:
        return CSpokenText::TitleText(song.title);
    case Staff: {
        const EnvSettings& settings = view->GetSettings();
        const uint32_t origin = StaffOriginTick(song, view->GetStaffOriginRow(),
                                                SongMeter(song, settings.GetTimeSignature()));
        return CSpokenText::StaffText(song, origin, settings.GetTimeSignature());
    }
    case KeyGuide: {
        QStringList lines;
        for (const QString& line : view->KeyGuideLines())
            lines << line.simplified();
        return lines.join(QLatin1Char('\n'));
    }
    case Message:
        return m_strMessage;
    }
    return QString();
}

QRect CViewPartAccessible::rect() const {
    const CKesView* view = m_pPane->View();
    if (!view)
        return QRect();
    const ViewMetrics& metrics = view->GetMetrics();
    const int listWidth = view->GetListWidth();
    const int width = view->viewport()->width();
    PixelRect box;
    switch (m_kind) {
    case Tempo:
        box = {0, 0, metrics.TempoValueRect().right, metrics.HeaderBottom()};
        break;
    case Title:
        box = {metrics.TitleLabelRect().left, 0, listWidth, metrics.HeaderBottom()};
        break;
    case Staff:
        box = {listWidth, 0, width, kStaffPanelHeight};
        break;
    case KeyGuide:
        box = {listWidth, kStaffPanelHeight, width, view->viewport()->height()};
        break;
    case Message:
        return QRect();
    }
    return ToScreen(view, QRect(box.left, box.top, box.Width(), box.Height()));
}

void CViewPartAccessible::doAction(const QString& actionName) {
    CKesView* view = m_pPane->View();
    if (!view || actionName != pressAction())
        return;
    // The dialog runs its own event loop: not inside the reader's call.
    if (m_kind == Tempo)
        QMetaObject::invokeMethod(view, &CKesView::OnEditTempo, Qt::QueuedConnection);
    else if (m_kind == Title)
        QMetaObject::invokeMethod(view, &CKesView::OnEditTitle, Qt::QueuedConnection);
}

QStringList CViewPartAccessible::keyBindingsForAction(const QString&) const {
    return {};
}

// ---- the pane

CKesViewAccessible::CKesViewAccessible(CKesView* view)
    : QAccessibleWidget(view, QAccessible::Pane), m_pList(new CEventListAccessible(this)) {
    m_pParts[kList] = nullptr;
    QAccessible::registerAccessibleInterface(m_pList);
    const std::pair<int, CViewPartAccessible::Kind> kinds[] = {
        {kTempo, CViewPartAccessible::Tempo},     {kTitle, CViewPartAccessible::Title},
        {kStaff, CViewPartAccessible::Staff},     {kKeyGuide, CViewPartAccessible::KeyGuide},
        {kMessage, CViewPartAccessible::Message},
    };
    for (const auto& [part, kind] : kinds) {
        m_pParts[part] = new CViewPartAccessible(this, kind);
        QAccessible::registerAccessibleInterface(m_pParts[part]);
    }
    DoSync(); // what a reader that asks now finds
}

CKesViewAccessible::~CKesViewAccessible() {
    for (CViewPartAccessible* part : m_pParts) {
        if (part)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(part));
    }
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(m_pList));
}

CKesView* CKesViewAccessible::View() const {
    return static_cast<CKesView*>(widget());
}

QAccessible::Role CKesViewAccessible::role() const {
    return QAccessible::Pane;
}

QString CKesViewAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name)
        return CSpokenText::tr("曲の編集");
    return QAccessibleWidget::text(t);
}

QAccessibleInterface* CKesViewAccessible::Part(int index) const {
    if (index == kList)
        return m_pList;
    return index >= 0 && index < kPartCount ? m_pParts[index] : nullptr;
}

int CKesViewAccessible::childCount() const {
    return kPartCount;
}

QAccessibleInterface* CKesViewAccessible::child(int index) const {
    return Part(index);
}

int CKesViewAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (int i = 0; i < kPartCount; ++i) {
        if (Part(i) == child)
            return i;
    }
    return -1;
}

QAccessibleInterface* CKesViewAccessible::childAt(int x, int y) const {
    for (int i = 0; i < kPartCount; ++i) {
        if (Part(i)->rect().contains(x, y))
            return i == kList ? m_pList->childAt(x, y) : Part(i);
    }
    return nullptr;
}

QAccessibleInterface* CKesViewAccessible::focusChild() const {
    return m_pList->focusChild();
}

namespace {

QAccessibleInterface* CreateInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("CKesView"))
        return new CKesViewAccessible(static_cast<CKesView*>(object));
    return nullptr;
}

// Not only while a reader listens: the events also go to Qt's update handler, and keeping
// the record current costs a few strings per step.
CKesViewAccessible* InterfaceOf(CKesView* view) {
    if (!view)
        return nullptr;
    return dynamic_cast<CKesViewAccessible*>(QAccessible::queryAccessibleInterface(view));
}

} // namespace

void CKesViewAccessible::ObserveEvents(EventObserver observer) {
    g_observer = observer;
}

void CKesViewAccessible::InstallFactory() {
    QAccessible::installFactory(CreateInterface);
}

void CKesViewAccessible::Sync(CKesView* view) {
    if (CKesViewAccessible* iface = InterfaceOf(view))
        iface->DoSync();
}

void CKesViewAccessible::FocusCursorCell(CKesView* view) {
    if (CKesViewAccessible* iface = InterfaceOf(view)) {
        iface->DoSync();
        iface->SendFocusToCursorCell(false);
    }
}

void CKesViewAccessible::Announce(CKesView* view, const QString& text) {
    CKesViewAccessible* iface = InterfaceOf(view);
    if (!iface || text.isEmpty())
        return;
    CViewPartAccessible* message = iface->m_pParts[kMessage];
    // Hidden first: a reader speaks a notification as it is shown, also the same text again.
    Notify(message, QAccessible::ObjectHide);
    message->SetMessage(text);
    Notify(message, QAccessible::NameChanged);
    Notify(message, QAccessible::ObjectShow);
}

void CKesViewAccessible::SendFocusToCursorCell(bool fresh) {
    CKesView* view = View();
    const EditorCursor cursor = view->Cursor();
    const int column = CSpokenText::ColumnOfInput(cursor.column);
    // A reader speaks a focus only when it lands on another object: a cell whose contents
    // changed in place becomes a new one.
    if (fresh)
        m_pList->DropCell(cursor.row, column);
    if (view->hasFocus()) {
        if (QAccessibleInterface* cell = m_pList->cellAt(cursor.row, column))
            Notify(cell, QAccessible::Focus);
    }
}

void CKesViewAccessible::DoSync() {
    CKesView* view = View();
    const unsigned songSerial = view->SongSerial();
    const Song& song = view->GetDocument()->GetSong();
    const EditorCursor cursor = view->Cursor();
    const std::string_view typed = view->GetEditor().PendingInput();
    const QString pending = QString::fromLatin1(typed.data(), qsizetype(typed.size()));
    const std::pair<int, int> selection = view->GetSelection();
    const QString tempo = m_pParts[kTempo]->text(QAccessible::Name);
    const QString title = m_pParts[kTitle]->text(QAccessible::Name);
    const QString staff = m_pParts[kStaff]->text(QAccessible::Name);

    const bool first = !std::exchange(m_bSynced, true);
    const bool songChanged = !first && songSerial != m_nSongSerial;
    const bool moved = cursor.row != m_nRow || cursor.column != m_nColumn;
    const bool selectionChanged = selection != m_selection;
    const QString pendingBefore = m_strPending;
    m_nSongSerial = songSerial;
    m_nRow = cursor.row;
    m_nColumn = cursor.column;
    m_strPending = pending;
    m_selection = selection;

    if (songChanged) {
        m_pList->DropCells();
        QAccessibleTableModelChangeEvent reset(m_pList,
                                               QAccessibleTableModelChangeEvent::ModelReset);
        Send(reset);
    }
    if (std::exchange(m_strTempo, tempo) != tempo && !first)
        Notify(m_pParts[kTempo], QAccessible::NameChanged);
    if (std::exchange(m_strTitle, title) != title && !first)
        Notify(m_pParts[kTitle], QAccessible::NameChanged);
    if (std::exchange(m_strStaff, staff) != staff && !first)
        Notify(m_pParts[kStaff], QAccessible::NameChanged);
    if (first)
        return;

    if (selectionChanged) {
        QAccessibleEvent within(m_pList, QAccessible::SelectionWithin);
        Send(within);
    }
    // Applied or dropped typing says the cell again, with what it holds now.
    if (songChanged || moved || selectionChanged ||
        (pending.isEmpty() && !pendingBefore.isEmpty())) {
        SendFocusToCursorCell(!moved);
        return;
    }
    if (pending == pendingBefore || cursor.row > song.count)
        return;
    QAccessibleInterface* cell =
        m_pList->cellAt(cursor.row, CSpokenText::ColumnOfInput(cursor.column));
    if (!cell)
        return;
    // Typed characters are added or taken back one at a time.
    if (pending.startsWith(pendingBefore)) {
        QAccessibleTextInsertEvent inserted(cell, int(pendingBefore.size()),
                                            pending.mid(pendingBefore.size()));
        Send(inserted);
    } else if (pendingBefore.startsWith(pending)) {
        QAccessibleTextRemoveEvent removed(cell, int(pending.size()),
                                           pendingBefore.mid(pending.size()));
        Send(removed);
    } else {
        QAccessibleTextUpdateEvent updated(cell, 0, pendingBefore, pending);
        Send(updated);
    }
}
