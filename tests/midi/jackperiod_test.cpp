// A played song at the frames of a JACK peer, on private servers with short and long periods:
// each run starts a server of its own (dummy driver, 48 kHz) under this process's name.
#include "jackpeers.h"
#include "midi/midiconnection.h"
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

/// The distances in ms of the points (x, frame) from the straight line fitted to them.
std::vector<double> LineErrors(const std::vector<double>& xs, const std::vector<uint64_t>& frames) {
    const double n = double(frames.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const double x = xs[i], y = double(frames[i] - frames.front()) / kFramesPerMs;
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
        errors.push_back(std::fabs(y - (offset + step * xs[i])));
    }
    return errors;
}

/// The onsets' distances from the grid as the server's frame clock sees it. The grid is fitted
/// to the onsets without the few that lie far off it (at most one in ten), so that a note held
/// up once does not tilt the grid under all the others.
std::vector<double> GridErrors(const std::vector<uint64_t>& frames) {
    std::vector<double> xs;
    std::vector<uint64_t> kept;
    for (size_t i = 0; i < frames.size(); ++i) {
        xs.push_back(double(i));
        kept.push_back(frames[i]);
    }
    for (size_t dropped = 0; 10 * (dropped + 1) <= frames.size(); ++dropped) {
        const std::vector<double> errors = LineErrors(xs, kept);
        const auto worst = std::max_element(errors.begin(), errors.end());
        if (*worst <= 0.5)
            break;
        const auto at = size_t(worst - errors.begin());
        xs.erase(xs.begin() + long(at));
        kept.erase(kept.begin() + long(at));
    }
    // The line through the kept onsets, measured against every onset.
    const double origin = double(kept.front());
    const double n = double(kept.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        const double y = (double(kept[i]) - origin) / kFramesPerMs;
        sx += xs[i];
        sy += y;
        sxx += xs[i] * xs[i];
        sxy += xs[i] * y;
    }
    const double step = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double offset = (sy - step * sx) / n;
    std::vector<double> errors;
    for (size_t i = 0; i < frames.size(); ++i) {
        const double y = (double(frames[i]) - origin) / kFramesPerMs;
        errors.push_back(std::fabs(y - (offset + step * double(i))));
    }
    return errors;
}

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

class JackPeriodTest : public CPrivateServerFixture<::testing::TestWithParam<int>> {
protected:
    JackPeriodTest() : CPrivateServerFixture(GetParam()) {}
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
    auto* player = new CSequencePlayer(&slot, list.GetOutput(out).deviceId);
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
    ASSERT_TRUE(connection.Open(&receiver));
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

    // The dummy driver's frame clock may slip against the system clock the player keeps time
    // by when the machine is loaded: watched here, so that such a run does not count.
    std::vector<double> clockMs;
    std::vector<uint64_t> clockFrames;
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000 && slot.load(); ++i) {
        std::this_thread::sleep_for(10ms);
        clockMs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                .count());
        clockFrames.push_back(xruns.FrameTime());
    }
    ASSERT_EQ(slot.load(), nullptr) << "the run does not end";
    const auto received = jackpeers::WaitForDump(dumpFile, song.size(), 5s);
    const std::vector<double> slip = LineErrors(clockMs, clockFrames);
    if (!slip.empty() && *std::max_element(slip.begin(), slip.end()) > 1.0)
        GTEST_SKIP() << "the server's frame clock slipped by "
                     << *std::max_element(slip.begin(), slip.end()) << " ms";
    if (xruns.Count() > 0)
        GTEST_SKIP() << "the server missed " << xruns.Count()
                     << " cycles, in which peers lose events and frames shift";
    ASSERT_GE(received.size(), song.size());
    std::vector<uint64_t> onsets;
    for (size_t i = 0; i < song.size(); ++i) {
        EXPECT_EQ(received[i].message, song[i]) << "entry " << i;
        // The player's first pass comes one timer period after its start: the grid from the
        // second note on.
        if (i % 2 == 0 && i > 0)
            onsets.push_back(received[i].frame);
    }
    // A note the loaded machine held up on the timer thread may miss; a few in ten at most.
    const std::vector<double> errors = GridErrors(onsets);
    const auto onGrid =
        std::count_if(errors.begin(), errors.end(), [](double e) { return e <= 0.5; });
    EXPECT_GE(double(onGrid), 0.9 * double(errors.size()))
        << "period " << GetParam() << ": worst " << *std::max_element(errors.begin(), errors.end())
        << " ms";
}

INSTANTIATE_TEST_SUITE_P(Periods, JackPeriodTest, ::testing::Values(64, 1024),
                         [](const auto& info) { return std::to_string(info.param); });
