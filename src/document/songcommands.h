// The undo steps of the song. A step holds the cursor before and after one edit and, as
// its children, the changes that edit made, each with only the bytes it needs to go back.
#pragma once

#include "song/song.h"

#include <QUndoCommand>

#include <cstdint>
#include <string>
#include <vector>

class CKesDoc;

/// The code and pitch bytes of an event (its start tick is derived).
struct EventBytes {
    uint8_t code = 0;
    uint8_t pitch = 0;
    bool operator==(const EventBytes&) const = default;
};

/// Where the editor's cursor stood: row and input column.
struct EditCursor {
    int row = 0;
    int column = 0;
    bool operator==(const EditCursor&) const = default;
};

/// One edit of the song as one undo step. It is pushed after the edit was made, so its
/// first redo does nothing; later ones replay the children and put the cursor back.
class CEditStep : public QUndoCommand {
public:
    CEditStep(CKesDoc* document, EditCursor before);
    void SetCursorAfter(EditCursor after) { m_after = after; }

    void undo() override;
    void redo() override;

private:
    CKesDoc* m_pDocument;
    EditCursor m_before;
    EditCursor m_after;
    bool m_bPushed = false;
};

/// The code or pitch of one event changed.
class CChangeEventCommand : public QUndoCommand {
public:
    CChangeEventCommand(Song& song, int index, EventBytes before, EventBytes after,
                        QUndoCommand* step);
    void undo() override;
    void redo() override;

private:
    Song& m_song;
    int m_nIndex;
    EventBytes m_before;
    EventBytes m_after;
};

/// Events inserted at an index (Insert, a new event on the end row, paste).
class CInsertEventsCommand : public QUndoCommand {
public:
    CInsertEventsCommand(Song& song, int index, std::vector<EventBytes> events, QUndoCommand* step);
    void undo() override;
    void redo() override;

private:
    Song& m_song;
    int m_nIndex;
    std::vector<EventBytes> m_events;
};

/// Events removed from an index (Delete, cut).
class CRemoveEventsCommand : public QUndoCommand {
public:
    CRemoveEventsCommand(Song& song, int index, std::vector<EventBytes> events, QUndoCommand* step);
    void undo() override;
    void redo() override;

private:
    Song& m_song;
    int m_nIndex;
    std::vector<EventBytes> m_events;
};

/// The title changed (cp932 bytes).
class CTitleCommand : public QUndoCommand {
public:
    CTitleCommand(Song& song, std::string before, std::string after, QUndoCommand* step);
    void undo() override { m_song.title = m_before; }
    void redo() override { m_song.title = m_after; }

private:
    Song& m_song;
    std::string m_before;
    std::string m_after;
};

/// The tempo byte changed.
class CTempoCommand : public QUndoCommand {
public:
    CTempoCommand(Song& song, uint8_t before, uint8_t after, QUndoCommand* step);
    void undo() override { m_song.tempo = m_before; }
    void redo() override { m_song.tempo = m_after; }

private:
    Song& m_song;
    uint8_t m_before;
    uint8_t m_after;
};

/// The key, time signature and pickup changed, together.
class CMusicCommand : public QUndoCommand {
public:
    CMusicCommand(Song& song, SongMusic before, SongMusic after, QUndoCommand* step);
    void undo() override { m_song.music = m_before; }
    void redo() override { m_song.music = m_after; }

private:
    Song& m_song;
    SongMusic m_before;
    SongMusic m_after;
};

/// Inserts events before `index` (clamped to the end). False, changing nothing, when the
/// song would go beyond kMaxEvents.
bool InsertSongEvents(Song& song, int index, const std::vector<EventBytes>& events);
/// Removes `count` events from `index`, as far as the song reaches.
void RemoveSongEvents(Song& song, int index, int count);
