// The step editor's moves by bar (the song's bars): the first event of the previous or the
// next bar.
#include "stepeditor.h"

#include "settings/envsettings.h"
#include "song/musictime.h"

#include <algorithm>

void CStepEditor::MoveToPreviousBar() {
    FinishInput();
    Song& song = m_host.EditorSong();
    ComputeStartTicks(song);
    const Meter meter = SongMeter(song, m_host.EditorSettings().GetTimeSignature());
    const int row = std::clamp(m_nCursorRow, 0, song.count);
    int target = FirstRowFrom(BarStartTick(RowStartTick(row), meter));
    if (target >= row && row > 0) {
        // Already on the first event of its bar: go to the first event of the bar in which
        // the previous event starts, so a bar filled by a held note is not a dead stop.
        target = FirstRowFrom(BarStartTick(RowStartTick(row - 1), meter));
    }
    m_host.MoveCursorTo(target);
}

void CStepEditor::MoveToNextBar() {
    FinishInput();
    Song& song = m_host.EditorSong();
    ComputeStartTicks(song);
    const Meter meter = SongMeter(song, m_host.EditorSettings().GetTimeSignature());
    const int row = std::clamp(m_nCursorRow, 0, song.count);
    const uint32_t start = BarStartTick(RowStartTick(row), meter);
    const uint32_t bar = uint32_t(GetTicksPerBar(meter.signature));
    // The bar after the pickup begins where the pickup ends.
    const uint32_t nextBar = meter.pickup > 0 && RowStartTick(row) < uint32_t(meter.pickup)
                                 ? uint32_t(meter.pickup)
                                 : start + bar;
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
