// Painting the whole client area (1280 x 800) of the score view with a full song of 999
// events and the cursor in the middle, as every edit does.
#include "app/kesdoc.h"
#include "settings/envsettings.h"
#include "view/kesview.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <benchmark/benchmark.h>

namespace {

void FillSong(Song& song) {
    const uint8_t codes[] = {0xC4, 0xC6, 0xC6, 0xC4, 0xC2, 0xC9, 0xC9, 0xC5, 0xC6};
    for (int i = 0; i < kMaxEvents; ++i) {
        SongEvent& e = song.events[size_t(i)];
        e.code = codes[i % 9];
        e.pitch = i % 11 == 10 ? kPitchRest : i % 13 == 12 ? kPitchTie : uint8_t(40 + (i * 7) % 30);
    }
    song.count = kMaxEvents;
    song.title = "Benchmark";
}

void BM_PaintClientArea(benchmark::State& state, QImage::Format format) {
    CKesDoc doc;
    FillSong(doc.GetSong());
    EnvSettings settings{};
    settings.SetDefaults();
    CKesView view(&doc, &settings);
    view.resize(1280 + view.verticalScrollBar()->sizeHint().width(), 800);
    view.show();
    QCoreApplication::processEvents();
    view.UpdateScrollRange(-1);
    view.MoveCursorTo(500);
    QImage image(1280, 800, format);
    const QRect client(0, 0, 1280, 800);
    for (auto _ : state) {
        QPainter painter(&image);
        view.OnDraw(painter, client);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["rows"] = view.GetPageSize();
}

BENCHMARK_CAPTURE(BM_PaintClientArea, rgb32, QImage::Format_RGB32)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PaintClientArea, argb32_premultiplied, QImage::Format_ARGB32_Premultiplied)
    ->Unit(benchmark::kMicrosecond);

// The same through the widget: paint event into the window's backing store.
void BM_RepaintViewport(benchmark::State& state) {
    CKesDoc doc;
    FillSong(doc.GetSong());
    EnvSettings settings{};
    settings.SetDefaults();
    CKesView view(&doc, &settings);
    view.resize(1280 + view.verticalScrollBar()->sizeHint().width(), 800);
    view.show();
    QCoreApplication::processEvents();
    view.UpdateScrollRange(-1);
    view.MoveCursorTo(500);
    for (auto _ : state)
        view.RedrawAll();
    state.counters["width"] = view.viewport()->width();
}
BENCHMARK(BM_RepaintViewport)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
