// Echo latency while recording: a JACK client of our own plays notes into the view's input
// and hears the echo at its own input port. The time from the cycle the message left in to
// the frame it came back at, on a private server at 48 kHz with 64-frame periods (1.33 ms) or
// those given by --period=N.
// Each note-on enters a pitch at the end of the song, so the view repaints after every note.
// Counters in milliseconds: median, p99, max; and the period for comparison.
#include "bench_midi_jack.h"
#include "document/kesdoc.h"
#include "midi/midiconnection.h"
#include "settings/envsettings.h"
#include "settings/userfolders.h"
#include "song/musictime.h"
#include "view/kesview.h"

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

CPrivateJackServer* g_pServer = nullptr;

void BM_RecordingEchoLatency(benchmark::State& state) {
    if (!g_pServer || !g_pServer->IsRunning()) {
        state.SkipWithError("the private JACK server did not start");
        return;
    }
    const int notes = int(state.range(0));
    const std::string client = "kesv-bench-keys";
    auto keys = std::make_unique<jackpeers::CJackKeyboard>(client);
    if (!keys->IsOpen() || !jackpeers::WaitForDevice(client + ":out", true) ||
        !jackpeers::WaitForDevice(client + ":in", false)) {
        state.SkipWithError("the keyboard client is not listed");
        return;
    }
    const double rate = keys->GetSampleRate();
    const double period = keys->GetBufferSize();

    CKesDoc doc;
    doc.OnNewDocument();
    EnvSettings settings{};
    settings.SetDefaults();
    EnvSettings::SetNameField(settings.midiInName, client + ":out");
    EnvSettings::SetNameField(settings.midiOutName, client + ":in");
    CMidiConnection connection;
    connection.SetDeviceNames(settings.InputDeviceName(), settings.OutputDeviceName());
    std::vector<double> latency;
    latency.reserve(size_t(notes) * 2);
    {
        CKesView view(&doc, &settings);
        view.resize(1280 + view.verticalScrollBar()->sizeHint().width(), 800);
        view.show();
        QCoreApplication::processEvents();
        view.OnCreate(&connection);
        if (!connection.IsOpen()) {
            state.SkipWithError("the connection did not open");
            return;
        }
        for (auto _ : state) {
            for (int i = 0; i < notes; ++i) {
                if (doc.GetSong().count >= kMaxEvents - 1) {
                    doc.GetSong().count = 0;
                    view.OnSongReplaced();
                }
                const uint8_t key = uint8_t(48 + i % 24);
                for (uint32_t message :
                     {PackShortMessage(0x90, key, 100), PackShortMessage(0x80, key, 0)}) {
                    const size_t n = keys->SentCount();
                    const size_t arrived = keys->ArrivalCount();
                    keys->Send(message);
                    // The user-interface thread sleeps in its event loop as in the program and
                    // wakes for the incoming message; a slow timer only ends the wait.
                    QEventLoop loop;
                    QTimer check;
                    int ticks = 0;
                    QObject::connect(&check, &QTimer::timeout, [&] {
                        if (keys->ArrivalCount() != arrived || ++ticks > 200)
                            loop.quit();
                    });
                    check.start(5);
                    loop.exec();
                    if (keys->ArrivalCount() == arrived || keys->SentCount() <= n)
                        continue; // lost: leaves no figure
                    const auto back = keys->GetArrival(arrived);
                    latency.push_back(double(back.frame - keys->SentFrame(n)) * 1000.0 / rate);
                    // Let the repaint of the entered note finish before the next one.
                    for (int k = 0; k < 3; ++k)
                        QCoreApplication::processEvents();
                }
            }
        }
        connection.Close();
    }
    std::sort(latency.begin(), latency.end());
    if (latency.empty())
        return;
    auto at = [&](double q) { return latency[size_t(q * double(latency.size() - 1))]; };
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = latency.back();
    state.counters["min_ms"] = latency.front();
    state.counters["period_ms"] = period * 1000.0 / rate;
    state.counters["messages"] = double(latency.size());
    state.counters["notes_entered"] = double(doc.GetSong().count);
}

BENCHMARK(BM_RecordingEchoLatency)->Arg(400)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    InitUserFolders();
    CPrivateJackServer server(TakePeriodArgument(argc, argv)); // before any JACK client here
    g_pServer = &server;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
