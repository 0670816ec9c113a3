// The built-in synthesizer on a private JACK server (48 kHz, 64-frame periods or --period=N):
// - the first play of a fresh process: from the play request (a new device list, the player's
//   open and start, as ▶ does) to the first nonzero frame the synthesizer's JACK ports carry to
//   a meter client; then the same once the synthesizer has let its audio go while idle;
// - the processor time of an idle process after one note (clock ticks in 10 s, from
//   /proc/self/stat), with the idle release and with it put off.
// Each figure comes from a process of its own (this program run again with --child=...), since
// the synthesizer is loaded only once in a process.
#include "bench_midi_jack.h"
#include "midi/mididevicelist.h"
#include "midi/midinames.h"
#include "midi/midisetup.h"
#include "midi/sequenceplayer.h"
#include "settings/userfolders.h"
#include "song/musictime.h"

#include <benchmark/benchmark.h>
#include <jack/jack.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

CPrivateJackServer* g_pServer = nullptr;
std::string g_strSelf;

/// A JACK client with two audio inputs that it connects to the synthesizer's ports whenever
/// they appear, noting the moment the first nonzero frame reaches it.
class CMeter {
public:
    CMeter() {
        m_pClient = jack_client_open("kesv-bench-meter", JackNoStartServer, nullptr);
        if (!m_pClient)
            return;
        for (int i = 0; i < 2; ++i)
            m_ports[i] = jack_port_register(m_pClient, i ? "in_r" : "in_l", JACK_DEFAULT_AUDIO_TYPE,
                                            JackPortIsInput, 0);
        jack_set_process_callback(m_pClient, &CMeter::Process, this);
        jack_activate(m_pClient);
        m_connector = std::thread([this] {
            while (!m_bQuit.load()) {
                Connect();
                std::this_thread::sleep_for(200us);
            }
        });
    }
    ~CMeter() {
        m_bQuit.store(true);
        if (m_connector.joinable())
            m_connector.join();
        if (m_pClient)
            jack_client_close(m_pClient);
    }
    bool IsOpen() const { return m_pClient != nullptr; }
    /// Waits until the synthesizer's JACK client has gone (its idle release).
    bool WaitForSynthGone(std::chrono::milliseconds timeout) const {
        for (const auto end = Clock::now() + timeout; Clock::now() < end;) {
            const char** ports = jack_get_ports(m_pClient, "^KesV Synth:", nullptr, 0);
            jack_free(ports);
            if (!ports)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    /// Forget what was heard; the next nonzero frame is noted again.
    void Arm() { m_heard.store(0); }
    /// The moment the first nonzero frame arrived since Arm, or none within the timeout.
    bool WaitForSound(Clock::time_point& at, std::chrono::milliseconds timeout) const {
        const auto end = Clock::now() + timeout;
        while (m_heard.load() == 0 && Clock::now() < end)
            std::this_thread::sleep_for(100us);
        const Clock::rep heard = m_heard.load();
        at = Clock::time_point(Clock::duration(heard));
        return heard != 0;
    }

private:
    static int Process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<CMeter*>(arg);
        if (self->m_heard.load(std::memory_order_relaxed) != 0)
            return 0;
        for (jack_port_t* port : self->m_ports) {
            const auto* samples = static_cast<const float*>(jack_port_get_buffer(port, frames));
            for (jack_nframes_t i = 0; i < frames; ++i) {
                if (std::fabs(samples[i]) > 1e-6f) {
                    self->m_heard.store(Clock::now().time_since_epoch().count());
                    return 0;
                }
            }
        }
        return 0;
    }
    void Connect() {
        const char** ports =
            jack_get_ports(m_pClient, "^KesV Synth:", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        for (int i = 0; ports && ports[i] && i < 2; ++i) {
            if (!jack_port_connected_to(m_ports[i], ports[i]))
                jack_connect(m_pClient, ports[i], jack_port_name(m_ports[i]));
        }
        jack_free(ports);
    }

    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_ports[2] = {};
    std::atomic<Clock::rep> m_heard{0};
    std::atomic<bool> m_bQuit{false};
    std::thread m_connector;
};

/// What ▶ does for a song of one note on the built-in synthesizer (the note is due at once);
/// opened: when the player's device was open.
bool PlayOneNote(std::atomic<CSequencePlayer*>& slot, Clock::time_point* opened = nullptr) {
    CMidiDeviceList list;
    const int position = list.FindByName(kBuiltinSynthName, false);
    if (position < 0)
        return false;
    auto* player = new CSequencePlayer(&slot);
    if (player->Open(list.GetOutput(position).deviceId) != kMidiOk) {
        delete player;
        return false;
    }
    if (opened)
        *opened = Clock::now();
    player->Add({0, PackShortMessage(0x90, 60, 100)});
    player->Add({240, PackShortMessage(0x80, 60, 0)});
    player->SetTempo(120);
    return player->Start();
}

void WaitForEnd(std::atomic<CSequencePlayer*>& slot) {
    for (int i = 0; i < 5000 && slot.load(); ++i)
        std::this_thread::sleep_for(1ms);
}

long OwnTicks() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int n = 3; fields >> field; ++n) {
        if (n == 14)
            utime = std::stol(field);
        if (n == 15) {
            stime = std::stol(field);
            break;
        }
    }
    return utime + stime;
}

/// --child=sound: prints the ms from the play request to the device's open and to the first
/// sound, first in a fresh process and then after the idle release (--idle-ms is short for
/// it).
int ChildSound() {
    CMeter meter;
    if (!meter.IsOpen())
        return 1;
    std::atomic<CSequencePlayer*> slot{nullptr};
    for (int run = 0; run < 2; ++run) {
        meter.Arm();
        const auto request = Clock::now();
        Clock::time_point opened;
        if (!PlayOneNote(slot, &opened))
            return 1;
        Clock::time_point heard;
        if (!meter.WaitForSound(heard, 5s))
            return 1;
        using Ms = std::chrono::duration<double, std::milli>;
        std::printf("%.3f %.3f\n", Ms(opened - request).count(), Ms(heard - request).count());
        WaitForEnd(slot);
        if (!meter.WaitForSynthGone(10s))
            return 1;
    }
    return 0;
}

/// --child=idle: one note (--child=list: only the device list, the program's own JACK client
/// open), then the ticks of 10 idle seconds once the release time has passed.
int ChildIdle(bool play) {
    std::atomic<CSequencePlayer*> slot{nullptr};
    if (!play) {
        CMidiDeviceList list;
    } else if (!PlayOneNote(slot)) {
        return 1;
    }
    WaitForEnd(slot);
    std::this_thread::sleep_for(12s);
    const long before = OwnTicks();
    std::this_thread::sleep_for(10s);
    std::printf("%ld\n", OwnTicks() - before);
    return 0;
}

std::vector<double> RunChild(const std::string& mode, const std::string& idleMs) {
    const std::string command =
        "'" + g_strSelf + "' --child=" + mode + " --idle-ms=" + idleMs + " 2>/dev/null";
    std::vector<double> values;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        double value = 0;
        while (std::fscanf(pipe, "%lf", &value) == 1)
            values.push_back(value);
        if (pclose(pipe) != 0)
            values.clear();
    }
    return values;
}

void BM_SynthFirstSound(benchmark::State& state) {
    if (!g_pServer || !g_pServer->IsRunning()) {
        state.SkipWithError("the private JACK server did not start");
        return;
    }
    // The open and the sound of the first run, then of the run after the release.
    std::vector<double> figures[4];
    for (auto _ : state) {
        const std::vector<double> values = RunChild("sound", "500");
        if (values.size() != 4) {
            state.SkipWithError("the synthesizer made no sound at the meter");
            return;
        }
        for (size_t i = 0; i < 4; ++i)
            figures[i].push_back(values[i]);
    }
    const char* names[4] = {"first_open_ms", "first_ms", "after_release_open_ms",
                            "after_release_ms"};
    for (size_t i = 0; i < 4; ++i) {
        std::sort(figures[i].begin(), figures[i].end());
        state.counters[names[i]] = figures[i][figures[i].size() / 2];
    }
}
BENCHMARK(BM_SynthFirstSound)->Iterations(5)->Unit(benchmark::kMillisecond);

// Argument 1: the idle release as the program has it; 0: put off past the measurement; 2: no
// note at all, only the device list (what the program's own JACK client costs).
void BM_SynthIdleTicks(benchmark::State& state) {
    if (!g_pServer || !g_pServer->IsRunning()) {
        state.SkipWithError("the private JACK server did not start");
        return;
    }
    for (auto _ : state) {
        const std::vector<double> values = RunChild(state.range(0) == 2 ? "list" : "idle",
                                                    state.range(0) == 0 ? "100000000" : "10000");
        if (values.size() != 1) {
            state.SkipWithError("the synthesizer did not play");
            return;
        }
        state.counters["ticks_per_10s"] = values[0];
    }
}
BENCHMARK(BM_SynthIdleTicks)->Arg(1)->Arg(0)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    InitUserFolders();
    // As the program starts: JACK for the synthesizer, never a server started by a library.
    PrepareMidiEnvironment();
    std::string child;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--child=", 0) == 0)
            child = arg.substr(8);
        else if (arg.rfind("--idle-ms=", 0) == 0)
            SetSynthIdleRelease(std::chrono::milliseconds(std::stoll(arg.substr(10))));
    }
    if (child == "sound")
        return ChildSound();
    if (child == "idle" || child == "list")
        return ChildIdle(child == "idle");
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    g_strSelf.assign(self, length > 0 ? size_t(length) : 0);
    CPrivateJackServer server(TakePeriodArgument(argc, argv)); // the children's too
    g_pServer = &server;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
