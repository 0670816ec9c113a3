// JACK on libjack: one client for the whole program ("KesV", "KesV-2" when taken) with one port
// per open device ("out", "in", "out-2", ...), each connected to its peer by name. The devices
// and the process callback meet only at lock-free rings: an output message carries the frame it
// is due at, and the callback writes it at that frame of its cycle. Never starts a server and
// prints nothing.
#include "frametimeline.h"
#include "jacklib.h"
#include "midi/midibackend.h"
#include "midi/midinames.h"

#include <semaphore.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr uint16_t kJackProductId = 2;
constexpr uint32_t kJackDriverVersion = 0x0500;
constexpr size_t kMaxPorts = 64;
constexpr size_t kRingBytes = 1 << 16;

/// JACK's functions, there once the library has loaded, before the first client is opened.
std::atomic<const JackApi*> g_pJack{nullptr};

const JackApi& Jack() {
    return *g_pJack.load(std::memory_order_relaxed);
}

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

/// A message on its way to the process callback: due is a JACK frame time; a live echo goes
/// out in the next cycle whatever its stamp.
struct OutEvent {
    jack_nframes_t due;
    uint8_t liveEcho;
    uint8_t size;
    uint8_t bytes[3];
};

/// A short message the process callback took from an input port.
struct InEvent {
    uint8_t size;
    uint8_t bytes[3];
};

/// One port of ours. Its ring has one writer (the device, or for an input the process
/// callback) and one reader.
class CJackPort {
public:
    CJackPort(jack_port_t* port, bool output, std::string shortName)
        : m_pPort(port), m_bOutput(output), m_strShortName(std::move(shortName)),
          m_pRing(Jack().jack_ringbuffer_create(kRingBytes)) {
        sem_init(&ready, 0, 0);
    }
    ~CJackPort() {
        sem_destroy(&ready);
        if (m_pRing)
            Jack().jack_ringbuffer_free(m_pRing);
    }
    CJackPort(const CJackPort&) = delete;
    CJackPort& operator=(const CJackPort&) = delete;

    bool IsOutput() const { return m_bOutput; }
    /// Run in the process callback: every input first (which may hand an echo to an output),
    /// then every output.
    void Process(jack_nframes_t frames, jack_nframes_t cycleStart) {
        void* buffer = Jack().jack_port_get_buffer(m_pPort, frames);
        if (m_bOutput) {
            // Asked here, where JACK answers at once: off its thread the call sleeps a whole
            // period after every change of the graph, and a message would wait that long.
            connections.store(Jack().jack_port_connected(m_pPort), std::memory_order_relaxed);
            WriteCycle(buffer, frames, cycleStart);
        } else {
            ReadCycle(buffer);
        }
    }
    /// An input's arrival to echo in this cycle at its frame; the process callback's alone.
    void AddThru(jack_nframes_t time, const uint8_t* bytes, size_t size) {
        if (m_nThru < m_thru.size())
            m_thru[m_nThru++] = {time, 0, uint8_t(size), {bytes[0], bytes[1], bytes[2]}};
    }

    jack_port_t* Port() const { return m_pPort; }
    const std::string& ShortName() const { return m_strShortName; }
    jack_ringbuffer_t* Ring() const { return m_pRing; }
    bool IsValid() const { return m_pRing != nullptr; }

    /// Output only: the connections the port had in the last cycle; -1 before the first.
    std::atomic<int> connections{-1};
    // Input only: arrivals are kept while started; the device waits on ready.
    std::atomic<bool> started{false};
    sem_t ready;
    /// Input only: the output port each arrival is echoed to in its own cycle, or null.
    std::atomic<CJackPort*> thru{nullptr};

private:
    void WriteCycle(void* buffer, jack_nframes_t frames, jack_nframes_t cycleStart) {
        Jack().jack_midi_clear_buffer(buffer);
        jack_nframes_t last = 0;
        size_t thru = 0;
        // Echoes of this cycle's arrivals go in among the queued messages by their frames.
        const auto writeThruUpTo = [&](jack_nframes_t offset) {
            for (; thru < m_nThru && m_thru[thru].due <= offset; ++thru) {
                const OutEvent& echo = m_thru[thru];
                const jack_nframes_t at = std::min(std::max(echo.due, last), frames - 1);
                if (Jack().jack_midi_event_write(buffer, at, echo.bytes, echo.size) == 0)
                    last = at;
            }
        };
        OutEvent event;
        while (Jack().jack_ringbuffer_peek(m_pRing, reinterpret_cast<char*>(&event),
                                           sizeof event) == sizeof event) {
            jack_nframes_t offset = 0;
            if (!event.liveEcho) {
                const auto ahead = int32_t(event.due - cycleStart);
                if (ahead >= int32_t(frames))
                    break; // due in a later cycle; so is everything behind it
                offset = ahead > 0 ? jack_nframes_t(ahead) : 0; // a late one at the cycle's start
            }
            offset = std::max(offset, last); // the order stays as sent
            writeThruUpTo(offset);
            offset = std::max(offset, last);
            if (Jack().jack_midi_event_write(buffer, offset, event.bytes, event.size) != 0)
                break; // the cycle's buffer is full: the rest goes in the next one
            last = offset;
            Jack().jack_ringbuffer_read_advance(m_pRing, sizeof event);
        }
        writeThruUpTo(frames);
        m_nThru = 0;
    }

    void ReadCycle(void* buffer) {
        const jack_nframes_t count = Jack().jack_midi_get_event_count(buffer);
        bool any = false;
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (Jack().jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0 ||
                !started.load(std::memory_order_relaxed))
                continue;
            // Long (system-exclusive) messages are not received; every short message is.
            const int length = ShortMessageLength(event.buffer[0]);
            if (length == 0 || event.size < size_t(length))
                continue;
            if (CJackPort* echo = thru.load(std::memory_order_acquire))
                echo->AddThru(event.time, event.buffer, size_t(length));
            if (Jack().jack_ringbuffer_write_space(m_pRing) < sizeof(InEvent))
                continue;
            InEvent in{uint8_t(length), {0, 0, 0}};
            std::copy(event.buffer, event.buffer + length, in.bytes);
            Jack().jack_ringbuffer_write(m_pRing, reinterpret_cast<const char*>(&in), sizeof in);
            any = true;
        }
        if (any)
            sem_post(&ready);
    }

    jack_port_t* m_pPort;
    bool m_bOutput;
    std::string m_strShortName;
    jack_ringbuffer_t* m_pRing;
    // Output only, touched by the process callback alone: echoes of this cycle's arrivals
    // (their due is the frame in the cycle).
    std::array<OutEvent, 64> m_thru{};
    size_t m_nThru = 0;
};

/// The program's client on one JACK server. A server that has gone takes the client along: a
/// call through it may crash, so the ports of a dead session close nothing, and the session
/// itself is kept for the rest of the run.
class CJackSession {
public:
    explicit CJackSession(jack_client_t* client) : m_pClient(client) {}

    jack_client_t* Client() const { return m_pClient; }
    bool IsAlive() const { return m_bAlive.load(); }

    /// Puts a port into the process callback's table; false when the table is full.
    bool Insert(CJackPort* port) {
        for (auto& slot : m_slots) {
            CJackPort* expected = nullptr;
            if (slot.compare_exchange_strong(expected, port))
                return true;
        }
        return false;
    }
    /// Takes a port out of the table; true once no process callback can still be using it.
    bool Remove(CJackPort* port) {
        for (auto& slot : m_slots) {
            CJackPort* expected = port;
            slot.compare_exchange_strong(expected, nullptr);
        }
        return WaitForCycleEnd();
    }
    /// Waits until a cycle that may have begun before now has ended; false when the server
    /// has gone or stalls.
    bool WaitForCycleEnd() {
        const uint32_t cycles = m_nCycles.load();
        if (cycles % 2 == 0)
            return true;
        for (int i = 0; i < 20000 && IsAlive(); ++i) {
            if (m_nCycles.load() != cycles)
                return true;
            std::this_thread::sleep_for(100us);
        }
        return false;
    }
    /// Waits until count whole cycles have run from now; false when the server has gone or
    /// stalls.
    bool WaitForCycles(uint32_t count, std::chrono::milliseconds timeout) {
        const uint32_t start = m_nCycles.load();
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (m_nCycles.load() - start < 2 * count + 1) {
            if (!IsAlive() || std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(200us);
        }
        return true;
    }
    /// The frame the output has reached now, counted in the frames the cycles carried. JACK's
    /// own frame time skips frames at an xrun or a change of the period, but a peer hears,
    /// and a sequencer counts, only the frames that were carried.
    jack_nframes_t OutputFrame() const {
        return Jack().jack_frame_time(m_pClient) + m_toCarried.load(std::memory_order_relaxed);
    }
    /// How long count cycles of the server take now.
    std::chrono::microseconds CycleTime(unsigned count) const {
        const jack_nframes_t rate = Jack().jack_get_sample_rate(m_pClient);
        if (rate == 0)
            return 0us;
        return std::chrono::microseconds(1000000ull * count *
                                         Jack().jack_get_buffer_size(m_pClient) / rate);
    }

    static int Process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<CJackSession*>(arg);
        // Odd while the callback runs: Remove waits for it to end before a port is freed.
        self->m_nCycles.fetch_add(1);
        const jack_nframes_t cycleStart = self->m_carried;
        self->m_carried += frames;
        self->m_toCarried.store(cycleStart - Jack().jack_last_frame_time(self->m_pClient),
                                std::memory_order_relaxed);
        for (const bool outputs : {false, true}) {
            for (auto& slot : self->m_slots) {
                CJackPort* port = slot.load();
                if (port && port->IsOutput() == outputs)
                    port->Process(frames, cycleStart);
            }
        }
        self->m_nCycles.fetch_add(1);
        return 0;
    }
    /// Runs on JACK's thread when the server goes: every port of that server is dead now.
    static void OnShutdown(jack_status_t, const char*, void* arg) {
        static_cast<CJackSession*>(arg)->m_bAlive.store(false);
    }

    std::set<std::string> m_usedNames; // under the client's lock
    /// Ports that could not be unregistered (a callback might still use one, or the server
    /// is gone): they live as long as the session, so nothing frees memory JACK may touch.
    std::vector<std::unique_ptr<CJackPort>> m_retired; // under the client's lock

private:
    jack_client_t* m_pClient;
    std::atomic<bool> m_bAlive{true};
    std::array<std::atomic<CJackPort*>, kMaxPorts> m_slots{};
    std::atomic<uint32_t> m_nCycles{0};
    jack_nframes_t m_carried = 0; // the process callback's alone
    /// From JACK's frame time to the carried frames, as of the last cycle.
    std::atomic<jack_nframes_t> m_toCarried{0};
};

using JackSession = std::shared_ptr<CJackSession>;

/// The program's JACK client: opened on first use, kept for listing, connecting and every
/// port, and opened again when its server has gone and another answers.
class CJackClient {
public:
    static CJackClient& Instance() {
        static CJackClient client;
        return client;
    }
    ~CJackClient() {
        if (m_pSession && m_pSession->IsAlive())
            Jack().jack_client_close(m_pSession->Client());
    }

    /// The session on the server that answers now; null when none does.
    JackSession Session() {
        std::lock_guard lock(m_mutex);
        return Current();
    }

    /// Full names of the MIDI ports with these flags, in the server's order.
    std::vector<std::string> GetPorts(unsigned long flags) {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> names;
        const JackSession session = Current();
        if (!session)
            return names;
        if (const char** ports =
                Jack().jack_get_ports(session->Client(), nullptr, JACK_DEFAULT_MIDI_TYPE, flags)) {
            for (int i = 0; ports[i]; ++i)
                names.emplace_back(ports[i]);
            Jack().jack_free(ports);
        }
        return names;
    }

    bool PortExists(const std::string& name) {
        std::lock_guard lock(m_mutex);
        const JackSession session = Current();
        return session && Jack().jack_port_by_name(session->Client(), name.c_str()) != nullptr;
    }

    /// Registers a port of ours named base, base-2, base-3... (the lowest free) and puts it
    /// into the process callback's table; null when that fails.
    std::unique_ptr<CJackPort> AddPort(const JackSession& session, bool output) {
        std::lock_guard lock(m_mutex);
        if (!session->IsAlive())
            return nullptr;
        const std::string base = output ? "out" : "in";
        std::string name = base;
        for (int n = 2; session->m_usedNames.count(name); ++n)
            name = base + "-" + std::to_string(n);
        jack_port_t* handle =
            Jack().jack_port_register(session->Client(), name.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                      output ? JackPortIsOutput : JackPortIsInput, 0);
        if (!handle)
            return nullptr;
        auto port = std::make_unique<CJackPort>(handle, output, name);
        if (!port->IsValid() || !session->Insert(port.get())) {
            Jack().jack_port_unregister(session->Client(), handle);
            return nullptr;
        }
        session->m_usedNames.insert(name);
        return port;
    }

    /// Takes a port out of the process callback and unregisters it. On a server that has gone
    /// nothing is called and the port is left as it is.
    void RemovePort(const JackSession& session, std::unique_ptr<CJackPort>& port) {
        if (!port)
            return;
        const bool unused = session->Remove(port.get());
        std::lock_guard lock(m_mutex);
        if (!unused || !session->IsAlive()) {
            // A callback may still hold it, or its server is gone: kept with the session.
            session->m_retired.push_back(std::move(port));
            return;
        }
        Jack().jack_port_unregister(session->Client(), port->Port());
        session->m_usedNames.erase(port->ShortName());
        port.reset();
    }

    /// Connects two ports by name; false when either is missing. A peer that has just
    /// registered its port may not be active yet, and the server refuses connections to it
    /// until it is: such a connection is tried again for a short while. A new connection
    /// carries data only from the server's next cycles on, so the call returns after two of
    /// them and the first messages sent through it are not lost.
    bool Connect(const JackSession& session, const std::string& source,
                 const std::string& destination) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            switch (TryConnect(session, source, destination)) {
            case ConnectResult::Connected:
                session->WaitForCycles(2, 500ms);
                return true;
            case ConnectResult::PortMissing:
                return false;
            case ConnectResult::Refused:
                std::this_thread::sleep_for(10ms);
                break;
            }
        }
        return false;
    }

private:
    enum class ConnectResult { Connected, PortMissing, Refused };

    ConnectResult TryConnect(const JackSession& session, const std::string& source,
                             const std::string& destination) {
        std::lock_guard lock(m_mutex);
        if (!session->IsAlive())
            return ConnectResult::PortMissing;
        jack_client_t* client = session->Client();
        const int result = Jack().jack_connect(client, source.c_str(), destination.c_str());
        if (result == 0 || result == EEXIST)
            return ConnectResult::Connected;
        if (!Jack().jack_port_by_name(client, source.c_str()) ||
            !Jack().jack_port_by_name(client, destination.c_str()))
            return ConnectResult::PortMissing;
        return ConnectResult::Refused; // the peer's client is not active yet
    }

    JackSession Current() {
        if (m_pSession && !m_pSession->IsAlive())
            m_dead.push_back(std::move(m_pSession));
        if (!m_pSession)
            m_pSession = Open();
        return m_pSession;
    }

    static JackSession Open() {
        const JackApi* api = LoadJack();
        if (!api)
            return nullptr; // no JACK installed: no server either
        g_pJack.store(api);
        jack_client_t* client = nullptr;
        for (int n = 1; n <= 16 && !client; ++n) {
            std::string name = kOwnClientName;
            if (n > 1) {
                name += '-';
                name += std::to_string(n);
            }
            jack_status_t status{};
            client = Jack().jack_client_open(
                name.c_str(), jack_options_t(JackNoStartServer | JackUseExactName), &status);
            if (!client && !(status & JackNameNotUnique))
                break; // no server
        }
        if (!client)
            return nullptr;
        auto session = std::make_shared<CJackSession>(client);
        Jack().jack_set_process_callback(client, &CJackSession::Process, session.get());
        Jack().jack_on_info_shutdown(client, &CJackSession::OnShutdown, session.get());
        if (Jack().jack_activate(client) != 0) {
            Jack().jack_client_close(client);
            return nullptr;
        }
        return session;
    }

    std::mutex m_mutex;
    JackSession m_pSession;
    std::vector<JackSession> m_dead; // their clients may still call back; never freed
};

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
            sent = sent && Push(OutEvent{due, liveEcho, 3, {status, d1, d2}});
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
        OutEvent event{0,
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
    bool Push(const OutEvent& event) {
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
            sem_post(&m_pPort->ready);
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
    /// Hands what the process callback took to the receiver, off JACK's thread, in order.
    void Deliver() {
        for (;;) {
            while (sem_wait(&m_pPort->ready) != 0 && errno == EINTR) {
            }
            if (m_bQuit.load())
                return;
            InEvent event;
            while (Jack().jack_ringbuffer_read(m_pPort->Ring(), reinterpret_cast<char*>(&event),
                                               sizeof event) == sizeof event) {
                if (!m_pPort->started.load() || !m_data)
                    continue;
                uint32_t packed = 0;
                for (int i = 0; i < event.size; ++i)
                    packed |= uint32_t(event.bytes[i]) << (8 * i);
                m_data(packed);
            }
        }
    }

    MidiInData m_data;
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
    // Neither our client nor the synthesizer's JACK driver may start a server.
    setenv("JACK_NO_START_SERVER", "1", 1);
    return std::make_unique<CJackBackend>();
}
