// One key press that changes the song, from the key event to the end of the synchronous
// repaint of the whole view: PageUp on a pitch with 999 events in a 1280 x 800 window.
#include "fullsongview.h"

#include <QApplication>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

// Counts the paint events of the viewport and the pixels they cover.
class PaintCounter : public QObject {
public:
    long paints = 0;
    long long pixels = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            const QRect r = static_cast<QPaintEvent*>(event)->rect();
            pixels += static_cast<long long>(r.width()) * r.height();
        }
        return QObject::eventFilter(watched, event);
    }
};

void BM_PageUpOnPitch(benchmark::State& state) {
    CFullSongView fixture(false);
    CKesView& view = fixture.View();
    view.SetColumn(1); // the pitch column
    QCoreApplication::processEvents();

    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    Song& song = fixture.GetSong();
    const int row = view.Cursor().row;
    long presses = 0;
    for (auto _ : state) {
        // PageUp steps the pitch up; once at the top the pitch goes back so that each press
        // really changes the song.
        if (song.events[size_t(row)].pitch >= 95)
            song.events[size_t(row)].pitch = 40;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        QApplication::sendEvent(&view, &press);
        ++presses;
    }
    view.viewport()->removeEventFilter(&counter);
    const QSize size = view.viewport()->size();
    // Every press must have painted the whole client area before returning.
    if (counter.paints < presses ||
        counter.pixels < static_cast<long long>(size.width()) * size.height() * presses) {
        state.SkipWithError("a key press did not repaint the whole view");
    }
    state.counters["width"] = size.width();
    state.counters["height"] = size.height();
    state.counters["paints_per_key"] = presses ? double(counter.paints) / double(presses) : 0.0;
}
BENCHMARK(BM_PageUpOnPitch)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min",
                        [](const std::vector<double>& v) {
                            return *std::min_element(v.begin(), v.end());
                        })
    ->ComputeStatistics("max", [](const std::vector<double>& v) {
        return *std::max_element(v.begin(), v.end());
    });

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
