// Player lateness at the device interface: send time minus due time for every message of a
// 999-event song at tempo 378, on an idle machine and with both cores kept busy by other
// processes, without and with the play position published for the view (one position per row,
// read every 20 ms by another thread as the view's watch does). Reported as counters in
// milliseconds: median, p99, max.
// And the built-in synthesizer: from the play command to the run's start on the first play,
// which loads its library and soundfont, and on later plays (needs an audio output, e.g. a
// JACK server; skipped without one).
#include "midi/mididevice.h"
#include "midi/mididevicelist.h"
#include "midi/midisetup.h"
#include "midi/sequenceplayer.h"
#include "midi/timerservice.h"
#include "settings/userfolders.h"
#include "song/musictime.h"
#include "song/song.h"

#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

/// One output device that notes when each message reaches it.
class CRecordingService final : public IMidiDeviceService {
public:
    std::vector<Clock::time_point> sendTimes;

    CRecordingService() {
        sendTimes.reserve(4096); // the device interface must not allocate while timing
        SetMidiDeviceService(this);
    }
    ~CRecordingService() override { SetMidiDeviceService(nullptr); }

    void Rescan() override {}
    int GetNumInputs() override { return 0; }
    int GetNumOutputs() override { return 1; }
    MidiResult GetInputCaps(int, MidiInCaps&) override { return kMidiErrBadDeviceId; }
    MidiResult GetOutputCaps(int, MidiOutCaps& caps) override {
        caps = MidiOutCaps{};
        return kMidiOk;
    }
    MidiResult OpenOutput(int, std::unique_ptr<IMidiOutDevice>& device) override {
        device = std::make_unique<Out>(*this);
        return kMidiOk;
    }
    MidiResult OpenInput(int, MidiInData, std::unique_ptr<IMidiInDevice>&) override {
        return kMidiErrBadDeviceId;
    }

private:
    struct Out final : IMidiOutDevice {
        explicit Out(CRecordingService& s) : service(s) {}
        MidiResult SendShort(uint32_t) override {
            service.sendTimes.push_back(Clock::now());
            return kMidiOk;
        }
        MidiResult Reset() override { return kMidiOk; }
        CRecordingService& service;
    };
};

/// 999 short notes (64th, 32nd and 16th-triplet lengths) at tempo byte 255: 378 per minute.
Song MakeSong() {
    Song song;
    song.tempo = 255;
    const uint8_t codes[] = {0xCD, 0xCC, 0xCD, 0xCB};
    for (int i = 0; i < kMaxEvents; ++i) {
        song.events[size_t(i)].code = codes[i % 4];
        song.events[size_t(i)].pitch = uint8_t(30 + i % 40);
    }
    song.count = kMaxEvents;
    ComputeStartTicks(song);
    return song;
}

/// Processes that keep every core busy while they live.
class CBusyLoad {
public:
    explicit CBusyLoad(int processes) {
        for (int i = 0; i < processes; ++i) {
            char sh[] = "sh", c[] = "-c", loop[] = "while :; do :; done";
            char* argv[] = {sh, c, loop, nullptr};
            pid_t pid = -1;
            if (posix_spawnp(&pid, "sh", nullptr, nullptr, argv, environ) == 0)
                m_pids.push_back(pid);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ~CBusyLoad() {
        for (pid_t pid : m_pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> m_pids;
};

void BM_PlayerLateness(benchmark::State& state) {
    const bool loaded = state.range(0) != 0;    // 1: every core kept busy by other processes
    const bool positions = state.range(1) != 0; // 1: the play position published and read
    const Song song = MakeSong();
    const std::vector<PlayEvent> events = BuildPerformance(song);
    CTimerService& timer = CTimerService::Instance();
    std::vector<double> lateness;

    for (auto _ : state) {
        CRecordingService service;
        std::unique_ptr<CBusyLoad> load;
        if (loaded)
            load = std::make_unique<CBusyLoad>(int(std::thread::hardware_concurrency()));
        std::atomic<CSequencePlayer*> slot{nullptr};
        auto* player = new CSequencePlayer(&slot); // owns itself once started
        if (!player->Open(0)) {
            state.SkipWithError("the recording service did not open");
            delete player;
            return;
        }
        std::atomic<int32_t> position{-1};
        int row = 0;
        for (const PlayEvent& event : events) {
            for (; positions && row < song.count &&
                   int32_t(song.events[size_t(row)].startTick) <= event.tick;
                 ++row)
                player->AddPosition(int32_t(song.events[size_t(row)].startTick), row);
            player->Add(event);
        }
        player->SetPositionSink(&position);
        player->SetTempo(unsigned(TempoFromByte(song.tempo)));
        const uint32_t msPerQuarter = player->GetMsPerQuarter();
        uint32_t start = 0;
        player->Start(start);
        int32_t shown = -1;
        while (slot.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(positions ? 20 : 10));
            benchmark::DoNotOptimize(shown = position.load(std::memory_order_relaxed));
        }

        const size_t sent = std::min(service.sendTimes.size(), events.size());
        for (size_t i = 0; i < sent; ++i) {
            const uint32_t due =
                CSequencePlayer::ComputeDueTime(start, events[i].tick, 0, msPerQuarter);
            lateness.push_back(std::chrono::duration<double, std::milli>(service.sendTimes[i] -
                                                                         timer.GetTimePoint(due))
                                   .count());
        }
    }

    std::sort(lateness.begin(), lateness.end());
    if (lateness.empty())
        return;
    auto at = [&](double q) { return lateness[size_t(q * double(lateness.size() - 1))]; };
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = lateness.back();
    state.counters["min_ms"] = lateness.front();
    state.counters["messages"] = double(lateness.size());
}

double MsSince(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

/// Play command to run start through the synthesizer: list the devices, open the player on the
/// synthesizer, fill it and start it (the first note is then due one timer period later).
bool StartOnSynth(std::atomic<CSequencePlayer*>& slot, double& ms) {
    const auto command = Clock::now();
    const CMidiDeviceList devices;
    const int position = devices.FindByName(kBuiltinSynthName, false);
    if (position < 0)
        return false;
    auto* player = new CSequencePlayer(&slot);
    if (!player->Open(devices.GetOutput(position).deviceId)) {
        delete player;
        return false;
    }
    player->Add({0, PackShortMessage(0x90, 60, 100)});
    player->Add({240, PackShortMessage(0x80, 60, 0)});
    player->SetTempo(120);
    player->Start();
    ms = MsSince(command);
    return true;
}

void BM_SynthPlayStart(benchmark::State& state) {
    std::vector<double> later;
    double first = 0;
    for (auto _ : state) {
        std::atomic<CSequencePlayer*> slot{nullptr};
        if (!StartOnSynth(slot, first)) {
            state.SkipWithError("the built-in synthesizer did not open (no soundfont or audio)");
            return;
        }
        CSequencePlayer::StopAndDelete(slot);
        for (int i = 0; i < 20; ++i) {
            double ms = 0;
            if (StartOnSynth(slot, ms))
                later.push_back(ms);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            CSequencePlayer::StopAndDelete(slot);
        }
    }
    std::sort(later.begin(), later.end());
    state.counters["first_ms"] = first;
    if (!later.empty()) {
        state.counters["later_median_ms"] = later[later.size() / 2];
        state.counters["later_max_ms"] = later.back();
    }
}

} // namespace

BENCHMARK(BM_PlayerLateness)
    ->ArgNames({"cores_busy", "positions"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
// Its first iteration must be the process's first open of the synthesizer.
BENCHMARK(BM_SynthPlayStart)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    PrepareMidiEnvironment(); // as the program starts: the synthesizer may play through JACK
    InitUserFolders();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
