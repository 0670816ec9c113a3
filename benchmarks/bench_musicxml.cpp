// MusicXML: export and import of a 999-event song (plain and compressed; the import from the
// kept events and from the notes alone, as another program's score is read): a song of the
// common lengths with triplets, rests and ties (all_codes:0), and one of every length code in
// turn, whose odd lengths split nearly every note at a bar line (all_codes:1).
#include "formats/musicxml.h"

#include <benchmark/benchmark.h>

#include <QRegularExpression>

namespace {

Song FullSong(bool allCodes) {
    static constexpr uint8_t kCommon[] = {0xC4, 0xC6, 0xC7, 0xC2, 0xC9, 0xC5};
    static constexpr uint8_t kAll[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8,
                                       0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1};
    Song song;
    song.title = "Benchmark";
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

QByteArray NotesOnly(const QByteArray& xml) {
    static const QRegularExpression fields(QStringLiteral("<miscellaneous>.*</miscellaneous>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    return QString::fromUtf8(xml).remove(fields).toUtf8();
}

void BM_ExportMusicXml(benchmark::State& state) {
    const Song song = FullSong(state.range(0) != 0);
    size_t bytes = 0;
    for (auto _ : state) {
        const QByteArray xml = EncodeMusicXml(song, TimeSignature{});
        bytes = size_t(xml.size());
        benchmark::DoNotOptimize(xml.constData());
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_ExportMusicXml)->ArgName("all_codes")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ImportMusicXml(benchmark::State& state) {
    QByteArray xml = EncodeMusicXml(FullSong(state.range(0) != 0), TimeSignature{});
    if (state.range(1) == 0)
        xml = NotesOnly(xml);
    for (auto _ : state) {
        MusicXmlImport import;
        DecodeMusicXml(xml, import);
        benchmark::DoNotOptimize(import.song.count);
    }
}
BENCHMARK(BM_ImportMusicXml)
    ->ArgNames({"all_codes", "kept_events"})
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

void BM_ExportCompressed(benchmark::State& state) {
    const Song song = FullSong(false);
    for (auto _ : state) {
        const QByteArray packed = PackMxl(EncodeMusicXml(song, TimeSignature{}));
        benchmark::DoNotOptimize(packed.constData());
    }
}
BENCHMARK(BM_ExportCompressed)->Unit(benchmark::kMillisecond);

void BM_ImportCompressed(benchmark::State& state) {
    const QByteArray packed = PackMxl(EncodeMusicXml(FullSong(false), TimeSignature{}));
    for (auto _ : state) {
        QByteArray xml;
        UnpackMxl(packed, xml);
        MusicXmlImport import;
        DecodeMusicXml(xml, import);
        benchmark::DoNotOptimize(import.song.count);
    }
}
BENCHMARK(BM_ImportCompressed)->Unit(benchmark::kMillisecond);

} // namespace
