// What the step editor asks of the window that shows the list: the song and settings it
// edits, cursor moves, repaints and scrolling, the modifier state, and each change it makes.
#pragma once

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

class IStepEditorHost {
public:
    virtual ~IStepEditorHost() = default;

    virtual Song& EditorSong() = 0;
    virtual const EnvSettings& EditorSettings() const = 0;
    /// Clamps the row, scrolls as little as needed, puts the editor's cursor there
    /// (CStepEditor::SetCursorRow) and repaints the rows it left and reached.
    virtual void MoveCursorTo(int row) = 0;
    virtual void InvalidateRow(int row, bool withPanel) = 0;
    /// Every row may show a changed value: the whole list is painted again.
    virtual void RedrawAll() = 0;
    /// Events were added or removed: the scroll range follows the song's length.
    virtual void OnRowCountChanged() = 0;
    /// Rows that fit in the window.
    virtual int GetPageSize() const = 0;
    /// Whether a modifier (vk::Shift, vk::Control, vk::Menu) is held for this key.
    virtual bool IsKeyHeld(int virtualKey) const = 0;
    /// Each change of the event table, right after it is made: the host records it for undo
    /// and lets the document know the song changed.
    virtual void OnEventEdited(const EventEdit& edit) = 0;
    /// A pitch was entered by hand at the row (a typed note name or hex pitch applied, a step
    /// of the pitch, a piano key), right after it was set and before the change is reported,
    /// also when it stayed the same. Recorded notes do not come here.
    virtual void OnNoteEntered(int row) { (void)row; }
    /// An event was to be added (Insert, a length, code or note on the end row) but the song
    /// already holds kMaxEvents.
    virtual void OnEventLimitReached() {}
};
