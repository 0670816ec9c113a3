// How the import scores a channel of a track as the melody a listener hears, and the notes
// held on a key while a track is read. Used by the import only.
#pragma once

#include "midiimport.h"
#include "smf.h"

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

/// A note of the file in its ticks.
struct RawNote {
    int64_t start;
    int64_t end;
    int key;
};

/// The notes sounding on one key of one channel, oldest first, as runs struck at one tick: a
/// note-off ends the oldest, so a thousand notes struck at once cost one run.
class CHeldNotes {
public:
    bool Empty() const { return m_head == m_runs.size(); }
    void Strike(int64_t tick);
    /// Ends the oldest note; answers its start.
    int64_t Release();
    /// Ends every note: `release(start, count)` for each run, oldest first.
    template <typename Release> void ReleaseAll(Release release) {
        for (size_t i = m_head; i < m_runs.size(); ++i)
            release(m_runs[i].first, m_runs[i].second);
        m_runs.clear();
        m_head = 0;
    }

private:
    std::vector<std::pair<int64_t, int>> m_runs; // start, notes struck there
    size_t m_head = 0;
};

/// The words of a name in lower case, split at anything but letters and digits.
std::vector<std::string> NameWords(const std::string& name);

/// The candidates of the channels of track `trackIndex` that strike notes (never channel 10,
/// General MIDI's drums), each scored: enough notes to be a tune, mostly one at a time, high
/// rather than low, what its name and instrument say. Reads the track's notes twice and holds
/// one number a note. Empty when `stop` is requested.
std::vector<MelodyCandidate> ScoreTrack(const SmfTrack& track, size_t trackIndex, uint32_t division,
                                        const std::stop_token& stop = {});
