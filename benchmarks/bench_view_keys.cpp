// One key press that changes the song, from the key event to the end of its painting, with a
// full song in a 1280 x 800 window: PageUp on a pitch, and F5 on the end row.
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

// F5 on the end row of a song one event short of full: the event is appended, its length set
// and the cursor steps to the new end row, scrolling the list; timed up to the last paint.
void BM_LengthKeyOnEndRow(benchmark::State& state) {
    CFullSongView fixture(false);
    CKesView& view = fixture.View();
    Song& song = fixture.GetSong();
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    long paints = 0;
    long presses = 0;
    for (auto _ : state) {
        state.PauseTiming();
        song.count = kMaxEvents - 1;
        view.UpdateScrollRange(-1);
        view.MoveCursorTo(song.count);
        QCoreApplication::processEvents();
        const long before = counter.paints;
        state.ResumeTiming();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
        QApplication::sendEvent(&view, &press);
        QCoreApplication::processEvents(); // the paints the key only asked for
        paints += counter.paints - before;
        ++presses;
    }
    view.viewport()->removeEventFilter(&counter);
    if (song.count != kMaxEvents)
        state.SkipWithError("F5 did not append an event");
    state.counters["paints_per_key"] = presses ? double(paints) / double(presses) : 0.0;
}
BENCHMARK(BM_LengthKeyOnEndRow)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", [](const std::vector<double>& v) {
        return *std::min_element(v.begin(), v.end());
    });

} // namespace
