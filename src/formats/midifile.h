// Standard MIDI Files: the song written as a format 0 file (the performance that playback
// sends), and a file of format 0 or 1 read back into a single melody line (midiimport.h).
#pragma once

#include "midiimport.h"
#include "song/musictime.h"
#include "song/song.h"

#include <cstdint>
#include <string>
#include <vector>

/// Ticks per quarter note of the files we write: the song's own, so no tick is rounded.
constexpr int kMidiFileDivision = kTicksPerQuarter;

/// The bytes of a format 0 file: track name `title` (written as given: pass UTF-8), the
/// tempo, the song's time signature (else `signature`), its key (else the key of its notes),
/// the notes of BuildPerformance on channel 1 and the end of the track at the end of the song.
std::vector<uint8_t> EncodeMidiFile(const Song& song, const TimeSignature& signature,
                                    const std::string& title);

/// Microseconds per quarter note of a tempo byte, as the tempo meta event holds it.
uint32_t MidiTempoOfByte(uint8_t tempoByte);
