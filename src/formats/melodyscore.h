// How the import scores a channel of a track as the melody a listener hears. Used by the
// import only.
#pragma once

#include "midiimport.h"
#include "smf.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// A note of the file in its ticks.
struct RawNote {
    int64_t start;
    int64_t end;
    int key;
};

/// The words of a name in lower case, split at anything but letters and digits.
std::vector<std::string> NameWords(const std::string& name);

/// The candidate of channel `channel` of track `trackIndex` with its score: enough notes to be
/// a tune, mostly one at a time, high rather than low, what its name and instrument say.
MelodyCandidate ScoreCandidate(const SmfTrack& track, size_t trackIndex, int channel,
                               uint32_t division, const std::vector<RawNote>& notes);
