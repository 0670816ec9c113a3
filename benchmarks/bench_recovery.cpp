// The automatic backup of a full song (999 events): the window's share (encoding the song),
// the writer thread's share (two files written, flushed to the disk and renamed), and a key
// press with the backup firing after every key, from the key event to the end of its paint.
#include "document/autobackup.h"
#include "document/kesdoc.h"
#include "document/recovery.h"
#include "settings/envsettings.h"
#include "song/songcodec.h"
#include "view/kesview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

void FillSong(Song& song) {
    for (int i = 0; i < kMaxEvents; ++i)
        song.events[size_t(i)] = {0, uint8_t(0xC2 + i % 7), uint8_t(40 + (i * 7) % 30)};
    song.count = kMaxEvents;
    song.title = "Benchmark";
}

void BM_BackupEncode999(benchmark::State& state) {
    Song song;
    FillSong(song);
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeSong(song));
}
BENCHMARK(BM_BackupEncode999)->Unit(benchmark::kMicrosecond);

// In the folder given by KESV_BENCH_STATE (the disk to judge), else in /tmp.
void BM_BackupWrite999(benchmark::State& state) {
    QTemporaryDir dir(qEnvironmentVariableIsSet("KESV_BENCH_STATE")
                          ? qEnvironmentVariable("KESV_BENCH_STATE") +
                                QStringLiteral("/bench-XXXXXX")
                          : QString());
    Song song;
    FillSong(song);
    const std::vector<uint8_t> bytes = EncodeSong(song);
    CRecoverySlot slot(dir.filePath(QStringLiteral("recovery")));
    for (auto _ : state) {
        if (slot.Write(bytes, QStringLiteral("/songs/a.kes"), QDateTime::currentDateTimeUtc())
                .kind != RecoveryWriteError::Kind::None)
            state.SkipWithError("the backup could not be written");
    }
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_BackupWrite999)->Unit(benchmark::kMicrosecond);

// PageUp on a pitch in the middle of the song; the backup is due at once after each key and
// is written while the next key is handled. Only the key's handling and painting are timed.
// The argument turns the backup on (1) or off (0), for the same run's comparison.
void BM_KeyToPaintWithBackup(benchmark::State& state) {
    QTemporaryDir dir;
    CKesDoc doc;
    FillSong(doc.GetSong());
    doc.OnSongChanged();
    EnvSettings settings{};
    settings.SetDefaults();
    CKesView view(&doc, &settings);
    view.resize(1280 + view.verticalScrollBar()->sizeHint().width(), 800);
    view.show();
    QCoreApplication::processEvents();
    view.UpdateScrollRange(-1);
    view.MoveCursorTo(500);
    view.SetColumn(1);
    CAutoBackup backup(&doc, dir.path());
    backup.SetIntervals(std::chrono::milliseconds(0), std::chrono::milliseconds(0));
    backup.SetEnabled(state.range(0) != 0);
    Song& song = doc.GetSong();
    const int row = view.Cursor().row;
    double longest = 0;
    for (auto _ : state) {
        if (song.events[size_t(row)].pitch >= 95)
            song.events[size_t(row)].pitch = 40;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        const auto start = std::chrono::steady_clock::now();
        QApplication::sendEvent(&view, &press);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        longest = std::max(longest, took.count());
        QCoreApplication::processEvents(); // the backup's timer: encode, hand to the writer
    }
    state.counters["longest_ms"] = longest * 1000;
}
BENCHMARK(BM_KeyToPaintWithBackup)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
