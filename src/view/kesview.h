// The score view: the song's header row, the event list with the editor's cursor, the
// staff panel and the function-key guide, scrolled row by row.
#pragma once

#include "document/songcommands.h"
#include "editor/stepeditor.h"
#include "view/viewlayout.h"

#include <QAbstractScrollArea>
#include <QFont>

#include <functional>
#include <memory>
#include <vector>

class CKesDoc;
class CListPainter;
class CMidiConnection;
class CNoteAudition;
class CPlaybackControl;
class CStaffPainter;
class QAction;
class QPainter;
class QPrinter;

// The view owns the step editor and is its host: keys and incoming notes go to the editor, which
// asks the view to move the cursor, scroll and repaint.
class CKesView : public QAbstractScrollArea, private IStepEditorHost {
    Q_OBJECT
public:
    /// `settings` is the live settings record of the application.
    CKesView(CKesDoc* document, const EnvSettings* settings, QWidget* parent = nullptr);
    ~CKesView() override;

    CKesDoc* GetDocument() const { return m_pDocument; }
    const EnvSettings& GetSettings() const { return *m_pSettings; }
    /// Counts the changes of the song made or undone through the view, and New and Open.
    unsigned SongSerial() const { return m_nSongSerial; }
    const ViewMetrics& GetMetrics() const { return m_metrics; }
    int GetListWidth() const { return m_metrics.GetListWidth(); }
    int GetRowTop(int k) const { return m_metrics.GetRowTop(k); }
    int GetScrollPosition() const;
    ScrollState GetScrollState() const;

    /// Paints the whole client area `client` (for the screen, an image or a printer page).
    void OnDraw(QPainter& painter, const QRect& client);
    /// The same in `colours` instead of the widget's palette (paper takes light ones).
    void OnDraw(QPainter& painter, const QRect& client, const QPalette& colours);
    void OnInitialUpdate();
    void OnSize(int width, int height);
    /// A scroll code (line, page, thumb, top, bottom) and the thumb's tracking position.
    void OnVScroll(int code, int trackPosition);
    void KeepCursorVisible();
    /// Puts the cursor on a row as it is (no clamping, no scrolling) and repaints both rows.
    void SetCursorRow(int row);
    EditorCursor Cursor() const { return m_editor.Cursor(); }
    void SetColumn(int column) { m_editor.SetColumn(column); }
    const CStepEditor& GetEditor() const { return m_editor; }
    /// The lines of the key guide beside the list, in the interface language.
    QStringList KeyGuideLines() const;
    /// Opens the tempo or title dialog for a click on its label in the header row.
    void OnLButtonDown(Qt::KeyboardModifiers flags, const QPoint& point);
    /// Says in the status bar, and to a screen reader, why an action did nothing.
    void Refuse(const QString& text);

    /// Once the window exists: takes the application's MIDI connection (which must outlive
    /// the view), makes this view the receiver of its incoming data and opens it. Always 0:
    /// a connection that does not open leaves recording off.
    int OnCreate(CMidiConnection* connection);
    CMidiConnection* GetMidiConnection() const { return m_pConnection; }
    /// Enabling of the MIDI commands: play (from the start or the cursor) while nothing plays,
    /// stop while a song plays, record always, checked while the connection's input is open.
    void OnUpdateMidiPlay(QAction* cmdUI) const;
    void OnUpdateMidiStop(QAction* cmdUI) const;
    void OnUpdateMidiRecord(QAction* cmdUI) const;
    /// One incoming short message (status in the low byte): a note-on enters its pitch at the
    /// cursor; every message is echoed unchanged to the connection's output.
    void OnMidiInData(quint32 message);
    /// Incoming messages may have been lost (the MIDI system missed a cycle while recording):
    /// the status bar says so, since the song may lack notes that were played.
    void OnMidiInLost();

    /// Paints the rows the window shows onto the printer's page at their size on screen,
    /// scaled down where the window is wider or taller than the printable area.
    void PrintTo(QPrinter& printer);
    /// The printer that printing, preview and printer setup share.
    QPrinter* GetPrinter();

    /// Clamps the row, scrolls as little as needed, moves the cursor, repaints both rows.
    void MoveCursorTo(int row) override;
    void InvalidateRow(int row, bool withPanel) override;
    /// A negative height stands for the current client height.
    void UpdateScrollRange(int height);
    /// Paints the whole list before returning; within a key, note, click or command (a
    /// CStepScope) once at its end, together with the rows it invalidated.
    void RedrawAll() override;
    /// Rows that fit in the window.
    int GetPageSize() const override;

    /// The selected rows: the first and how many (0 without a selection). Always events.
    std::pair<int, int> GetSelection() const;
    bool HasSelection() const { return GetSelection().second > 0; }
    /// Selects from `anchor` to `row`, where the cursor goes; as a mouse drag does.
    void SelectRows(int anchor, int row);
    void ClearSelection();
    /// Enabling of the Edit commands: cut and copy with a selection or on an event; paste
    /// while the clipboard holds events or text.
    bool CanCutOrCopy() const;
    static bool CanPaste();
    /// Puts `events` in place of the selection, else before the cursor row, as one step named
    /// as a paste; the cursor follows them. False when there are none or the song would pass
    /// the event limit (said in a message box).
    bool PasteEvents(std::vector<EventBytes> events);

    /// Whether a pitch entered by hand sounds on the output device (on at first).
    void SetAuditionEnabled(bool enabled);

    /// The running playback, if any.
    const CPlaybackControl& GetPlayback() const { return *m_pPlayback; }
    /// The row marked as being played (-1: none) and the row whose bar the staff panel starts
    /// with (the cursor's unless the panel follows the play).
    int GetMarkedPlayRow() const { return m_nPlayRow; }
    int GetStaffOriginRow() const { return m_nStaffRow < 0 ? Cursor().row : m_nStaffRow; }

public Q_SLOTS:
    void OnMidiPlay();
    /// Plays the selected rows, else from the cursor row to the end.
    void OnMidiPlayFromCursor();
    void OnMidiStop();
    void OnMidiRecord();
    /// The header's dialogs, also from the menu and the keyboard.
    void OnEditTempo();
    void OnEditTitle();
    /// Inserts an event at the cursor (copies of the selected rows with a selection), as the
    /// edit function does: a second way that a screen reader's Insert key does not take.
    void OnEditInsertEvent();
    void OnFilePrint();
    void OnFilePrintPreview();
    /// Undo and redo drop the pending text first, then the step puts back the song's bytes
    /// and the cursor.
    void OnEditUndo();
    void OnEditRedo();
    /// Copy: the selection, else the event under the cursor. Cut: copy and delete, one step.
    void OnEditCut();
    void OnEditCopy();
    /// Inserts the clipboard's events in place of the selection, else before the cursor row,
    /// as one step; the cursor follows them.
    void OnEditPaste();
    /// Selects every event; the cursor goes to the last one.
    void OnEditSelectAll();
    /// Extends the selection (or starts one at the cursor row) by a row up or down.
    void OnEditExtendUp();
    void OnEditExtendDown();
    /// The song's key, time signature and pickup in their dialog; a change is one step.
    void OnEditSongMusic();
    /// After New or Open: the cursor keeps its column and its row as far as the new song
    /// reaches, scrolled into view; typed text is dropped and everything repainted.
    void OnSongReplaced();

Q_SIGNALS:
    /// Every change of the song made through the view (edits, title, tempo).
    void songModified();
    /// The MIDI commands' enabling or check mark may have changed: a run started, stopped or
    /// ended by itself, or recording was switched.
    void midiCommandsChanged();
    /// A line for the status bar's message pane; empty to clear it.
    void statusMessage(const QString& text);
    /// A command refused or a device that cannot be used, with what the user can do: a
    /// message box, not a line that is easily missed.
    void failureMessage(const QString& text);
    /// The cursor, the selection or the song changed: cut and copy may have changed enabling.
    void editCommandsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    /// The whole title as the tool tip of its box, where it may be cut short.
    bool viewportEvent(QEvent* event) override;

private:
    Song& EditorSong() override;
    const EnvSettings& EditorSettings() const override;
    void OnRowCountChanged() override;
    bool IsKeyHeld(int virtualKey) const override;
    /// Records the change in the current undo step, then marks the song modified.
    void OnEventEdited(const EventEdit& edit) override;
    void RecordEdit(const EventEdit& edit);
    /// Sounds the row's note for its length at the song's tempo, unless a song plays.
    void OnNoteEntered(int row) override;
    /// Says in a message box why the key added no event.
    void OnEventLimitReached() override;
    /// Runs a key on the selected rows as one step and keeps the selection; false for a key
    /// that does not act on a selection.
    bool RunKeyOnSelection(int virtualKey);
    /// Runs `run` on the selected rows (first, count) as one step named `stepName`.
    bool RunOnSelection(const QString& stepName,
                        const std::function<CStepEditor::RangeResult(int, int)>& run);
    void ExtendSelection(int rows);
    /// A typed character that the cell did not take, or a pitch typed on the end row, which
    /// no event takes: says why.
    void SayWhyCharacterDoesNothing(const QList<unsigned int>& characters, bool taken);
    /// The Edit menu's name for what a key does, empty where its changes name it.
    QString StepNameOfKey(int virtualKey) const;
    /// Starts a run of the rows (the count -1: to the end) or says that the device can't be used.
    void PlayRows(int first, int count);
    /// Every change of the song goes through here so the document knows it changed.
    void SetSongModified();

    void OnScrollAction(int action);
    void SetScrollPositionQuietly(int position);
    /// The list row under a point of the viewport (the end row at most), or -1 outside the
    /// list; with `beyondList` the nearest row for any point, as a drag needs.
    int RowAt(const QPoint& point, bool beyondList) const;
    void OnStepApplied(int row, int column);

    // Everything one key press, note, click or command changes becomes one undo step:
    // BeginStep remembers the cursor, changes gather in m_pStep, EndStep pushes it and
    // paints what the step asked to be painted in full.
    friend class CStepScope;
    void BeginStep();
    void EndStep();
    CEditStep* CurrentStep();
    /// The name the Edit menu gives the current step ("貼り付け", …); without one it is named
    /// by the kind of its changes.
    void NameStep(const QString& name);
    void CopyRows(int first, int count);
    void OnPlayRowChanged(int row);
    void InvalidateStaffPanel();

    CKesDoc* m_pDocument;
    const EnvSettings* m_pSettings;
    QFont m_font;
    ViewMetrics m_metrics;
    CStepEditor m_editor;
    std::unique_ptr<CListPainter> m_pList;
    std::unique_ptr<CStaffPainter> m_pStaff;
    int m_nScrollMaximum = 0;
    int m_nPage = 1;
    bool m_bQuietScroll = false;
    bool m_bInitialUpdateDone = false;
    Qt::KeyboardModifiers m_keyModifiers;
    std::unique_ptr<QPrinter> m_pPrinter;
    CMidiConnection* m_pConnection = nullptr;
    CPlaybackControl* m_pPlayback; // a child object
    CNoteAudition* m_pAudition;    // a child object
    bool m_bAudition = true;
    std::unique_ptr<CEditStep> m_pStep;
    int m_nStepDepth = 0;
    bool m_bRedrawPending = false; // RedrawAll within a step: painted at its end
    EditCursor m_stepStart;
    QString m_stepName;
    unsigned m_nStepKinds = 0; // a bit for each EventEdit::Kind recorded in the step
    int m_nSelAnchor = -1;     // the row a mouse press or drag started from; -1 none
    bool m_bSelection = false;
    bool m_bDragging = false;
    unsigned m_nSongSerial = 0;
    int m_nPlayRow = -1;  // marked in the list while a song plays
    int m_nStaffRow = -1; // the panel's origin row while it follows the play
};
