// Fuzz target: any bytes given to the MIDI file reader either fail without touching the
// import or give a valid song whose written file reads back as a valid song with the same
// tempo, title and, unless the read-back is cut at the event limit, number of notes.
#include "formats/midifile.h"

#include <cstdlib>

namespace {

bool IsValidSong(const Song& song) {
    if (song.count < 0 || song.count > kMaxEvents)
        return false;
    for (int i = 0; i < song.count; ++i) {
        const SongEvent& event = song.events[size_t(i)];
        if (GetDurationTicks(event.code) == 0)
            return false;
        if (event.pitch != kPitchRest && event.pitch != kPitchTie && event.pitch > 0x5F)
            return false;
    }
    return song.count == 0 || song.events[size_t(song.count - 1)].pitch != kPitchTie;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MidiImport import;
    import.title = "unchanged";
    const MidiReadResult result = DecodeMidiFile({data, size}, import);
    if (result.error != MidiReadError::None) {
        if (import.title != "unchanged" || import.song.count != 0)
            std::abort();
        return 0;
    }
    if (!IsValidSong(import.song))
        std::abort();
    // Near the 999-event limit the melody read back may need more events than the song it was
    // written from (a long tie chain becomes another split) and is then cut: it says so, and
    // when the cut leaves not even the first note it names that cause.
    MidiImport back;
    const std::vector<uint8_t> written = EncodeMidiFile(import.song, TimeSignature{}, import.title);
    const MidiReadError readBack = DecodeMidiFile(written, back).error;
    if (readBack == MidiReadError::NotesBeyondSong && import.truncated)
        return 0;
    if (readBack != MidiReadError::None || !IsValidSong(back.song) ||
        back.song.tempo != import.song.tempo || back.title != import.title)
        std::abort();
    if (!back.truncated &&
        BuildPerformance(back.song).size() != BuildPerformance(import.song).size())
        std::abort();
    return 0;
}
