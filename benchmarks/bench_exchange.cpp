// Music exchange: MIDI export of a full song, import of a 10,000-note format 1 file and of
// 320,000 notes held on one key (the import is linear: at most 40 times the 10,000), and
// audio rendering speed as a multiple of real time, normalised and not.
#include "formats/midifile.h"
#include "midi/audiorender.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

Song FullSong() {
    static constexpr uint8_t kCodes[] = {0xC4, 0xC6, 0xC7, 0xC2, 0xC9, 0xC5};
    Song song;
    for (int i = 0; i < kMaxEvents; ++i) {
        song.events[size_t(i)].code = kCodes[i % 6];
        song.events[size_t(i)].pitch = i % 11 == 5   ? kPitchRest
                                       : i % 13 == 7 ? kPitchTie
                                                     : uint8_t(40 + i % 24);
    }
    song.count = kMaxEvents;
    return song;
}

void PutVlq(std::vector<uint8_t>& out, uint32_t v) {
    if (v >= 0x80)
        out.push_back(uint8_t(0x80 | (v >> 7)));
    out.push_back(uint8_t(v & 0x7F));
}

// Two tracks of 5,000 notes each (running status), division 96.
std::vector<uint8_t> TenThousandNotes() {
    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0, 96};
    for (int track = 0; track < 2; ++track) {
        std::vector<uint8_t> body{0x00, uint8_t(0x90 + track)};
        for (int i = 0; i < 5000; ++i) {
            const uint8_t key = uint8_t(48 + (i * 7 + track) % 36);
            if (i > 0)
                PutVlq(body, 0);
            body.insert(body.end(), {key, 100});
            PutVlq(body, uint32_t(24 + (i % 4) * 24));
            body.insert(body.end(), {key, 0});
        }
        body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(uint8_t(body.size() >> shift));
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

// One track of `count` note-ons on one key, all held to the end and then released.
std::vector<uint8_t> HeldNotes(int count) {
    std::vector<uint8_t> body{0x00, 0x90};
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            PutVlq(body, 12);
        body.insert(body.end(), {60, 100});
    }
    body.push_back(0x00);
    body.push_back(0x80);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            PutVlq(body, 0);
        body.insert(body.end(), {60, 0});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(body.size() >> shift));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

void BM_ExportMidi999(benchmark::State& state) {
    const Song song = FullSong();
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeMidiFile(song, TimeSignature{}, "title"));
}
BENCHMARK(BM_ExportMidi999)->Unit(benchmark::kMicrosecond);

void BM_ImportMidi10000(benchmark::State& state) {
    const std::vector<uint8_t> file = TenThousandNotes();
    for (auto _ : state) {
        MidiImport import;
        benchmark::DoNotOptimize(DecodeMidiFile(file, import));
    }
}
BENCHMARK(BM_ImportMidi10000)->Unit(benchmark::kMillisecond);

void BM_ImportHeldNotes320000(benchmark::State& state) {
    const std::vector<uint8_t> file = HeldNotes(320000);
    for (auto _ : state) {
        MidiImport import;
        benchmark::DoNotOptimize(DecodeMidiFile(file, import));
    }
}
BENCHMARK(BM_ImportHeldNotes320000)->Unit(benchmark::kMillisecond);

void BM_RenderAudio999(benchmark::State& state) {
    const Song song = FullSong();
    const auto type = AudioFileType(state.range(0));
    AudioRenderOptions options;
    options.normalize = state.range(1) != 0;
    const std::string path = "/tmp/kesv-bench-" + std::to_string(::getpid()) +
                             (type == AudioFileType::Flac ? ".flac" : ".wav");
    for (auto _ : state) {
        if (!RenderSongToAudio(song, path, type, {}, options))
            state.SkipWithError("render failed");
    }
    state.counters["x_realtime"] = benchmark::Counter(
        RenderedAudioSeconds(song) * double(state.iterations()), benchmark::Counter::kIsRate);
    std::remove(path.c_str());
}
BENCHMARK(BM_RenderAudio999)
    ->Args({int(AudioFileType::Wav), 1})
    ->Args({int(AudioFileType::Flac), 1})
    ->Args({int(AudioFileType::Wav), 0})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

} // namespace
