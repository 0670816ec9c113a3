// The step editor: the cursor of the event list, pending typed text, note entry and the
// sixteen edit functions reached through the key binding tables. Plain C++: the window
// that shows the list implements the few hooks at the bottom.
#pragma once

#include "settings/keyvocabulary.h"

#include "song/song.h"

#include <cstdint>

struct EnvSettings;

/// One change of the event table as the editor makes it, reported so it can be undone.
struct EventEdit {
    enum Kind : uint8_t { Change, Insert, Remove };
    Kind kind = Change;
    int index = 0;
    SongEvent before; // Change and Remove: the event as it was
    SongEvent after;  // Change and Insert: the event as it is now
};

struct InputColumn {
    int position;      // character position of the cell in a list row
    int width;         // characters the column takes
    const char* chars; // accepted characters
};
extern const InputColumn InputColumns[3];

class CStepEditor {
public:
    CStepEditor();
    virtual ~CStepEditor();

    /// 1 when the key was consumed, 0 when it goes on to default processing.
    int DispatchEditKey(int virtualKey);
    int RunEditFunction(int id);
    /// 1 when the character was taken, 0 when it goes on to default processing.
    int OnChar(unsigned int character);

    int CursorLeft();
    int CursorRight();
    void SetColumn(int column);
    int SetCellValue(bool absolute, int value, int column);
    int InsertEvent(int index);
    int DeleteEvent(int index);

    void FinishInput();
    void CommitInput();
    static int ParseHexInput(const char* text, int length, int& value);
    static int IsBlankInput(const char* text, int length);
    void ApplyNoteName();
    int EnterPianoKey(unsigned int character);
    enum PitchPart { Whole, Semitone };
    void SetPitchPart(PitchPart part, int value);
    void EnterLength(int keyNumber);
    /// Functions 5 and 6: the first event of the current or previous bar, the next bar.
    void MoveToPreviousBar();
    void MoveToNextBar();

    /// A received note: applies pending text, sets the whole pitch, repaints, steps down.
    void EnterRecordedPitch(int pitch);

    int m_nCursorRow = 0;
    int m_nCursorColumn = 0;
    int m_nColumnPos = 0;
    int m_nInputMax = 0;
    const char* m_pszInputChars = nullptr;
    char m_szInput[20] = {};
    int m_nInputLen = 0;

protected:
    // What the editor needs from the window that shows the list.
    virtual Song& EditorSong() = 0;
    virtual const EnvSettings& EditorSettings() const = 0;
    /// Clamps the row, scrolls as little as needed, moves the cursor, repaints both rows.
    virtual void MoveCursorTo(int row) = 0;
    virtual void InvalidateRow(int row, bool withPanel) = 0;
    /// A negative height stands for the current client height.
    virtual void UpdateScrollRange(int height) = 0;
    /// Repaints the whole list at once (erased, painted before returning).
    virtual void RedrawAll() = 0;
    /// Rows that fit in the window.
    virtual int GetPageSize() const = 0;
    /// Whether a modifier (vk::Shift, vk::Control, vk::Menu) is held for this key.
    virtual bool IsKeyHeld(int virtualKey) const = 0;
    /// Every change of the song goes through here so the document knows it changed.
    virtual void SetSongModified() = 0;
    /// Each change of the event table, right after it is made and before SetSongModified.
    virtual void RecordEdit(const EventEdit& /*edit*/) {}

private:
    /// Drops the pending text without applying it; a row that showed text is repainted.
    void DiscardInput();
    /// Whether the cursor stands on the end row (or beyond), where there is no event.
    bool OnEndRow();
    /// The first row (the end row included) whose event starts at or after the tick.
    int FirstRowFrom(uint32_t tick);
    /// The start tick of a row after ComputeStartTicks; the end row's is the song's length.
    uint32_t RowStartTick(int row);
};
