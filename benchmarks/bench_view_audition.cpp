// Sounding entered notes and playing from a row, on a device of the tests' fake service that
// notes the moment each message is handed to it: the time from the key press that applies a
// typed note name to its note-on (median and p99, in microseconds), with a full song in a
// 1280 x 800 window; and the start of a run from row 0 and from row 998 of a 999-event song.
#include "document/kesdoc.h"
#include "fakemidiservice.h"
#include "midi/mididevicelist.h"
#include "settings/envsettings.h"
#include "song/musictime.h"
#include "view/kesview.h"
#include "view/playbackcontrol.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const char* const kDeviceName = "Bench Out";

void FillSong(Song& song) {
    const uint8_t codes[] = {0xC4, 0xC6, 0xC6, 0xC4, 0xC2, 0xC9, 0xC9, 0xC5, 0xC6};
    for (int i = 0; i < kMaxEvents; ++i)
        song.events[size_t(i)] = {0, codes[i % 9], uint8_t(i % 13 == 12 ? kPitchTie : 40 + i % 30)};
    song.count = kMaxEvents;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

void SendKey(QWidget& widget, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(&widget, &release);
}

// "E4" typed into the note-name column of row 500, then Enter: timed from just before the
// Enter press is delivered to the note-on reaching the device. The benchmark's own time is
// the whole Enter press, the synchronous repaint included.
void BM_AuditionKeyToNoteOn(benchmark::State& state) {
    CFakeMidiService service;
    service.outputs.push_back({kDeviceName});
    Clock::time_point noteOn{};
    service.onSend = [&](int, uint32_t message) {
        if ((message & 0xF0) == 0x90)
            noteOn = Clock::now();
        return kMidiOk;
    };
    CKesDoc doc;
    FillSong(doc.GetSong());
    doc.OnSongChanged();
    EnvSettings settings{};
    settings.SetDefaults();
    EnvSettings::SetNameField(settings.midiOutName, kDeviceName);
    CKesView view(&doc, &settings);
    view.resize(1280 + view.verticalScrollBar()->sizeHint().width(), 800);
    view.show();
    QCoreApplication::processEvents();
    view.UpdateScrollRange(-1);
    view.MoveCursorTo(500);
    view.SetColumn(2);

    std::vector<double> latencies;
    for (auto _ : state) {
        state.PauseTiming();
        SendKey(view, Qt::Key_E, QStringLiteral("E"));
        SendKey(view, Qt::Key_4, QStringLiteral("4"));
        noteOn = {};
        state.ResumeTiming();
        const Clock::time_point pressed = Clock::now();
        SendKey(view, Qt::Key_Return, QStringLiteral("\r"));
        if (noteOn == Clock::time_point{}) {
            state.SkipWithError("no note-on reached the device");
            return;
        }
        latencies.push_back(std::chrono::duration<double, std::micro>(noteOn - pressed).count());
    }
    state.counters["median_us"] = Percentile(latencies, 0.5);
    state.counters["p99_us"] = Percentile(latencies, 0.99);
    state.counters["max_us"] = Percentile(latencies, 1.0);
}
BENCHMARK(BM_AuditionKeyToNoteOn)->Unit(benchmark::kMillisecond)->Iterations(2000);

// The first entered note opens the output device (for the built-in synthesizer: loads FluidSynth
// and the soundfont): the whole Enter press of the first note and of the second one, once per
// process (run it alone with --benchmark_filter=AuditionFirst for a fresh start). The device is
// the one named by KESV_BENCH_OUTPUT (e.g. a JACK peer's "client:port"), else the synthesizer,
// whose audio goes where the program's would (JACK_DEFAULT_SERVER's server, else PipeWire,
// PulseAudio or ALSA).
void BM_AuditionFirstOnDevice(benchmark::State& state) {
    const QByteArray named = qgetenv("KESV_BENCH_OUTPUT");
    const std::string device = named.isEmpty() ? kBuiltinSynthName : named.toStdString();
    if (CMidiDeviceList().FindByName(device.c_str(), false) < 0) {
        state.SkipWithError("the output device is not listed");
        return;
    }
    CKesDoc doc;
    FillSong(doc.GetSong());
    doc.OnSongChanged();
    EnvSettings settings{};
    settings.SetDefaults();
    EnvSettings::SetNameField(settings.midiOutName, device);
    CKesView view(&doc, &settings);
    view.show();
    QCoreApplication::processEvents();
    view.UpdateScrollRange(-1);
    view.MoveCursorTo(500);
    view.SetColumn(2);
    double pressMs[2] = {};
    for (auto _ : state) {
        for (double& ms : pressMs) {
            SendKey(view, Qt::Key_E, QStringLiteral("E"));
            const Clock::time_point pressed = Clock::now();
            SendKey(view, Qt::Key_Return, QStringLiteral("\r"));
            ms = std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
        }
    }
    state.counters["first_ms"] = pressMs[0];
    state.counters["second_ms"] = pressMs[1];
}
BENCHMARK(BM_AuditionFirstOnDevice)->Unit(benchmark::kMillisecond)->Iterations(1);

// CPlaybackControl::Play from a row to the end of a full song, up to the started run: the
// device is found and opened, the performance built and the player filled and started. The
// run is stopped outside the timing.
void BM_PlayFromRow(benchmark::State& state) {
    CFakeMidiService service;
    service.outputs.push_back({kDeviceName});
    Song song;
    FillSong(song);
    ComputeStartTicks(song);
    const int row = int(state.range(0));
    CPlaybackControl playback;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const bool played = playback.Play(song, kDeviceName, row, -1);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        playback.Stop();
        if (!played) {
            state.SkipWithError("the fake device did not open");
            return;
        }
        service.ClearOps();
    }
}
BENCHMARK(BM_PlayFromRow)->Arg(0)->Arg(998)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
