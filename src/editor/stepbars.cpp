// The step editor's moves by bar: the first event of the previous or the next bar.
#include "stepeditor.h"

#include "settings/envsettings.h"
#include "song/musictime.h"

#include <algorithm>

void CStepEditor::MoveToPreviousBar() {
    FinishInput();
    Song& song = m_host.EditorSong();
    ComputeStartTicks(song);
    const uint32_t barTicks = uint32_t(m_host.EditorSettings().GetTicksPerBar());
    const int row = std::clamp(m_nCursorRow, 0, song.count);
    const uint32_t barStart = RowStartTick(row) / barTicks * barTicks;
    int target = FirstRowFrom(barStart);
    if (target >= row && row > 0) {
        // Already on the first event of its bar: go to the first event of the bar in which
        // the previous event starts, so a bar filled by a held note is not a dead stop.
        target = FirstRowFrom(RowStartTick(row - 1) / barTicks * barTicks);
    }
    m_host.MoveCursorTo(target);
}

void CStepEditor::MoveToNextBar() {
    FinishInput();
    Song& song = m_host.EditorSong();
    ComputeStartTicks(song);
    const uint32_t barTicks = uint32_t(m_host.EditorSettings().GetTicksPerBar());
    const int row = std::clamp(m_nCursorRow, 0, song.count);
    const uint32_t nextBar = (RowStartTick(row) / barTicks + 1) * barTicks;
    m_host.MoveCursorTo(FirstRowFrom(nextBar));
}

int CStepEditor::FirstRowFrom(uint32_t tick) {
    const Song& song = m_host.EditorSong();
    const SongEvent* begin = song.events.data();
    const SongEvent* end = begin + song.count + 1; // the end position counts as a row
    const SongEvent* found = std::partition_point(
        begin, end, [tick](const SongEvent& event) { return event.startTick < tick; });
    return std::min(int(found - begin), song.count);
}

uint32_t CStepEditor::RowStartTick(int row) {
    const Song& song = m_host.EditorSong();
    return song.events[size_t(std::clamp(row, 0, song.count))].startTick;
}
