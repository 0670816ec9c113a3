#include "songcommands.h"

#include "document/kesdoc.h"

#include <algorithm>
#include <utility>

bool InsertSongEvents(Song& song, int index, const std::vector<EventBytes>& events) {
    const int n = int(events.size());
    if (n > kMaxEvents - song.count)
        return false;
    index = std::clamp(index, 0, song.count);
    SongEvent* begin = song.events.data();
    std::copy_backward(begin + index, begin + song.count, begin + song.count + n);
    for (int i = 0; i < n; ++i)
        begin[index + i] = {0, events[size_t(i)].code, events[size_t(i)].pitch};
    song.count += n;
    return true;
}

void RemoveSongEvents(Song& song, int index, int count) {
    if (index < 0 || index >= song.count || count <= 0)
        return;
    count = std::min(count, song.count - index);
    SongEvent* begin = song.events.data();
    std::copy(begin + index + count, begin + song.count, begin + index);
    song.count -= count;
}

CEditStep::CEditStep(CKesDoc* document, EditCursor before)
    : m_pDocument(document), m_before(before), m_after(before) {}

void CEditStep::undo() {
    QUndoCommand::undo();
    m_pDocument->OnStepApplied(m_before.row, m_before.column);
}

void CEditStep::redo() {
    if (!m_bPushed) {
        m_bPushed = true; // the edit itself made the change
        return;
    }
    QUndoCommand::redo();
    m_pDocument->OnStepApplied(m_after.row, m_after.column);
}

CChangeEventCommand::CChangeEventCommand(Song& song, int index, EventBytes before, EventBytes after,
                                         QUndoCommand* step)
    : QUndoCommand(step), m_song(song), m_nIndex(index), m_before(before), m_after(after) {}

void CChangeEventCommand::undo() {
    SongEvent& event = m_song.events[size_t(m_nIndex)];
    event.code = m_before.code;
    event.pitch = m_before.pitch;
}

void CChangeEventCommand::redo() {
    SongEvent& event = m_song.events[size_t(m_nIndex)];
    event.code = m_after.code;
    event.pitch = m_after.pitch;
}

CInsertEventsCommand::CInsertEventsCommand(Song& song, int index, std::vector<EventBytes> events,
                                           QUndoCommand* step)
    : QUndoCommand(step), m_song(song), m_nIndex(index), m_events(std::move(events)) {}

void CInsertEventsCommand::undo() {
    RemoveSongEvents(m_song, m_nIndex, int(m_events.size()));
}

void CInsertEventsCommand::redo() {
    InsertSongEvents(m_song, m_nIndex, m_events);
}

CRemoveEventsCommand::CRemoveEventsCommand(Song& song, int index, std::vector<EventBytes> events,
                                           QUndoCommand* step)
    : QUndoCommand(step), m_song(song), m_nIndex(index), m_events(std::move(events)) {}

void CRemoveEventsCommand::undo() {
    InsertSongEvents(m_song, m_nIndex, m_events);
}

void CRemoveEventsCommand::redo() {
    RemoveSongEvents(m_song, m_nIndex, int(m_events.size()));
}

CTitleCommand::CTitleCommand(Song& song, std::string before, std::string after, QUndoCommand* step)
    : QUndoCommand(step), m_song(song), m_before(std::move(before)), m_after(std::move(after)) {}

CTempoCommand::CTempoCommand(Song& song, uint8_t before, uint8_t after, QUndoCommand* step)
    : QUndoCommand(step), m_song(song), m_before(before), m_after(after) {}

CMusicCommand::CMusicCommand(Song& song, SongMusic before, SongMusic after, QUndoCommand* step)
    : QUndoCommand(step), m_song(song), m_before(std::move(before)), m_after(std::move(after)) {}
