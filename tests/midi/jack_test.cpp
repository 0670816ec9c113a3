// The MIDI layer against a real JACK server with real peer programs (jack_midi_dump,
// jack_midiseq). scripts/test.sh provides a private server; without one these tests skip.
#include "jackpeers.h"
#include "midi/mididevicelist.h"
#include "midi/midiinport.h"
#include "midi/midioutport.h"
#include "midi/midisetup.h"
#include "midi/sequenceplayer.h"
#include "receiver.h"
#include "song/musictime.h"
#include "text/cp932.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

using jackpeers::CChild;
using jackpeers::JackServerAnswers;

/// The program's start-up, before any test (and any thread) runs: the synthesizer plays
/// through JACK only once it is done.
class CMidiStartUp : public ::testing::Environment {
public:
    void SetUp() override { PrepareMidiEnvironment(); }
};
const auto* const g_pStartUp = ::testing::AddGlobalTestEnvironment(new CMidiStartUp);

/// The messages jack_midi_dump has printed to its file so far.
std::vector<uint32_t> ReadDump(const std::string& file) {
    std::vector<uint32_t> messages;
    for (const jackpeers::DumpEvent& event : jackpeers::ReadDump(file))
        messages.push_back(event.message);
    return messages;
}

/// Waits up to 5 s for at least count messages in the dump file.
std::vector<uint32_t> WaitForDump(const std::string& file, size_t count) {
    jackpeers::WaitForDump(file, count, 5s);
    return ReadDump(file);
}

class JackMidiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!JackServerAnswers())
            GTEST_SKIP() << "no JACK server: run under scripts/test.sh, which starts a private one";
        m_strTag = std::to_string(getpid());
        m_strDir = ::testing::TempDir();
    }

    /// Position of a device once the catalogue lists it, -1 after 5 s.
    int WaitForDevice(CMidiDeviceList& list, const std::string& name, bool input) {
        for (int i = 0; i < 100; ++i) {
            list.Refresh();
            const int position = list.FindByName(name.c_str(), input);
            if (position >= 0)
                return position;
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }

    /// Plays `song` at tempo 240 to the output at `position` to its end and expects the peer
    /// dumping into `file` to have received every message, in order.
    void PlayToDump(CMidiDeviceList& list, int position, const std::vector<PlayEvent>& song,
                    const std::string& file) {
        std::atomic<CSequencePlayer*> slot{nullptr};
        auto* player = new CSequencePlayer(&slot);
        ASSERT_EQ(player->Open(list.GetOutput(position).deviceId), kMidiOk);
        for (const PlayEvent& event : song)
            player->Add(event);
        player->SetTempo(240);
        ASSERT_TRUE(player->Start());
        for (int i = 0; i < 5000 && slot.load(); ++i)
            std::this_thread::sleep_for(1ms);
        ASSERT_EQ(slot.load(), nullptr);
        const auto received = WaitForDump(file, song.size());
        ASSERT_GE(received.size(), song.size());
        for (size_t i = 0; i < song.size(); ++i)
            EXPECT_EQ(received[i], song[i].message) << "entry " << i;
    }

    std::string DumpClient() const { return "kesv-dump-" + m_strTag; }
    std::string SeqClient() const { return "kesv-seq-" + m_strTag; }
    std::string File(const char* name) {
        m_files.push_back(m_strDir + name + m_strTag + ".txt");
        return m_files.back();
    }
    void TearDown() override {
        for (const auto& file : m_files)
            std::remove(file.c_str());
    }

    std::string m_strTag;
    std::string m_strDir;
    std::vector<std::string> m_files;
};

uint32_t Msg(uint8_t status, uint8_t d1, uint8_t d2 = 0) {
    return PackShortMessage(status, d1, d2);
}

} // namespace

TEST_F(JackMidiTest, CatalogueListsPeerPortsAndTheSynthWithStableNames) {
    CChild dump({"jack_midi_dump", DumpClient()}, File("dump-list"));
    CChild seq({"jack_midiseq", SeqClient(), "24000", "0", "60", "2000"}, File("seq-list"));
    ASSERT_TRUE(dump.Running() && seq.Running());
    CMidiDeviceList list;
    const int out = WaitForDevice(list, DumpClient() + ":input", false);
    ASSERT_GE(out, 0) << "the dump program's input port is not listed";
    const int in = WaitForDevice(list, SeqClient() + ":out", true);
    ASSERT_GE(in, 0) << "the sequencer's output port is not listed";
    EXPECT_EQ(list.GetOutput(out).caps.wTechnology, kModMidiPort);

    const int synth = list.FindByName(kBuiltinSynthName, false);
    ASSERT_GE(synth, 0) << "the built-in synthesizer is not listed";
    EXPECT_EQ(list.GetOutput(synth).caps.wTechnology, kModSynth);
    EXPECT_EQ(list.GetOutput(synth).caps.wChannelMask, 0xFFFF);
    EXPECT_GT(list.GetOutput(synth).caps.wVoices, 0);

    // Our own open port is not offered as a device, and names stay the same.
    CMidiOutPort port;
    ASSERT_EQ(port.Open(list.GetOutput(out).deviceId), kMidiOk);
    CMidiDeviceList again;
    for (int i = 0; i < again.GetInputCount(); ++i)
        EXPECT_EQ(std::string(again.GetInput(i).caps.szPname).rfind("KesV", 0), std::string::npos);
    EXPECT_EQ(again.FindByName((DumpClient() + ":input").c_str(), false), out);
}

TEST_F(JackMidiTest, OutputPortMessagesArriveUnchanged) {
    CChild dump({"stdbuf", "-oL", "jack_midi_dump", DumpClient()}, File("dump-out"));
    CMidiDeviceList list;
    const int position = WaitForDevice(list, DumpClient() + ":input", false);
    ASSERT_GE(position, 0);
    const std::vector<uint32_t> sent = {Msg(0x90, 60, 100), Msg(0xB0, 7, 90), Msg(0xC3, 5),
                                        Msg(0xE0, 0, 64),   Msg(0x91, 72, 1), Msg(0x80, 60, 0)};
    {
        CMidiOutPort port;
        ASSERT_EQ(port.Open(list.GetOutput(position).deviceId), kMidiOk);
        for (uint32_t message : sent)
            EXPECT_EQ(port.ShortMsg(message), kMidiOk);
        std::this_thread::sleep_for(100ms); // let the last cycle go out before the reset
    }
    const auto received = WaitForDump(File("dump-out"), sent.size());
    ASSERT_GE(received.size(), sent.size());
    EXPECT_EQ(std::vector<uint32_t>(received.begin(), received.begin() + long(sent.size())), sent);
    // The reset at destruction turned the note on channel 2 off.
    EXPECT_NE(std::find(received.begin() + long(sent.size()), received.end(), Msg(0x81, 72, 0)),
              received.end());
}

TEST_F(JackMidiTest, PeerListedBeforeItIsActiveIsConnectedOnceItIs) {
    // A peer that has registered its port but not yet activated its client: the server
    // refuses connections to it until it is active.
    const std::string name = "kesv-late-" + m_strTag;
    jack_client_t* peer = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
    ASSERT_NE(peer, nullptr);
    jack_port_t* input =
        jack_port_register(peer, "input", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    ASSERT_NE(input, nullptr);
    CMidiDeviceList list;
    const int position = WaitForDevice(list, name + ":input", false);
    ASSERT_GE(position, 0);
    std::thread activate([peer] {
        std::this_thread::sleep_for(100ms);
        jack_activate(peer);
    });
    {
        CMidiOutPort port;
        EXPECT_EQ(port.Open(list.GetOutput(position).deviceId), kMidiOk);
        EXPECT_GT(jack_port_connected(input), 0);
    }
    activate.join();
    jack_client_close(peer);
}

TEST_F(JackMidiTest, SendToAPeerThatHasGoneAnswersInvalidHandle) {
    auto dump = std::make_unique<CChild>(std::vector<std::string>{"jack_midi_dump", DumpClient()},
                                         File("dump-gone"));
    CMidiDeviceList list;
    const int position = WaitForDevice(list, DumpClient() + ":input", false);
    ASSERT_GE(position, 0);
    CMidiOutPort port;
    ASSERT_EQ(port.Open(list.GetOutput(position).deviceId), kMidiOk);
    EXPECT_EQ(port.ShortMsg(Msg(0x90, 60, 100)), kMidiOk);
    dump.reset(); // the peer program ends
    MidiStatus sent;
    for (int i = 0; i < 200 && sent; ++i) {
        sent = port.ShortMsg(Msg(0x80, 60, 0));
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(sent, kMidiErrInvalidHandle);
}

TEST_F(JackMidiTest, JapanesePortNamesAreCp932ShortAndUniqueAndOldUtf8NamesStillFindThem) {
    const QString client = QStringLiteral("ピアノ入力") + QString::fromStdString(m_strTag);
    jackpeers::CJackKeyboard keys(client.toStdString());
    // Two clients whose names are alike for more than 31 bytes (JACK takes 63 at most).
    const QString keys16 = QStringLiteral("鍵盤").repeated(8);
    jackpeers::CJackKeyboard first(
        (keys16 + QStringLiteral("一") + QString::fromStdString(m_strTag)).toStdString());
    jackpeers::CJackKeyboard second(
        (keys16 + QStringLiteral("二") + QString::fromStdString(m_strTag)).toStdString());
    ASSERT_TRUE(keys.IsOpen() && first.IsOpen() && second.IsOpen());

    const std::string inName = EncodeCp932(client + QStringLiteral(":out")).value();
    CMidiDeviceList list;
    const int in = WaitForDevice(list, inName, true);
    ASSERT_GE(in, 0) << "no input device named in cp932";
    EXPECT_EQ(DecodeCp932(list.GetInput(in).caps.szPname), client + QStringLiteral(":out"));
    // As the old program stored it: UTF-8 bytes.
    EXPECT_EQ(list.FindByName((client + QStringLiteral(":out")).toStdString().c_str(), true), in);

    // 16 two-byte characters: cut to 15, and the later twin to 13 with " (2)".
    const int cut = list.FindByName(EncodeCp932(keys16.left(15)).value().c_str(), false);
    const int twin =
        list.FindByName((EncodeCp932(keys16.left(13)).value() + " (2)").c_str(), false);
    ASSERT_GE(cut, 0);
    ASSERT_GT(twin, cut);
    // The old name of the first: cut after 31 UTF-8 bytes, that is 10 characters.
    EXPECT_EQ(list.FindByName(keys16.left(10).toStdString().c_str(), false), cut);

    // The device opens by its cp932 name and reaches the peer.
    const int out =
        list.FindByName(EncodeCp932(client + QStringLiteral(":in")).value().c_str(), false);
    ASSERT_GE(out, 0);
    CMidiOutPort port;
    ASSERT_EQ(port.Open(list.GetOutput(out).deviceId), kMidiOk);
    EXPECT_EQ(port.ShortMsg(Msg(0x90, 60, 100)), kMidiOk);
    ASSERT_TRUE(keys.WaitForArrivals(1, 2s));
    EXPECT_EQ(keys.GetArrival(0).message, Msg(0x90, 60, 100));
}

// Each KesV gets a JACK client of its own ("KesV", then "KesV-2", ...) and sees every port,
// though JACK 2 answers a taken name only with Failure|ServerError.
TEST_F(JackMidiTest, EveryProgramGetsAClientOfItsOwnAndSeesEveryPort) {
    const std::string keysName = "kesv-keys-" + m_strTag;
    jackpeers::CJackKeyboard keys(keysName);
    ASSERT_TRUE(keys.IsOpen());
    CMidiDeviceList list; // this program's client
    ASSERT_GE(WaitForDevice(list, keysName + ":in", false), 0);
    jack_client_t* watch =
        jack_client_open(("kesv-watch-" + m_strTag).c_str(), JackNoStartServer, nullptr);
    ASSERT_NE(watch, nullptr);
    const auto ownOutputs = [watch] {
        const char** ports =
            jack_get_ports(watch, "^KesV(-[0-9]+)?:out$", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
        std::set<std::string> names;
        for (int i = 0; ports && ports[i]; ++i)
            names.emplace(ports[i]);
        jack_free(ports);
        return names;
    };
    const std::set<std::string> before = ownOutputs();

    std::vector<std::unique_ptr<CChild>> others;
    for (int n = 0; n < 2; ++n) {
        others.push_back(std::make_unique<CChild>(
            std::vector<std::string>{KESV_JACK_WINDOW, keysName + ":in", std::to_string(60 + n)},
            File(n == 0 ? "window-2" : "window-3")));
        ASSERT_TRUE(keys.WaitForArrivals(size_t(2 * (n + 1)), 10s))
            << "KesV number " << n + 2 << " did not play to the keyboard it should list";
    }
    std::vector<uint32_t> heard;
    for (size_t i = 0; i < keys.ArrivalCount(); ++i)
        heard.push_back(keys.GetArrival(i).message);
    for (uint8_t key : {60, 61})
        EXPECT_NE(std::find(heard.begin(), heard.end(), Msg(0x90, key, 64)), heard.end()) << key;
    std::set<std::string> added = ownOutputs();
    for (const std::string& name : before)
        added.erase(name);
    EXPECT_EQ(added.size(), 2u) << "the two other programs do not each have a client";
    jack_client_close(watch);
}

TEST_F(JackMidiTest, InputPortReceivesWhatThePeerPlaysCompleteAndInOrder) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    // A 0.1 s loop: C4, D4 and E4, each on and off.
    CChild seq({"jack_midiseq", SeqClient(), "4800", "0", "60", "1000", "1600", "62", "1000",
                "3200", "64", "1000"},
               File("seq-in"));
    CMidiDeviceList list;
    const int position = WaitForDevice(list, SeqClient() + ":out", true);
    ASSERT_GE(position, 0);
    CTestReceiver receiver;
    {
        CMidiInPort port;
        ASSERT_EQ(port.Open(list.GetInput(position).deviceId, receiver.Receiver()), kMidiOk);
        ASSERT_EQ(port.Start(), kMidiOk);
        const auto end = std::chrono::steady_clock::now() + 700ms;
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(5ms);
        }
    }
    QCoreApplication::processEvents();
    const std::vector<uint32_t> cycle = {Msg(0x90, 60, 64), Msg(0x80, 60, 64), Msg(0x90, 62, 64),
                                         Msg(0x80, 62, 64), Msg(0x90, 64, 64), Msg(0x80, 64, 64)};
    ASSERT_GE(receiver.messages.size(), 18u);
    const auto first = std::find(cycle.begin(), cycle.end(), receiver.messages[0]);
    ASSERT_NE(first, cycle.end()) << std::hex << receiver.messages[0];
    size_t at = size_t(first - cycle.begin());
    for (size_t i = 0; i < receiver.messages.size(); ++i, at = (at + 1) % cycle.size())
        ASSERT_EQ(receiver.messages[i], cycle[at]) << "message " << i;
}

TEST_F(JackMidiTest, PlayerRunArrivesWithTheRightKeysVelocitiesAndOrder) {
    CChild dump({"stdbuf", "-oL", "jack_midi_dump", DumpClient()}, File("dump-play"));
    CMidiDeviceList list;
    const int position = WaitForDevice(list, DumpClient() + ":input", false);
    ASSERT_GE(position, 0);
    const std::vector<PlayEvent> song = {{0, Msg(0x90, 60, 127)},   {235, Msg(0x80, 60, 0)},
                                         {240, Msg(0x90, 64, 127)}, {475, Msg(0x80, 64, 0)},
                                         {480, Msg(0x90, 67, 127)}, {480, Msg(0x90, 72, 127)},
                                         {955, Msg(0x80, 67, 0)},   {955, Msg(0x80, 72, 0)}};
    PlayToDump(list, position, song, File("dump-play"));
}

// A peer that ends and starts again under the same name hears the next run complete and in
// order, as on the first run (PipeWire's JACK layer once lost every later run this way).
TEST_F(JackMidiTest, RestartedPeerHearsTheNextRunCompleteAndInOrder) {
    std::vector<PlayEvent> song;
    for (int i = 0; i < 8; ++i) {
        const uint8_t key = uint8_t(60 + i), velocity = uint8_t(40 + i);
        song.push_back({i * 60, Msg(0x90, key, velocity)});
        song.push_back({i * 60 + 30, Msg(0x80, key, 0)});
    }
    for (const char* round : {"dump-first", "dump-again", "dump-third"}) {
        SCOPED_TRACE(round);
        const std::string file = File(round);
        auto dump = std::make_unique<CChild>(
            std::vector<std::string>{"stdbuf", "-oL", "jack_midi_dump", DumpClient()}, file);
        CMidiDeviceList list;
        const int position = WaitForDevice(list, DumpClient() + ":input", false);
        ASSERT_GE(position, 0);
        PlayToDump(list, position, song, file);
        if (HasFatalFailure())
            return;
        // The peer ends; the server drops its port a moment later, and only then does the
        // next round start it again under the same name.
        dump.reset();
        for (int i = 0; i < 100 && list.FindByName((DumpClient() + ":input").c_str(), false) >= 0;
             ++i) {
            std::this_thread::sleep_for(50ms);
            list.Refresh();
        }
    }
}

// The output port is registered once and kept while JACK devices are used, and let go when a
// device of another system (here the synthesizer) takes over.
TEST_F(JackMidiTest, OutputPortIsKeptBetweenDevicesAndLetGoForAnotherSystem) {
    CChild dump({"jack_midi_dump", DumpClient()}, File("dump-kept"));
    CMidiDeviceList list;
    const int position = WaitForDevice(list, DumpClient() + ":input", false);
    ASSERT_GE(position, 0);
    jack_client_t* watch = jack_client_open("kesv-watch-ports", JackNoStartServer, nullptr);
    ASSERT_NE(watch, nullptr);
    const auto ownOutputs = [watch] {
        const char** ports =
            jack_get_ports(watch, "^KesV[-0-9]*:out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
        std::vector<std::string> names;
        for (int i = 0; ports && ports[i]; ++i)
            names.emplace_back(ports[i]);
        jack_free(ports);
        return names;
    };
    std::vector<std::string> kept;
    {
        CMidiOutPort port;
        ASSERT_EQ(port.Open(list.GetOutput(position).deviceId), kMidiOk);
        kept = ownOutputs();
    }
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ownOutputs(), kept) << "closing the device unregistered its port";
    // The server connects only ports of active clients: with no device open the program's
    // client sleeps (no process callback, no processor time).
    const std::string peer = DumpClient() + ":input";
    EXPECT_NE(jack_connect(watch, kept[0].c_str(), peer.c_str()), 0)
        << "the client runs with no device open";
    {
        CMidiOutPort port;
        ASSERT_EQ(port.Open(list.GetOutput(position).deviceId), kMidiOk);
        EXPECT_EQ(ownOutputs(), kept) << "the next device registered a port of its own";
        const int connect = jack_connect(watch, kept[0].c_str(), peer.c_str());
        EXPECT_TRUE(connect == 0 || connect == EEXIST) << connect;
    }
    const int synth = list.FindByName(kBuiltinSynthName, false);
    if (synth >= 0) {
        CMidiOutPort port;
        ASSERT_EQ(port.Open(list.GetOutput(synth).deviceId), kMidiOk);
        EXPECT_TRUE(ownOutputs().empty()) << "the idle port outlives the choice of the synthesizer";
    }
    jack_client_close(watch);
}

namespace {
struct PeakMeter {
    jack_port_t* ports[2] = {};
    std::atomic<float> peak{0};
    static int Process(jack_nframes_t frames, void* arg) {
        auto* meter = static_cast<PeakMeter*>(arg);
        float peak = meter->peak.load();
        for (jack_port_t* port : meter->ports) {
            const auto* samples = static_cast<const float*>(jack_port_get_buffer(port, frames));
            for (jack_nframes_t i = 0; i < frames; ++i)
                peak = std::max(peak, std::fabs(samples[i]));
        }
        meter->peak.store(peak);
        return 0;
    }
};
} // namespace

TEST_F(JackMidiTest, BuiltinSynthOpensOnJackAudioAndPlaysANote) {
    CMidiDeviceList list;
    const int position = list.FindByName(kBuiltinSynthName, false);
    ASSERT_GE(position, 0);
    CMidiOutPort port;
    ASSERT_EQ(port.Open(list.GetOutput(position).deviceId), kMidiOk);

    jack_client_t* client = jack_client_open("kesv-meter", JackNoStartServer, nullptr);
    ASSERT_NE(client, nullptr);
    PeakMeter meter;
    meter.ports[0] =
        jack_port_register(client, "in_l", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    meter.ports[1] =
        jack_port_register(client, "in_r", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, &PeakMeter::Process, &meter);
    ASSERT_EQ(jack_activate(client), 0);
    const char** synthPorts =
        jack_get_ports(client, "^KesV Synth:", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    ASSERT_NE(synthPorts, nullptr) << "the synthesizer has no JACK audio ports";
    int connected = 0;
    for (int i = 0; synthPorts[i] && i < 2; ++i)
        connected += jack_connect(client, synthPorts[i], jack_port_name(meter.ports[i])) == 0;
    jack_free(synthPorts);
    ASSERT_EQ(connected, 2);

    std::this_thread::sleep_for(100ms);
    const float silence = meter.peak.load();
    ASSERT_EQ(port.ShortMsg(Msg(0x90, 60, 127)), kMidiOk);
    std::this_thread::sleep_for(300ms);
    const float sounding = meter.peak.load();
    port.ShortMsg(Msg(0x80, 60, 0));
    jack_client_close(client);

    EXPECT_LT(silence, 1e-4f);
    EXPECT_GT(sounding, 0.01f);

    // The loaded synthesizer is kept: a second port opens on it at once.
    CMidiOutPort second;
    EXPECT_EQ(second.Open(list.GetOutput(position).deviceId), kMidiOk);
    EXPECT_EQ(second.ShortMsg(Msg(0x90, 64, 100)), kMidiOk);
}

// An idle synthesizer lets its audio output go (no JACK client, no processor time) and keeps
// its soundfont: the next message opens the output again and sounds.
TEST_F(JackMidiTest, BuiltinSynthLetsItsAudioGoWhenIdleAndComesBack) {
    SetSynthIdleRelease(300ms);
    CMidiDeviceList list;
    const int position = list.FindByName(kBuiltinSynthName, false);
    ASSERT_GE(position, 0);
    CMidiOutPort port;
    ASSERT_EQ(port.Open(list.GetOutput(position).deviceId), kMidiOk);
    jack_client_t* client = jack_client_open("kesv-watch", JackNoStartServer, nullptr);
    ASSERT_NE(client, nullptr);
    const auto synthPortCount = [client] {
        const char** ports =
            jack_get_ports(client, "^KesV Synth:", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        int count = 0;
        for (; ports && ports[count]; ++count) {
        }
        jack_free(ports);
        return count;
    };
    EXPECT_EQ(synthPortCount(), 2);
    ASSERT_EQ(port.ShortMsg(Msg(0x90, 60, 100)), kMidiOk);
    ASSERT_EQ(port.ShortMsg(Msg(0x80, 60, 0)), kMidiOk);
    int count = synthPortCount();
    for (int i = 0; i < 60 && count > 0; ++i) {
        std::this_thread::sleep_for(100ms);
        count = synthPortCount();
    }
    EXPECT_EQ(count, 0) << "the idle synthesizer keeps its audio client";
    ASSERT_EQ(port.ShortMsg(Msg(0x90, 62, 100)), kMidiOk);
    EXPECT_EQ(synthPortCount(), 2) << "a message after the release opens no audio again";
    port.ShortMsg(Msg(0x80, 62, 0));
    jack_client_close(client);
    SetSynthIdleRelease(10s);
}
