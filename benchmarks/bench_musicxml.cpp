// MusicXML: export of a 999-event song with every length code (tuplets, ties over bar lines,
// rests) and its import, from the kept events and from the notes alone as another program's
// score is read; plain and compressed.
#include "song/musicxml.h"

#include <benchmark/benchmark.h>

#include <QRegularExpression>

namespace {

Song FullSong() {
    static constexpr uint8_t kCodes[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8,
                                         0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1};
    Song song;
    song.title = "Benchmark";
    for (int i = 0; i < kMaxEvents; ++i) {
        song.events[size_t(i)].code = kCodes[(i * 7) % std::size(kCodes)];
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
    const Song song = FullSong();
    size_t bytes = 0;
    for (auto _ : state) {
        const QByteArray xml = EncodeMusicXml(song, TimeSignature{});
        bytes = size_t(xml.size());
        benchmark::DoNotOptimize(xml.constData());
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_ExportMusicXml)->Unit(benchmark::kMillisecond);

void BM_ImportMusicXml(benchmark::State& state) {
    QByteArray xml = EncodeMusicXml(FullSong(), TimeSignature{});
    if (state.range(0) == 0)
        xml = NotesOnly(xml);
    for (auto _ : state) {
        MusicXmlImport import;
        DecodeMusicXml(xml, import);
        benchmark::DoNotOptimize(import.song.count);
    }
}
BENCHMARK(BM_ImportMusicXml)->ArgName("kept_events")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_ExportCompressed(benchmark::State& state) {
    const Song song = FullSong();
    for (auto _ : state) {
        const QByteArray packed = PackMxl(EncodeMusicXml(song, TimeSignature{}));
        benchmark::DoNotOptimize(packed.constData());
    }
}
BENCHMARK(BM_ExportCompressed)->Unit(benchmark::kMillisecond);

void BM_ImportCompressed(benchmark::State& state) {
    const QByteArray packed = PackMxl(EncodeMusicXml(FullSong(), TimeSignature{}));
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
