// Undo and redo in the real frame with a full song of 999 events in a 1280 x 800 view:
// Ctrl+Z then Ctrl+Y of one step (two key presses an iteration), from the key press through the
// frame's accelerator to the end of the synchronous repaint; and the memory that 1,000 undo steps
// hold.
#include "app/mainframe.h"
#include "document/kesdoc.h"
#include "settings/envsettings.h"
#include "view/kesview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

class CUndoFixture {
public:
    CUndoFixture() {
        Song& song = m_doc.GetSong();
        for (int i = 0; i < kMaxEvents; ++i)
            song.events[size_t(i)] = {0, uint8_t(0xC4 + i % 3), uint8_t(40 + (i * 7) % 30)};
        song.count = kMaxEvents;
        m_doc.OnSongChanged();
        m_doc.SetModifiedFlag(false);
        m_settings.SetDefaults();
        m_frame = std::make_unique<CMainFrame>(&m_doc, m_settings);
        m_pView = new CKesView(&m_doc, &m_settings, m_frame.get());
        m_frame->SetView(m_pView);
        m_frame->show();
        (void)QTest::qWaitForWindowActive(m_frame.get());
        // The frame grows by what the view's client area lacks of 1280 x 800.
        for (int i = 0; i < 3 && m_pView->viewport()->size() != QSize(1280, 800); ++i) {
            m_frame->resize(m_frame->size() + (QSize(1280, 800) - m_pView->viewport()->size()));
            QCoreApplication::processEvents();
        }
        m_pView->MoveCursorTo(500);
        m_pView->SetColumn(1);
    }
    CKesView& View() { return *m_pView; }
    CKesDoc& Doc() { return m_doc; }

private:
    CKesDoc m_doc;
    EnvSettings m_settings{};
    std::unique_ptr<CMainFrame> m_frame;
    CKesView* m_pView;
};

class PaintCounter : public QObject {
public:
    long paints = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

void BM_UndoRedoOneStep(benchmark::State& state) {
    CUndoFixture fixture;
    CKesView& view = fixture.View();
    QTest::keyClick(&view, Qt::Key_PageUp); // the step to undo and redo
    const Song before = fixture.Doc().GetSong();
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    long presses = 0;
    for (auto _ : state) {
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_Y, Qt::ControlModifier);
        presses += 2;
    }
    view.viewport()->removeEventFilter(&counter);
    if (counter.paints < presses || fixture.Doc().GetSong() != before)
        state.SkipWithError("a key did not undo or redo with a repaint");
    state.counters["width"] = view.viewport()->width();
    state.counters["height"] = view.viewport()->height();
}
BENCHMARK(BM_UndoRedoOneStep)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// 1,000 steps of all event kinds (+1, -1, Insert, Delete) on the full song.
void BM_MemoryOfThousandSteps(benchmark::State& state) {
    CUndoFixture fixture;
    CKesView& view = fixture.View();
    QUndoStack* stack = fixture.Doc().GetUndoStack();
    const int keys[4] = {Qt::Key_Delete, Qt::Key_Insert, Qt::Key_PageUp, Qt::Key_PageDown};
    size_t bytes = 0;
    for (auto _ : state) {
        stack->clear();
        const size_t start = mallinfo2().uordblks;
        for (int i = 0; i < 1000; ++i) {
            QKeyEvent press(QEvent::KeyPress, keys[i % 4], Qt::NoModifier);
            QApplication::sendEvent(&view, &press);
        }
        bytes = mallinfo2().uordblks - start;
        if (stack->count() != 1000)
            state.SkipWithError("not one step per key");
    }
    state.counters["steps_kB"] = double(bytes) / 1024.0;
    state.counters["bytes_per_step"] = double(bytes) / 1000.0;
}
BENCHMARK(BM_MemoryOfThousandSteps)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
