// Fuzz target: any bytes given to the song reader either fail without touching the song or
// give a song that writes and reads back to itself.
#include "song/musictime.h"
#include "song/songcodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Song song;
    song.title = "unchanged";
    const Song before = song;
    const SongDecodeError error = DecodeSong({data, size}, song);
    if (error != SongDecodeError::None) {
        if (song != before)
            std::abort();
        return 0;
    }
    if (song.count < 0 || song.count > kMaxEvents)
        std::abort();
    ComputeStartTicks(song);
    (void)BuildPerformance(song);
    if (song.title.size() <= kMaxTitleBytes) {
        Song back;
        if (DecodeSong(EncodeSong(song), back) != SongDecodeError::None || back != song)
            std::abort();
    }
    return 0;
}
