// ABC notation: export and import of a 999-event tune (the common lengths with triplets, rests
// and ties: all_codes:0; every length code in turn, whose odd lengths split notes at nearly
// every bar line and make the export carry its events: all_codes:1), and the listing of a
// collection of 10,000 tunes as --list-tunes reads it.
#include "formats/abc.h"

#include <benchmark/benchmark.h>

#include <regex>

namespace {

Song FullSong(bool allCodes) {
    static constexpr uint8_t kCommon[] = {0xC4, 0xC6, 0xC7, 0xC2, 0xC9, 0xC5};
    static constexpr uint8_t kAll[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8,
                                       0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1};
    Song song;
    for (int i = 0; i < kMaxEvents; ++i) {
        song.events[size_t(i)].code = allCodes ? kAll[(i * 7) % std::size(kAll)] : kCommon[i % 6];
        song.events[size_t(i)].pitch = i % 11 == 5   ? kPitchRest
                                       : i % 13 == 7 ? kPitchTie
                                                     : uint8_t(40 + i % 24);
    }
    song.count = kMaxEvents;
    ComputeStartTicks(song);
    return song;
}

AbcWriteOptions Options() {
    AbcWriteOptions options;
    options.title = "Benchmark";
    options.key = AbcKey{2, false};
    return options;
}

void BM_ExportAbc(benchmark::State& state) {
    const Song song = FullSong(state.range(0) != 0);
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = EncodeAbc(song, Options());
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_ExportAbc)->ArgName("all_codes")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ImportAbc(benchmark::State& state) {
    std::string text = EncodeAbc(FullSong(state.range(0) != 0), Options());
    if (state.range(1) == 0)
        text = std::regex_replace(text, std::regex("%%kesv-events[^\n]*\n"), "");
    for (auto _ : state) {
        AbcTune tune;
        DecodeAbc(text, tune);
        benchmark::DoNotOptimize(tune.song.count);
    }
}
BENCHMARK(BM_ImportAbc)
    ->ArgNames({"all_codes", "kept_events"})
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

// 10,000 reels and jigs of 32 bars with the usual furniture: titles, rhythm, guitar chords,
// repeats and endings, broken rhythm, triplets and grace notes.
std::string Collection() {
    std::string text = "%abc-2.1\n% A collection\n\n";
    for (int t = 1; t <= 10000; ++t) {
        const bool jig = t % 3 == 0;
        text += "X:" + std::to_string(t) + "\nT:Tune number " + std::to_string(t) +
                "\nR:" + (jig ? "jig" : "reel") + "\nM:" + (jig ? "6/8" : "4/4") +
                "\nL:1/8\nK:" + (t % 2 ? "D" : "Ador") + "\n";
        for (int part = 0; part < 2; ++part) {
            text += jig ? "|:\"D\"dAF DFA|{e}d2e fed|\"G\"BGB dBG|\"A\"(3ABc e A2G|\n"
                          "\"D\"dAF DFA|d2e fed|\"G\"B>cd \"A\"efg|1 \"D\"fdd d2A:|2 fdd d2e||\n"
                        : "|:\"D\"d2fd Adfd|{g}e2ge Bege|\"G\"d>cBA (3Bcd ef|\"A\"gfed cAGE|\n"
                          "\"D\"d2fd Adfd|e2ge Bege|\"G\"dcBA Bcde|1 \"A\"fdec d2dc:|2 fdec d4||\n";
        }
        text += "\n";
    }
    return text;
}

void BM_ListTunes(benchmark::State& state) {
    const std::string text = Collection();
    for (auto _ : state) {
        const std::vector<AbcTuneInfo> tunes = ListAbcTunes(text);
        benchmark::DoNotOptimize(tunes.data());
    }
    state.counters["MB"] = double(text.size()) / 1e6;
}
BENCHMARK(BM_ListTunes)->Unit(benchmark::kMillisecond);

} // namespace
