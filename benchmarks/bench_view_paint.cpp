// Painting the whole client area (1280 x 800) of the score view with a full song of 999
// events and the cursor in the middle, as every edit does.
#include "fullsongview.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

void BM_PaintClientArea(benchmark::State& state, QImage::Format format) {
    CFullSongView fixture(true);
    CKesView& view = fixture.View();
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
    CFullSongView fixture(true);
    CKesView& view = fixture.View();
    for (auto _ : state)
        view.RedrawAll();
    state.counters["width"] = view.viewport()->width();
}
BENCHMARK(BM_RepaintViewport)->Unit(benchmark::kMicrosecond);

} // namespace
