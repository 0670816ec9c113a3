// Painting the whole client area (1280 x 800) of the score view with a full song of 999
// events and the cursor in the middle, as every edit does; and the staff panel alone at
// device pixel ratios 1 and 2.
#include "fullsongview.h"
#include "view/staffpainter.h"

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

// The staff panel (800 x 180 logical pixels) of the cursor's bar, into an image of the given
// device pixel ratio as a window's backing store on such a screen is.
void BM_PaintStaff(benchmark::State& state, qreal ratio) {
    CFullSongView fixture(true);
    const CStaffPainter staff;
    const PixelRect area{0, 0, 800, kStaffPanelHeight};
    QImage image(int(800 * ratio), int(kStaffPanelHeight * ratio),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    EnvSettings settings{};
    settings.SetDefaults();
    const int row = fixture.View().Cursor().row;
    for (auto _ : state) {
        QPainter painter(&image);
        staff.Draw(painter, fixture.View().palette(), fixture.GetSong(), settings, row, area);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK_CAPTURE(BM_PaintStaff, dpr1, 1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PaintStaff, dpr2, 2.0)->Unit(benchmark::kMicrosecond);

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
