// The song core on a full song: start ticks (every paint), the performance (every play),
// the file codec (every load and save) and the key of its notes (the key dialog, every export
// and import of a song without a key).
#include "song/musickey.h"
#include "song/musictime.h"
#include "song/songcodec.h"

#include <benchmark/benchmark.h>

namespace {

Song FullSong() {
    static const uint8_t codes[] = {0xC4, 0xC6, 0xC2, 0xC9, 0xC5, 0xC3};
    Song song;
    song.title = "benchmark";
    song.count = kMaxEvents;
    for (int i = 0; i < song.count; ++i) {
        song.events[i].code = codes[i % 6];
        song.events[i].pitch = uint8_t(i % 7 == 3 ? 0xFF : (i % 11 == 5 ? 0 : 24 + i % 60));
    }
    return song;
}

void BM_ComputeStartTicks(benchmark::State& state) {
    Song song = FullSong();
    for (auto _ : state) {
        ComputeStartTicks(song);
        benchmark::DoNotOptimize(song.events[song.count].startTick);
    }
}
BENCHMARK(BM_ComputeStartTicks);

void BM_BuildPerformance(benchmark::State& state) {
    const Song song = FullSong();
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildPerformance(song));
}
BENCHMARK(BM_BuildPerformance);

void BM_EncodeSong(benchmark::State& state) {
    const Song song = FullSong();
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeSong(song));
}
BENCHMARK(BM_EncodeSong);

void BM_DecodeSong(benchmark::State& state) {
    const std::vector<uint8_t> bytes = EncodeSong(FullSong());
    Song song;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodeSong(bytes, song));
    }
}
BENCHMARK(BM_DecodeSong);

void BM_EncodeSongWithMusic(benchmark::State& state) {
    Song song = FullSong();
    song.music = {SongKey{-1, false}, TimeSignature{6, 8}, 240, {}};
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeSong(song));
}
BENCHMARK(BM_EncodeSongWithMusic);

void BM_DetectKey(benchmark::State& state) {
    const Song song = FullSong();
    for (auto _ : state)
        benchmark::DoNotOptimize(DetectKey(song));
}
BENCHMARK(BM_DetectKey);

} // namespace
