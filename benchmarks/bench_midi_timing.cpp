// Timing of a played song at a jack_midi_dump peer, side by side with jack_midiseq playing the
// same rhythm into the same dump in the same run: 80 sixteenth notes at tempo 120, one onset
// every 125 ms. On a private server at 48 kHz with 64-frame periods, or those given by
// --period=N (run it at 64, 256 and 1024). For each source, in
// milliseconds of the dump's frame clock: the onsets against an even grid fitted to them
// (median and p99 of the absolute errors, and the grid's step), and each inter-onset interval
// against 125 ms.
#include "bench_midi_jack.h"
#include "document/kesdoc.h"
#include "settings/envsettings.h"
#include "settings/userfolders.h"
#include "song/musictime.h"
#include "view/kesview.h"
#include "view/playbackcontrol.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

namespace {

CPrivateJackServer* g_pServer = nullptr;
constexpr int kNotes = 80;
constexpr double kStepMs = 125.0;

struct Errors {
    double onsetMedian, onsetP99, ioiMedian, ioiP99, stepMs;
    size_t onsets, missing;
};

double Quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[size_t(q * double(values.size() - 1))];
}

/// Onsets in milliseconds of the dump's frame clock. The dummy driver's clock runs at its own
/// rate against the system clock the player keeps time by, so the ideal grid is the straight
/// line fitted to the onsets: its step shows the tempo as the frame clock sees it, and the
/// distances from it the timing error.
Errors Measure(const std::vector<double>& onsets) {
    const size_t n = onsets.size();
    if (n < 2)
        return {NAN, NAN, NAN, NAN, NAN, n, 0};
    // Each onset's place on the grid, so that an onset the dump missed shifts nothing.
    std::vector<double> index;
    for (double t : onsets)
        index.push_back(std::round((t - onsets.front()) / kStepMs));
    double sk = 0, st = 0, skk = 0, skt = 0;
    for (size_t i = 0; i < n; ++i) {
        sk += index[i];
        st += onsets[i];
        skk += index[i] * index[i];
        skt += index[i] * onsets[i];
    }
    const double step = (double(n) * skt - sk * st) / (double(n) * skk - sk * sk);
    const double offset = (st - step * sk) / double(n);
    std::vector<double> onsetError, ioiError;
    for (size_t i = 0; i < n; ++i)
        onsetError.push_back(std::fabs(onsets[i] - (offset + step * index[i])));
    for (size_t i = 1; i < n; ++i) {
        if (index[i] == index[i - 1] + 1)
            ioiError.push_back(std::fabs(onsets[i] - onsets[i - 1] - kStepMs));
    }
    return {Quantile(onsetError, 0.5),
            Quantile(onsetError, 0.99),
            Quantile(ioiError, 0.5),
            Quantile(ioiError, 0.99),
            step,
            n,
            size_t(index.back()) + 1 - n};
}

void BM_PlayedSongTiming(benchmark::State& state) {
    if (!g_pServer || !g_pServer->IsRunning()) {
        state.SkipWithError("the private JACK server did not start");
        return;
    }
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("dump.txt")).toStdString();
    const std::string dumpName = "kesv-bench-dump", seqName = "kesv-bench-seq";
    jackpeers::CChild dump({"stdbuf", "-oL", "jack_midi_dump", "-a", dumpName}, file);
    if (!jackpeers::WaitForDevice(dumpName + ":input", false)) {
        state.SkipWithError("jack_midi_dump is not listed");
        return;
    }

    CKesDoc doc;
    doc.OnNewDocument();
    Song& song = doc.GetSong();
    for (int i = 0; i < kNotes; ++i)
        song.events[size_t(i)] = {0, 0xC9, 51}; // sixteenth C 4
    song.count = kNotes;
    song.tempo = TempoToByte(120);
    EnvSettings settings{};
    settings.SetDefaults();
    EnvSettings::SetNameField(settings.midiOutName, dumpName + ":input");
    CKesView view(&doc, &settings);

    std::vector<double> ours, theirs;
    std::atomic<int> xruns{0};
    for (auto _ : state) {
        // The sequencer's loop: 6000 frames (125 ms), a note at 0 lasting 3000 frames.
        jackpeers::CChild seq({"jack_midiseq", seqName, "6000", "0", "72", "3000"}, "/dev/null");
        jack_client_t* patch = jack_client_open("kesv-bench-patch", JackNoStartServer, nullptr);
        if (patch) {
            // Cycles the server missed shift the frame clock both sources are measured on.
            jack_set_xrun_callback(
                patch,
                [](void* count) {
                    static_cast<std::atomic<int>*>(count)->fetch_add(1);
                    return 0;
                },
                &xruns);
            jack_activate(patch);
        }
        bool connected = false;
        for (int i = 0; i < 100 && patch && !connected; ++i) {
            connected =
                jack_connect(patch, (seqName + ":out").c_str(), (dumpName + ":input").c_str()) == 0;
            if (!connected)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        view.OnMidiPlay();
        while (view.GetPlayback().IsPlaying()) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (patch)
            jack_client_close(patch);
        if (!connected) {
            state.SkipWithError("jack_midiseq could not be connected");
            return;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    uint64_t first = 0, last = 0;
    std::vector<uint64_t> ourFrames, theirFrames;
    for (const jackpeers::DumpEvent& e : jackpeers::ReadDump(file)) {
        if (e.message == PackShortMessage(0x90, 60, 127))
            ourFrames.push_back(e.frame);
    }
    if (ourFrames.size() < 2) {
        state.SkipWithError("the song did not reach the dump");
        return;
    }
    first = ourFrames.front();
    last = ourFrames.back();
    for (const jackpeers::DumpEvent& e : jackpeers::ReadDump(file)) {
        if ((e.message & 0xFFFF) == 0x4890 && e.frame >= first && e.frame <= last)
            theirFrames.push_back(e.frame);
    }
    for (uint64_t f : ourFrames)
        ours.push_back(double(f - first) / 48.0);
    for (uint64_t f : theirFrames)
        theirs.push_back(double(f - first) / 48.0);

    const Errors a = Measure(ours), b = Measure(theirs);
    state.counters["kesv_onset_med_ms"] = a.onsetMedian;
    state.counters["kesv_onset_p99_ms"] = a.onsetP99;
    state.counters["kesv_ioi_med_ms"] = a.ioiMedian;
    state.counters["kesv_ioi_p99_ms"] = a.ioiP99;
    state.counters["kesv_step_ms"] = a.stepMs;
    state.counters["kesv_onsets"] = double(a.onsets);
    state.counters["kesv_missing"] = double(a.missing);
    state.counters["seq_onset_med_ms"] = b.onsetMedian;
    state.counters["seq_onset_p99_ms"] = b.onsetP99;
    state.counters["seq_ioi_med_ms"] = b.ioiMedian;
    state.counters["seq_ioi_p99_ms"] = b.ioiP99;
    state.counters["seq_step_ms"] = b.stepMs;
    state.counters["seq_onsets"] = double(b.onsets);
    state.counters["seq_missing"] = double(b.missing);
    state.counters["xruns"] = double(xruns.load());
}

BENCHMARK(BM_PlayedSongTiming)->Iterations(1)->Unit(benchmark::kMillisecond);

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
