// Fuzz target: any bytes given to the song reader either fail without touching the song or
// give a song that writes and reads back to itself, byte for byte.
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
        const std::vector<uint8_t> bytes = EncodeSong(song);
        Song back;
        if (DecodeSong(bytes, back) != SongDecodeError::None || back != song ||
            EncodeSong(back) != bytes)
            std::abort();
    }
    return 0;
}
