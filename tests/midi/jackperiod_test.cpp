// A played song at the frames of a JACK peer, on private servers with short and long periods:
// each run starts a server of its own (dummy driver, 48 kHz) under this process's name.
#include "jackpeers.h"
#include "midi/backends/frametimeline.h"
#include "midi/midiconnection.h"
#include "midi/mididevice.h"
#include "midi/mididevicelist.h"
#include "midi/sequenceplayer.h"
#include "privateserverfixture.h"
#include "receiver.h"
#include "song/musictime.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using jackpeers::CChild;

namespace {

constexpr int kNotes = 40;
constexpr int kStepTicks = 120; // 60 ms at 480 ticks of 0.5 ms
constexpr double kFramesPerMs = 48.0;

/// The onsets' distances in ms from the straight line fitted to them on the server's frame
/// clock, as the timing benchmark measures them.
std::vector<double> GridErrors(const std::vector<uint64_t>& frames) {
    const double n = double(frames.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const double x = double(i), y = double(frames[i] - frames.front()) / kFramesPerMs;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double step = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double offset = (sy - step * sx) / n;
    std::vector<double> errors;
    for (size_t i = 0; i < frames.size(); ++i) {
        const double y = double(frames[i] - frames.front()) / kFramesPerMs;
        errors.push_back(std::fabs(y - (offset + step * double(i))));
    }
    return errors;
}

/// The default device service, with every output opened through it noting how late the
/// messages of a run are handed over (the moment of the call after the message's due time).
/// Only a message handed over later than the frame timeline's margin may land off its frame.
class CHandOverWatch final : public IMidiDeviceService {
public:
    CHandOverWatch() : m_real(GetMidiDeviceService()) {}
    /// The latest hand-over so far, in ms after the due time.
    double LatestMs() const { return double(m_pLatestNs->load()) / 1e6; }

    void Rescan() override { m_real.Rescan(); }
    int GetNumInputs() override { return m_real.GetNumInputs(); }
    int GetNumOutputs() override { return m_real.GetNumOutputs(); }
    MidiResult GetInputCaps(int id, MidiInCaps& caps) override {
        return m_real.GetInputCaps(id, caps);
    }
    MidiResult GetOutputCaps(int id, MidiOutCaps& caps) override {
        return m_real.GetOutputCaps(id, caps);
    }
    MidiResult OpenOutput(int id, std::unique_ptr<IMidiOutDevice>& device) override {
        std::unique_ptr<IMidiOutDevice> real;
        const MidiResult result = m_real.OpenOutput(id, real);
        if (result == kMidiOk)
            device = std::make_unique<CWatched>(std::move(real), m_pLatestNs);
        return result;
    }
    MidiResult OpenInput(int id, MidiInData data, std::unique_ptr<IMidiInDevice>& device) override {
        return m_real.OpenInput(id, std::move(data), device);
    }

private:
    class CWatched final : public IMidiOutDevice {
    public:
        CWatched(std::unique_ptr<IMidiOutDevice> real, std::shared_ptr<std::atomic<int64_t>> latest)
            : m_pReal(std::move(real)), m_pLatest(std::move(latest)) {}
        MidiResult SendShort(uint32_t message) override { return m_pReal->SendShort(message); }
        MidiResult SendShortAt(uint32_t message,
                               std::chrono::steady_clock::time_point due) override {
            const MidiResult result = m_pReal->SendShortAt(message, due);
            // Taken once the device has stamped it: no later than the device's own reckoning.
            const int64_t late = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now() - due)
                                     .count();
            for (int64_t seen = m_pLatest->load();
                 late > seen && !m_pLatest->compare_exchange_weak(seen, late);) {
            }
            return result;
        }
        MidiResult Reset() override { return m_pReal->Reset(); }
        void SetLiveEcho(bool liveEcho) override { m_pReal->SetLiveEcho(liveEcho); }

    private:
        std::unique_ptr<IMidiOutDevice> m_pReal;
        std::shared_ptr<std::atomic<int64_t>> m_pLatest; // the player may outlive a failed test
    };

    IMidiDeviceService& m_real;
    std::shared_ptr<std::atomic<int64_t>> m_pLatestNs = std::make_shared<std::atomic<int64_t>>(0);
};

/// Our ports as jack_lsp lists them.
std::set<std::string> OwnPortsListed(const std::string& file) {
    CChild lsp({"jack_lsp"}, file);
    lsp.Wait(5s);
    std::set<std::string> ports;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("KesV", 0) == 0)
            ports.insert(line);
    }
    return ports;
}

/// The server's period at the start, and the one it changes to halfway (0: none).
struct Periods {
    int first;
    int later;
};

void PrintTo(const Periods& periods, std::ostream* out) {
    *out << periods.first;
    if (periods.later != 0)
        *out << "_then_" << periods.later;
}

class JackPeriodTest : public CPrivateServerFixture<::testing::TestWithParam<Periods>> {
protected:
    JackPeriodTest() : CPrivateServerFixture(GetParam().first) {}
};

} // namespace

TEST_P(JackPeriodTest, SongLandsOnItsFramesInOrderWhileOtherPortsOpenAndClose) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    const std::string dumpClient = "kesv-dump-" + m_strTag, keysClient = "kesv-keys-" + m_strTag;
    const std::string dumpFile = File("dump-period");
    CChild dump({"stdbuf", "-oL", "jack_midi_dump", "-a", dumpClient}, dumpFile);
    jackpeers::CJackKeyboard keys(keysClient);
    jackpeers::CXrunCounter xruns("kesv-xruns-" + m_strTag);
    ASSERT_TRUE(keys.IsOpen());
    ASSERT_TRUE(jackpeers::WaitForDevice(dumpClient + ":input", false));
    ASSERT_TRUE(jackpeers::WaitForDevice(keysClient + ":out", true));
    CMidiDeviceList list;
    const int out = list.FindByName((dumpClient + ":input").c_str(), false);
    ASSERT_GE(out, 0);

    std::vector<uint32_t> song;
    std::atomic<CSequencePlayer*> slot{nullptr};
    auto* player = new CSequencePlayer(&slot);
    // Only the player's device is watched: the recording's devices pair up inside JACK.
    CHandOverWatch watch;
    SetMidiDeviceService(&watch);
    const MidiStatus opened = player->Open(list.GetOutput(out).deviceId);
    SetMidiDeviceService(nullptr);
    ASSERT_EQ(opened, kMidiOk);
    for (int i = 0; i < kNotes; ++i) {
        const uint8_t key = uint8_t(48 + i % 36), velocity = uint8_t(20 + i);
        song.push_back(PackShortMessage(0x90, key, velocity));
        song.push_back(PackShortMessage(0x80, key, 0));
        player->Add({i * kStepTicks, song[song.size() - 2]});
        player->Add({i * kStepTicks + kStepTicks / 2, song.back()});
    }
    player->SetTempo(250); // 240 ms a quarter of 480 ticks
    ASSERT_TRUE(player->Start());

    // Recording opens an input and an echo output beside the playing port, and closes them.
    std::this_thread::sleep_for(300ms);
    CTestReceiver receiver;
    CMidiConnection connection;
    connection.SetDeviceNames(keysClient + ":out", keysClient + ":in");
    connection.SetReceiver(receiver.Receiver());
    ASSERT_EQ(connection.Open(), kMidiOk);
    const std::set<std::string> listed = OwnPortsListed(File("lsp"));
    EXPECT_EQ(listed, (std::set<std::string>{"KesV:out", "KesV:in", "KesV:out-2"}))
        << "the program's ports are not under one client";
    // What the keyboard plays comes back at once from the echo output (inside JACK's cycle,
    // so the view's echo adds nothing).
    ASSERT_TRUE(keys.Send(PackShortMessage(0x90, 100, 1)));
    EXPECT_TRUE(keys.WaitForArrivals(1, 2s)) << "the echo output sends nothing";
    connection.SendShort(PackShortMessage(0x90, 100, 1));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(keys.ArrivalCount(), 1u) << "a message was echoed twice";
    std::this_thread::sleep_for(200ms);
    connection.Close();
    if (GetParam().later != 0) {
        CChild resize({"jack_bufsize", std::to_string(GetParam().later)}, File("bufsize"));
        ASSERT_TRUE(resize.Wait(5s));
    }

    for (int i = 0; i < 1000 && slot.load(); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(slot.load(), nullptr) << "the run does not end";
    const auto received = jackpeers::WaitForDump(dumpFile, song.size(), 5s);
    if (xruns.Count() > 0)
        GTEST_SKIP() << "the server missed " << xruns.Count()
                     << " cycles, in which peers lose events and frames shift";
    ASSERT_GE(received.size(), song.size());
    std::vector<uint64_t> onsets;
    for (size_t i = 0; i < song.size(); ++i) {
        EXPECT_EQ(received[i].message, song[i]) << "entry " << i;
        if (i % 2 == 0)
            onsets.push_back(received[i].frame);
    }
    // Whatever the sending thread's wake-ups, the notes keep their distances in frames.
    // Only a message the sending thread handed over later than the margin may miss its frame.
    const std::vector<double> errors = GridErrors(onsets);
    const double worst = *std::max_element(errors.begin(), errors.end());
    const double margin = double(CFrameTimeline::kMarginNs) / 1e6;
    if (worst > 0.5 && watch.LatestMs() > margin)
        GTEST_SKIP() << "a note " << worst << " ms off the grid: a message was handed over "
                     << watch.LatestMs() << " ms after its time, beyond the " << margin
                     << " ms margin (the sending thread waited for a processor)";
    EXPECT_LE(worst, 0.5) << "period " << GetParam().first << " then " << GetParam().later
                          << "; the latest hand-over " << watch.LatestMs() << " ms";
}

INSTANTIATE_TEST_SUITE_P(Periods, JackPeriodTest,
                         ::testing::Values(Periods{64, 0}, Periods{1024, 0}, Periods{1024, 256}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });
