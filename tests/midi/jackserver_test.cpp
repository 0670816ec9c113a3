// The MIDI layer when its JACK server goes away and comes back. Each test runs a JACK server of
// its own under a name of its own, so stopping it never touches the suite's server.
#include "jackpeers.h"
#include "midi/mididevicelist.h"
#include "midi/midiinport.h"
#include "midi/midioutport.h"
#include "midi/sequenceplayer.h"
#include "privateserverfixture.h"
#include "receiver.h"
#include "song/musictime.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using jackpeers::CChild;

namespace {

uint32_t Msg(uint8_t status, uint8_t d1, uint8_t d2 = 0) {
    return PackShortMessage(status, d1, d2);
}

class JackServerLossTest : public CPrivateServerFixture<::testing::Test> {
protected:
    std::string DumpClient() const { return "kesv-dump-" + m_strTag; }
    int OutputPosition(CMidiDeviceList& list) {
        if (!jackpeers::WaitForDevice(DumpClient() + ":input", false))
            return -1;
        list.Refresh();
        return list.FindByName((DumpClient() + ":input").c_str(), false);
    }
};

/// A long run: a note every 10 ms for 20 s.
CSequencePlayer* StartLongRun(std::atomic<CSequencePlayer*>& slot, int deviceId) {
    auto* player = new CSequencePlayer(&slot);
    EXPECT_EQ(player->Open(deviceId), kMidiOk);
    for (int i = 0; i < 2000; ++i)
        player->Add({i * 8, Msg(i % 2 ? 0x80 : 0x90, 60, 100)});
    player->SetTempo(250); // 240 ms a quarter: 8 ticks are 4 ms
    player->Start();
    return player;
}

} // namespace

TEST_F(JackServerLossTest, ServerStoppingEndsTheRunAndLeavesEveryPortSafeToClose) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    CChild dump({"jack_midi_dump", DumpClient()}, File("dump-loss"));
    CChild seq({"jack_midiseq", "kesv-seq-" + m_strTag, "24000", "0", "60", "2000"},
               File("seq-loss"));
    CMidiDeviceList list;
    const int out = OutputPosition(list);
    ASSERT_GE(out, 0);
    ASSERT_TRUE(jackpeers::WaitForDevice("kesv-seq-" + m_strTag + ":out", true));
    list.Refresh();
    const int in = list.FindByName(("kesv-seq-" + m_strTag + ":out").c_str(), true);
    ASSERT_GE(in, 0);

    // An idle output port, a recording input port and a running player, as the program has.
    auto idle = std::make_unique<CMidiOutPort>();
    ASSERT_EQ(idle->Open(list.GetOutput(out).deviceId), kMidiOk);
    CTestReceiver receiver;
    auto recording = std::make_unique<CMidiInPort>();
    ASSERT_EQ(recording->Open(list.GetInput(in).deviceId, receiver.Receiver()), kMidiOk);
    ASSERT_EQ(recording->Start(), kMidiOk);
    std::atomic<CSequencePlayer*> slot{nullptr};
    StartLongRun(slot, list.GetOutput(out).deviceId);
    std::this_thread::sleep_for(200ms);
    ASSERT_NE(slot.load(), nullptr);

    m_server.Stop();
    for (int i = 0; i < 500 && slot.load(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(slot.load(), nullptr) << "the run goes on without its server";
    CSequencePlayer::StopAndDelete(slot);

    EXPECT_EQ(idle->ShortMsg(Msg(0x90, 60, 100)), kMidiErrInvalidHandle);
    EXPECT_EQ(recording->Stop(), kMidiErrInvalidHandle);
    EXPECT_EQ(idle->Close(), kMidiOk);
    recording.reset();
    idle.reset();
    QCoreApplication::processEvents();

    // Nothing is listed from the server that has gone.
    list.Refresh();
    EXPECT_LT(list.FindByName((DumpClient() + ":input").c_str(), false), 0);
}

TEST_F(JackServerLossTest, AfterTheServerIsBackAPortOpensAndPlaysAgain) {
    {
        CChild dump({"jack_midi_dump", DumpClient()}, File("dump-before"));
        CMidiDeviceList list;
        const int out = OutputPosition(list);
        ASSERT_GE(out, 0);
        CMidiOutPort port;
        ASSERT_EQ(port.Open(list.GetOutput(out).deviceId), kMidiOk);
        EXPECT_EQ(port.ShortMsg(Msg(0x90, 60, 100)), kMidiOk);
        m_server.Stop();
        std::this_thread::sleep_for(300ms);
    } // the port closes after its server has gone

    ASSERT_TRUE(m_server.Start());
    const std::string dumpFile = File("dump-after");
    CChild dump({"stdbuf", "-oL", "jack_midi_dump", DumpClient()}, dumpFile);
    CMidiDeviceList list;
    const int out = OutputPosition(list);
    ASSERT_GE(out, 0);
    {
        CMidiOutPort port;
        ASSERT_EQ(port.Open(list.GetOutput(out).deviceId), kMidiOk);
        EXPECT_EQ(port.ShortMsg(Msg(0x90, 64, 100)), kMidiOk);
    }
    std::atomic<CSequencePlayer*> slot{nullptr};
    auto* player = new CSequencePlayer(&slot);
    ASSERT_EQ(player->Open(list.GetOutput(out).deviceId), kMidiOk);
    player->Add({0, Msg(0x90, 67, 110)});
    player->Add({120, Msg(0x80, 67, 0)});
    player->SetTempo(240);
    ASSERT_TRUE(player->Start());
    for (int i = 0; i < 500 && slot.load(); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(slot.load(), nullptr);

    const auto received = jackpeers::WaitForDump(dumpFile, 3, 5s);
    std::vector<uint32_t> messages;
    for (const auto& event : received)
        messages.push_back(event.message);
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[0], Msg(0x90, 64, 100));
    EXPECT_NE(std::find(messages.begin(), messages.end(), Msg(0x90, 67, 110)), messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(), Msg(0x80, 67, 0)), messages.end());
}
