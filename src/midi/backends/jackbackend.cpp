// JACK on libjack: one client for the whole program ("KesV", "KesV-2" when taken) with one port
// per open device ("out", "in", "out-2", ...), each connected to its peer by name when the device
// opens; an output port stays registered, disconnected, for the next output device. The devices
// and the process callback (jackprocess.cpp) meet only at lock-free rings: an output message
// carries the frame it is due at, and the callback writes it at that frame of its cycle. Never
// starts a server and prints nothing.
#include "frametimeline.h"
#include "jackclient.h"
#include "midi/midibackend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr uint16_t kJackProductId = 2;
constexpr uint32_t kJackDriverVersion = 0x0500;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class CJackOutDevice final : public IMidiOutDevice {
public:
    CJackOutDevice(JackSession session, std::unique_ptr<CJackPort> port, std::string peer)
        : m_pSession(std::move(session)), m_pPort(std::move(port)), m_strPeer(std::move(peer)) {}
    ~CJackOutDevice() override {
        // Give the last messages, the reset above all, time to leave before the port goes.
        const auto limit = std::max<std::chrono::milliseconds>(
            200ms, std::chrono::duration_cast<std::chrono::milliseconds>(
                       m_pSession->IsAlive() ? m_pSession->CycleTime(4) : 0us));
        const auto end = std::chrono::steady_clock::now() + limit;
        while (m_pSession->IsAlive() && Jack().jack_ringbuffer_read_space(m_pPort->Ring()) > 0 &&
               std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(200us);
        if (m_pSession->IsAlive())
            m_pSession->WaitForCycles(2, limit);
        CJackClient::Instance().RemovePort(m_pSession, m_pPort);
    }

    MidiResult SendShort(uint32_t message) override {
        if (!m_pSession->IsAlive())
            return kMidiErrInvalidHandle;
        // The stamp first: the moment the message was meant for.
        const jack_nframes_t due = Due();
        return Send(message, [due] { return due; });
    }

    MidiResult SendShortAt(uint32_t message, std::chrono::steady_clock::time_point due) override {
        if (!m_pSession->IsAlive())
            return kMidiErrInvalidHandle;
        const int64_t dueNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch()).count();
        return Send(message, [&] {
            jack_client_t* client = m_pSession->Client();
            return m_timeline.Stamp(m_pSession->OutputFrame(), Jack().jack_get_buffer_size(client),
                                    Jack().jack_get_sample_rate(client), dueNs, NowNs());
        });
    }

    MidiResult Reset() override {
        if (!m_pSession->IsAlive() || m_bGone.load())
            return kMidiErrInvalidHandle;
        const jack_nframes_t due = Due();
        const uint8_t liveEcho = m_bLiveEcho.load();
        std::lock_guard lock(m_writer);
        bool sent = true;
        m_sounding.Reset([&](uint8_t status, uint8_t d1, uint8_t d2) {
            sent = sent && Push(JackOutEvent{due, liveEcho, 3, {status, d1, d2}});
        });
        if (!sent)
            return m_pSession->IsAlive() ? kMidiErrNoMemory : kMidiErrInvalidHandle;
        return kMidiOk;
    }

    void SetLiveEcho(bool liveEcho) override { m_bLiveEcho.store(liveEcho ? 1 : 0); }
    const JackSession& Session() const { return m_pSession; }
    CJackPort* Port() const { return m_pPort.get(); }

private:
    /// One period after now: the cycle that runs now has been written, the next one has not,
    /// so every message keeps the same distance from the moment it was sent.
    jack_nframes_t Due() const {
        return m_pSession->OutputFrame() + Jack().jack_get_buffer_size(m_pSession->Client());
    }

    /// Queues one message with the frame `stamp()` gives, taken under the writer's lock.
    template <typename Stamp> MidiResult Send(uint32_t message, Stamp stamp) {
        if (m_pPort->connections.load(std::memory_order_relaxed) == 0 &&
            !CJackClient::Instance().PortExists(m_strPeer))
            m_bGone.store(true);
        if (m_bGone.load())
            return kMidiErrInvalidHandle;
        JackOutEvent event{0,
                           m_bLiveEcho.load(),
                           0,
                           {uint8_t(message), uint8_t(message >> 8), uint8_t(message >> 16)}};
        const int length = ShortMessageLength(event.bytes[0]);
        if (length == 0)
            return kMidiErrInvalidParam;
        event.size = uint8_t(length);
        std::lock_guard lock(m_writer);
        event.due = stamp();
        if (!Push(event))
            return m_pSession->IsAlive() ? kMidiErrNoMemory : kMidiErrInvalidHandle;
        m_sounding.Track(event.bytes[0], event.bytes[1], event.bytes[2]);
        return kMidiOk;
    }

    /// Under the writer's lock. A full ring empties by a cycle's worth at a time.
    bool Push(const JackOutEvent& event) {
        jack_ringbuffer_t* ring = m_pPort->Ring();
        for (int i = 0; Jack().jack_ringbuffer_write_space(ring) < sizeof event; ++i) {
            if (i >= 1000 || !m_pSession->IsAlive())
                return false;
            std::this_thread::sleep_for(1ms);
        }
        Jack().jack_ringbuffer_write(ring, reinterpret_cast<const char*>(&event), sizeof event);
        return true;
    }

    JackSession m_pSession;
    std::unique_ptr<CJackPort> m_pPort;
    std::string m_strPeer;
    std::atomic<bool> m_bGone{false};
    std::atomic<uint8_t> m_bLiveEcho{0};
    std::mutex m_writer;
    CSoundingNotes m_sounding; // under the writer's lock
    CFrameTimeline m_timeline; // under the writer's lock
};

class CJackInDevice final : public IMidiInDevice {
public:
    explicit CJackInDevice(MidiInData data) : m_data(std::move(data)) {}
    ~CJackInDevice() override {
        if (m_pPort) {
            m_pPort->started.store(false);
            m_bQuit.store(true);
            m_pPort->WakeReader();
        }
        if (m_delivery.joinable())
            m_delivery.join();
        if (m_pSession)
            CJackClient::Instance().RemovePort(m_pSession, m_pPort);
    }

    MidiResult Open(const std::string& key) {
        m_pSession = CJackClient::Instance().Session();
        if (!m_pSession)
            return kMidiErrNoDriver;
        m_pPort = CJackClient::Instance().AddPort(m_pSession, false);
        if (!m_pPort)
            return kMidiErrError;
        m_delivery = std::thread([this] { Deliver(); });
        const std::string own = Jack().jack_port_name(m_pPort->Port());
        if (!CJackClient::Instance().Connect(m_pSession, key, own))
            return kMidiErrNoDevice;
        return kMidiOk;
    }

    MidiResult Start() override {
        if (!m_pSession->IsAlive())
            return kMidiErrInvalidHandle;
        m_pPort->started.store(true);
        return kMidiOk;
    }
    MidiResult Stop() override {
        m_pPort->started.store(false);
        return m_pSession->IsAlive() ? kMidiOk : kMidiErrInvalidHandle;
    }
    MidiResult Reset() override { return Stop(); }

    void SetLossHandler(MidiInLoss lost) override { m_lost = std::move(lost); }

    bool SetThru(IMidiOutDevice* output) override {
        auto* jackOutput = dynamic_cast<CJackOutDevice*>(output);
        CJackPort* target =
            jackOutput && jackOutput->Session() == m_pSession && m_pSession->IsAlive()
                ? jackOutput->Port()
                : nullptr;
        m_pPort->thru.store(target, std::memory_order_release);
        return target != nullptr;
    }

private:
    /// Hands what the process callback took to the receiver, off JACK's thread, in order, and
    /// tells of each loss it marked.
    void Deliver() {
        uint32_t lost = 0;
        for (;;) {
            m_pPort->WaitForArrivals();
            if (m_bQuit.load())
                return;
            JackInEvent event;
            while (Jack().jack_ringbuffer_read(m_pPort->Ring(), reinterpret_cast<char*>(&event),
                                               sizeof event) == sizeof event) {
                if (!m_pPort->started.load() || !m_data)
                    continue;
                uint32_t packed = 0;
                for (int i = 0; i < event.size; ++i)
                    packed |= uint32_t(event.bytes[i]) << (8 * i);
                m_data(packed);
            }
            if (const uint32_t now = m_pPort->lost.load(std::memory_order_relaxed); now != lost) {
                lost = now;
                if (m_pPort->started.load() && m_lost)
                    m_lost();
            }
        }
    }

    MidiInData m_data;
    MidiInLoss m_lost; // set before Start
    JackSession m_pSession;
    std::unique_ptr<CJackPort> m_pPort;
    std::thread m_delivery;
    std::atomic<bool> m_bQuit{false};
};

class CJackBackend final : public IMidiBackend {
public:
    void List(std::vector<MidiPortRecord>& inputs, std::vector<MidiPortRecord>& outputs) override {
        // Peers' outputs are our inputs and the other way round.
        CJackClient& client = CJackClient::Instance();
        AddPortRecords(client.GetPorts(JackPortIsOutput), kJackProductId, kJackDriverVersion,
                       inputs);
        AddPortRecords(client.GetPorts(JackPortIsInput), kJackProductId, kJackDriverVersion,
                       outputs);
    }

    MidiResult OpenOutput(const MidiPortRecord& port,
                          std::unique_ptr<IMidiOutDevice>& device) override {
        CJackClient& client = CJackClient::Instance();
        JackSession session = client.Session();
        if (!session)
            return kMidiErrNoDriver;
        std::unique_ptr<CJackPort> own = client.AddPort(session, true);
        if (!own)
            return kMidiErrError;
        if (!client.Connect(session, Jack().jack_port_name(own->Port()), port.key)) {
            client.RemovePort(session, own);
            return kMidiErrNoDevice;
        }
        device = std::make_unique<CJackOutDevice>(std::move(session), std::move(own), port.key);
        return kMidiOk;
    }

    void ReleaseIdleOutputs() override { CJackClient::Instance().ReleaseIdleOutputs(); }

    MidiResult OpenInput(const MidiPortRecord& port, MidiInData data,
                         std::unique_ptr<IMidiInDevice>& device) override {
        auto in = std::make_unique<CJackInDevice>(std::move(data));
        const MidiResult result = in->Open(port.key);
        if (result == kMidiOk)
            device = std::move(in);
        return result;
    }
};

} // namespace

bool IsJackServerRunning() {
    return CJackClient::Instance().Session() != nullptr;
}

std::unique_ptr<IMidiBackend> CreateJackBackend() {
    return std::make_unique<CJackBackend>();
}
