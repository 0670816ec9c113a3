// The step editor: the cursor of the event list, pending typed text, note entry and the
// sixteen edit functions reached through the key binding tables. Plain C++: the window
// that shows the list is its host (IStepEditorHost).
#pragma once

#include "editor/istepeditorhost.h"
#include "settings/keyvocabulary.h"

#include <cstdint>
#include <string_view>

struct InputColumn {
    int position;      // character position of the cell in a list row
    int width;         // characters the column takes
    const char* chars; // accepted characters
};
extern const InputColumn InputColumns[3];

/// Where the cursor stands: a row of the list (the end row is the song's count) and one of
/// the three input columns.
struct EditorCursor {
    int row = 0;
    int column = 0;
};

class CStepEditor {
public:
    /// The host must outlive the editor.
    explicit CStepEditor(IStepEditorHost& host);
    CStepEditor(const CStepEditor&) = delete;
    CStepEditor& operator=(const CStepEditor&) = delete;

    /// 1 when the key was consumed, 0 when it goes on to default processing.
    int DispatchEditKey(int virtualKey);
    enum class RangeResult { NotARangeKey, Done, OverLimit };
    /// A key on the selected rows [first, first + count): Delete deletes them, Insert puts
    /// copies after them, a length key gives each its length (F11, F12 a tie, a rest), plus and
    /// minus one step each note's pitch (rests, ties and notes at the range's ends stay) or,
    /// in the code column, each length. Any other key is left to DispatchEditKey.
    RangeResult DispatchRangeKey(int virtualKey, int first, int count);
    /// An edit function on the selected rows, whatever key it is bound to: delete, insert,
    /// plus and minus one as DispatchRangeKey runs them; NotARangeKey for the others.
    RangeResult RunRangeFunction(EditFunction function, int first, int count);
    /// An edit function at the cursor, whatever key it is bound to; 1 when it acted.
    int RunFunction(EditFunction function) { return RunEditFunction(int(function)); }
    /// 1 when the character was taken, 0 when it goes on to default processing.
    int OnChar(unsigned int character);
    /// A received note: applies pending text, sets the whole pitch, repaints, steps down.
    void EnterRecordedPitch(int pitch);
    /// Sets (or, not `absolute`, steps) a cell of the cursor row, clamped to what the column
    /// holds; `column` -1 is the cursor's. 0 on the end row, which holds no event.
    int SetCellValue(bool absolute, int value, int column);
    /// Applies the pending text to the cursor row and repaints it with the staff panel.
    void FinishInput();
    /// Drops the pending text without applying it; a row that showed text is repainted.
    void DiscardInput();

    EditorCursor Cursor() const { return {m_nCursorRow, m_nCursorColumn}; }
    /// Only the host places the cursor on a row; it repaints what the move changes.
    void SetCursorRow(int row) { m_nCursorRow = row; }
    void SetColumn(int column);
    /// The cursor's input column: where it sits in a row, its width, what it accepts.
    const InputColumn& CursorCell() const { return InputColumns[m_nCursorColumn]; }
    /// The typed text not yet applied to the song.
    std::string_view PendingInput() const { return {m_szInput, size_t(m_nInputLen)}; }

    /// The function bound to the key under the modifiers held.
    EditFunction BoundFunction(int virtualKey) const;
    /// F1–F24 as numbered under the modifiers held (0–23 alone, +24 SHIFT, +48 CTRL), else -1.
    int LengthKeyNumber(int virtualKey) const;
    /// Whether a length key number makes a tie or a rest (F11, F12 alone).
    static bool IsTieKey(int keyNumber);
    static bool IsRestKey(int keyNumber);

private:
    /// The code a length key number sets, 0 for none.
    static uint8_t LengthKeyCode(int keyNumber);
    void ChangeRow(int row, SongEvent after);
    int RunEditFunction(int id);
    /// SetCellValue; `entered`: a pitch typed or stepped by hand, which the host hears of.
    int SetCell(bool absolute, int value, int column, bool entered);
    int CursorLeft();
    int CursorRight();
    int InsertEvent(int index);
    int DeleteEvent(int index);
    void CommitInput();
    void ApplyNoteName();
    int EnterPianoKey(unsigned int character);
    enum PitchPart { Whole, Semitone };
    void SetPitchPart(PitchPart part, int value);
    void EnterLength(int keyNumber);
    /// Functions 5 and 6: the first event of the current or previous bar, the next bar.
    void MoveToPreviousBar();
    void MoveToNextBar();
    /// Whether the cursor stands on the end row (or beyond), where there is no event.
    bool OnEndRow();
    /// The first row (the end row included) whose event starts at or after the tick.
    int FirstRowFrom(uint32_t tick);
    /// The start tick of a row after ComputeStartTicks; the end row's is the song's length.
    uint32_t RowStartTick(int row);

    IStepEditorHost& m_host;
    int m_nCursorRow = 0;
    int m_nCursorColumn = 0;
    char m_szInput[20] = {};
    int m_nInputLen = 0;
};
