// MusicXML: export and import of a 999-event song (plain and compressed; the import from the
// kept events and from the notes alone, as another program's score is read): a song of the
// common lengths with triplets, rests and ties (all_codes:0), and one of every length code in
// turn, whose odd lengths split nearly every note at a bar line (all_codes:1). And hostile
// shapes whose reading must stay linear: one element of many attributes, many parts.
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

// One element of `attributes` attributes before a one-note part.
void BM_ImportManyAttributes(benchmark::State& state) {
    QByteArray xml = "<score-partwise><work";
    for (int64_t i = 0; i < state.range(0); ++i)
        xml += " a" + QByteArray::number(i) + "=''";
    xml += "/><part id='P'><measure><note><pitch><step>C</step><octave>5</octave></pitch>"
           "<duration>1</duration></note></measure></part></score-partwise>";
    for (auto _ : state) {
        MusicXmlImport import;
        DecodeMusicXml(xml, import);
        benchmark::DoNotOptimize(import.song.count);
    }
    state.counters["bytes"] = double(xml.size());
}
BENCHMARK(BM_ImportManyAttributes)
    ->ArgName("attributes")
    ->Arg(40000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond);

// `parts` one-note parts, named in the part list in the opposite order, listed for the choice.
void BM_ListManyParts(benchmark::State& state) {
    QByteArray names;
    QByteArray parts;
    for (int64_t i = 0; i < state.range(0); ++i) {
        const QByteArray id = QByteArray::number(i);
        names.prepend("<score-part id='P" + id + "'><part-name>Part " + id +
                      "</part-name></score-part>");
        parts += "<part id='P" + id +
                 "'><measure><note><pitch><step>C</step><octave>5</octave></pitch>"
                 "<duration>1</duration></note></measure></part>";
    }
    const QByteArray xml =
        "<score-partwise><part-list>" + names + "</part-list>" + parts + "</score-partwise>";
    for (auto _ : state) {
        std::vector<MusicXmlPart> listed;
        ListMusicXmlParts(xml, listed);
        benchmark::DoNotOptimize(listed.data());
    }
    state.counters["bytes"] = double(xml.size());
}
BENCHMARK(BM_ListManyParts)
    ->ArgName("parts")
    ->Arg(40000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond);

} // namespace
