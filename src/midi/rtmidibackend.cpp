// RtMidi backends: every port of the ALSA sequencer and of a running JACK server.
// Neither may start a JACK server or print anything when its system is missing.
#include "midibackend.h"

#include <rtmidi/RtMidi.h>

#include <jack/jack.h>

#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "midinames.h"

namespace {

constexpr const char* kClientName = "KesV";

void SilentJackMessage(const char*) {}

void SilenceJack() {
    static std::once_flag once;
    std::call_once(once, [] {
        // RtMidi's JACK API and the synthesizer's JACK driver must never start a server.
        setenv("JACK_NO_START_SERVER", "1", 1);
        jack_set_error_function(SilentJackMessage);
        jack_set_info_function(SilentJackMessage);
    });
}

void IgnoreRtMidiError(RtMidiError::Type, const std::string&, void*) {}

/// The life of one JACK server as the ports opened on it see it. A server that has gone takes
/// every client on it along: a call through such a client (a port's unregistering, a close)
/// may crash, so a port of a dead server closes nothing and leaks its client instead.
struct JackServerLife {
    std::atomic<bool> alive{true};
};
using JackServer = std::shared_ptr<const JackServerLife>;

bool IsGone(const JackServer& server) {
    return server && !server->alive.load();
}

/// Deletes an RtMidi object, or leaks it when its JACK server has gone: its destructor would
/// unregister the port and close the client through that server.
template <typename Rt> void DeleteRtMidi(std::unique_ptr<Rt>& rt, const JackServer& server) {
    if (IsGone(server))
        (void)rt.release();
    else
        rt.reset();
}

/// One JACK client kept open for listing ports and checking that a peer is still there, so
/// that a catalogue costs no client of its own. Reopened when the server has gone away.
class CJackWatch {
public:
    static CJackWatch& Instance() {
        static CJackWatch watch;
        return watch;
    }
    ~CJackWatch() {
        if (m_pClient && m_pServer->alive.load())
            jack_client_close(m_pClient);
    }

    bool IsServerRunning() {
        std::lock_guard lock(m_mutex);
        return Client() != nullptr;
    }

    /// The server that answers now, as ports opened on it see it; null when none does.
    JackServer Server() {
        std::lock_guard lock(m_mutex);
        return Client() ? m_pServer : nullptr;
    }

    /// Full names of the MIDI ports with these flags, in the server's order (RtMidi's too).
    std::vector<std::string> GetPorts(unsigned long flags) {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> names;
        jack_client_t* client = Client();
        if (!client)
            return names;
        if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags)) {
            for (int i = 0; ports[i]; ++i)
                names.emplace_back(ports[i]);
            jack_free(ports);
        }
        return names;
    }

    /// How long messages written now may wait for the server's next cycles to take them.
    std::chrono::milliseconds DrainTime() {
        std::lock_guard lock(m_mutex);
        jack_client_t* client = Client();
        if (!client)
            return std::chrono::milliseconds(0);
        const jack_nframes_t rate = jack_get_sample_rate(client);
        const jack_nframes_t frames = jack_get_buffer_size(client);
        const auto periods = std::chrono::milliseconds(rate ? 4 * 1000 * frames / rate : 0);
        return std::max(std::chrono::milliseconds(20), periods);
    }

    /// Connects two ports by name; false when either is missing. A peer that has just
    /// registered its port may not be active yet, and the server refuses connections to it
    /// until it is: such a connection is tried again for a short while. A new connection
    /// carries data only from the server's next cycles on, so the call returns after two of
    /// them and the first messages sent through it are not lost.
    bool Connect(const std::string& source, const std::string& destination) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            switch (TryConnect(source, destination)) {
            case ConnectResult::Connected:
                std::this_thread::sleep_for(TwoCycles());
                return true;
            case ConnectResult::PortMissing:
                return false;
            case ConnectResult::Refused:
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                break;
            }
        }
        return false;
    }

    bool PortExists(const std::string& name) {
        std::lock_guard lock(m_mutex);
        jack_client_t* client = Client();
        return client && jack_port_by_name(client, name.c_str()) != nullptr;
    }

private:
    enum class ConnectResult { Connected, PortMissing, Refused };

    ConnectResult TryConnect(const std::string& source, const std::string& destination) {
        std::lock_guard lock(m_mutex);
        jack_client_t* client = Client();
        if (!client)
            return ConnectResult::PortMissing;
        const int result = jack_connect(client, source.c_str(), destination.c_str());
        if (result == 0 || result == EEXIST)
            return ConnectResult::Connected;
        if (!jack_port_by_name(client, source.c_str()) ||
            !jack_port_by_name(client, destination.c_str()))
            return ConnectResult::PortMissing;
        return ConnectResult::Refused; // the peer's client is not active yet
    }

    std::chrono::microseconds TwoCycles() {
        std::lock_guard lock(m_mutex);
        jack_client_t* client = Client();
        const jack_nframes_t rate = client ? jack_get_sample_rate(client) : 0;
        if (rate == 0)
            return std::chrono::microseconds(0);
        return std::chrono::microseconds(2000000ull * jack_get_buffer_size(client) / rate);
    }

    jack_client_t* Client() {
        if (m_pClient && !m_pServer->alive.load()) {
            // Left unclosed like the ports' clients. JACK's library itself deletes the clients
            // of a server that has gone when the next client opens, so a close of ours could
            // even come after that.
            m_pClient = nullptr;
        }
        if (!m_pClient) {
            SilenceJack();
            m_pClient = jack_client_open(kClientName, JackNoStartServer, nullptr);
            if (m_pClient) {
                // A new server: ports opened from now on are its ports.
                m_pServer = std::make_shared<JackServerLife>();
                jack_on_info_shutdown(m_pClient, &CJackWatch::OnShutdown, m_pServer.get());
                jack_activate(m_pClient); // an active client hears of the server's shutdown
            }
        }
        return m_pClient;
    }
    /// Runs on JACK's thread when the server goes: every port of that server is dead now.
    static void OnShutdown(jack_status_t, const char*, void* life) {
        static_cast<JackServerLife*>(life)->alive.store(false);
    }

    std::mutex m_mutex;
    jack_client_t* m_pClient = nullptr;
    std::shared_ptr<JackServerLife> m_pServer; // kept while m_pClient may call OnShutdown
};

/// Bytes of a short message by its status byte; 0 when the status cannot start one.
int ShortMessageLength(uint8_t status) {
    if (status < 0x80 || status == 0xF0 || status == 0xF7)
        return 0;
    if (status < 0xF0)
        return (status & 0xE0) == 0xC0 ? 2 : 3;
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    default:
        return 1;
    }
}

bool IsOwnPort(const std::string& fullName) {
    static const std::regex own(R"(^KesV(-\d+)*:.*)");
    return std::regex_match(fullName, own);
}

/// A JACK client name of our own that no other client has: "KesV-<process>-<n>". Knowing it,
/// we connect our ports to a peer by name; connecting by RtMidi's port index could reach
/// another port when other programs add or remove ports meanwhile.
std::string MakeJackClientName() {
    static std::atomic<unsigned> counter{0};
    return std::string(kClientName) + "-" + std::to_string(getpid()) + "-" +
           std::to_string(++counter);
}

/// Finds a port by the full name it had when the catalogue was taken.
template <typename Rt> int FindPort(Rt& rt, const std::string& key) {
    const unsigned count = rt.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        if (rt.getPortName(i) == key)
            return int(i);
    }
    return -1;
}

class CRtOutDevice final : public IMidiOutDevice {
public:
    /// peer: the JACK port this device sends to, checked before every send, and server: the
    /// JACK server of both; empty and null for ALSA.
    CRtOutDevice(std::unique_ptr<RtMidiOut> out, std::string peer, JackServer server,
                 MidiNotify notify)
        : m_pOut(std::move(out)), m_strPeer(std::move(peer)), m_pServer(std::move(server)),
          m_notify(std::move(notify)) {
        m_pOut->setErrorCallback(&CRtOutDevice::OnError, this);
        if (m_notify)
            m_notify(kMomOpen, 0, 0);
    }
    ~CRtOutDevice() override {
        // RtMidi hands JACK the messages in the client's next cycles and drops what is still
        // waiting when the client closes: give the last ones, the reset above all, time to go.
        // The wait also lets the news of a server that has just gone arrive before the close.
        if (!m_strPeer.empty() && !IsGone(m_pServer))
            std::this_thread::sleep_for(CJackWatch::Instance().DrainTime());
        DeleteRtMidi(m_pOut, m_pServer);
        if (m_notify)
            m_notify(kMomClose, 0, 0);
    }

    MidiResult SendShort(uint32_t message) override {
        // The server first: a new one may have a peer port of the same name.
        if (IsGone(m_pServer) ||
            (!m_strPeer.empty() && !CJackWatch::Instance().PortExists(m_strPeer)))
            m_bGone.store(true);
        if (m_bGone.load(std::memory_order_relaxed))
            return kMidiErrInvalidHandle;
        const std::array<unsigned char, 3> bytes{static_cast<unsigned char>(message),
                                                 static_cast<unsigned char>(message >> 8),
                                                 static_cast<unsigned char>(message >> 16)};
        const int length = ShortMessageLength(bytes[0]);
        if (length == 0)
            return kMidiErrInvalidParam;
        m_pOut->sendMessage(bytes.data(), size_t(length));
        if (m_bGone.load(std::memory_order_relaxed))
            return kMidiErrInvalidHandle;
        Track(bytes[0], bytes[1], bytes[2]);
        return kMidiOk;
    }

    MidiResult Reset() override {
        if (IsGone(m_pServer))
            m_bGone.store(true);
        if (m_bGone.load(std::memory_order_relaxed))
            return kMidiErrInvalidHandle;
        for (int channel = 0; channel < 16; ++channel) {
            for (int key = 0; key < 128; ++key) {
                if (m_sounding[size_t(channel * 128 + key)]) {
                    const unsigned char off[3] = {static_cast<unsigned char>(0x80 | channel),
                                                  static_cast<unsigned char>(key), 0};
                    m_pOut->sendMessage(off, 3);
                }
            }
            const unsigned char sustainOff[3] = {static_cast<unsigned char>(0xB0 | channel), 64, 0};
            const unsigned char allNotesOff[3] = {static_cast<unsigned char>(0xB0 | channel), 123,
                                                  0};
            m_pOut->sendMessage(sustainOff, 3);
            m_pOut->sendMessage(allNotesOff, 3);
        }
        m_sounding.reset();
        return kMidiOk;
    }

private:
    static void OnError(RtMidiError::Type type, const std::string&, void* self) {
        if (type == RtMidiError::DRIVER_ERROR || type == RtMidiError::SYSTEM_ERROR ||
            type == RtMidiError::INVALID_USE)
            static_cast<CRtOutDevice*>(self)->m_bGone.store(true);
    }

    void Track(uint8_t status, uint8_t key, uint8_t velocity) {
        const size_t index = size_t((status & 0x0F) * 128 + (key & 0x7F));
        if ((status & 0xF0) == 0x90 && velocity > 0)
            m_sounding.set(index);
        else if ((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90)
            m_sounding.reset(index);
    }

    std::unique_ptr<RtMidiOut> m_pOut;
    std::string m_strPeer;
    JackServer m_pServer;
    MidiNotify m_notify;
    std::atomic<bool> m_bGone{false};
    std::bitset<16 * 128> m_sounding;
};

class CRtInDevice final : public IMidiInDevice {
public:
    explicit CRtInDevice(MidiNotify notify) : m_notify(std::move(notify)) {}
    ~CRtInDevice() override {
        // Deleting the RtMidi object ends its callbacks before the notification below; a
        // dead server makes no more callbacks.
        DeleteRtMidi(m_pIn, m_pServer);
        if (m_notify)
            m_notify(kMimClose, 0, 0);
    }

    MidiResult Open(RtMidi::Api api, const std::string& key) {
        try {
            const bool jack = api == RtMidi::UNIX_JACK;
            const std::string client = jack ? MakeJackClientName() : std::string(kClientName);
            if (jack) {
                m_pServer = CJackWatch::Instance().Server();
                if (!m_pServer)
                    return kMidiErrNoDriver;
            }
            m_pIn = std::make_unique<RtMidiIn>(api, client);
            m_pIn->setErrorCallback(&IgnoreRtMidiError, nullptr);
            if (jack) {
                m_pIn->ignoreTypes(true, false, false);
                m_pIn->setCallback(&CRtInDevice::OnMessage, this);
                m_pIn->openVirtualPort("in");
                if (!CJackWatch::Instance().Connect(key, client + ":in"))
                    return kMidiErrNoDevice;
                if (m_notify)
                    m_notify(kMimOpen, 0, 0);
                return kMidiOk;
            }
            const int index = FindPort(*m_pIn, key);
            if (index < 0)
                return kMidiErrNoDevice;
            // Long (system-exclusive) messages are not received; every short message is.
            m_pIn->ignoreTypes(true, false, false);
            m_pIn->setCallback(&CRtInDevice::OnMessage, this);
            m_pIn->openPort(unsigned(index), "in");
            if (!m_pIn->isPortOpen())
                return kMidiErrError;
        } catch (const RtMidiError&) {
            return kMidiErrNoDriver;
        }
        if (m_notify)
            m_notify(kMimOpen, 0, 0);
        return kMidiOk;
    }

    MidiResult Start() override {
        if (IsGone(m_pServer))
            return kMidiErrInvalidHandle;
        m_startNs.store(Now());
        m_bStarted.store(true);
        return kMidiOk;
    }
    MidiResult Stop() override {
        m_bStarted.store(false);
        return IsGone(m_pServer) ? kMidiErrInvalidHandle : kMidiOk;
    }
    MidiResult Reset() override {
        m_bStarted.store(false);
        return IsGone(m_pServer) ? kMidiErrInvalidHandle : kMidiOk;
    }

private:
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    static void OnMessage(double, std::vector<unsigned char>* message, void* user) {
        auto* self = static_cast<CRtInDevice*>(user);
        if (!self->m_bStarted.load() || !self->m_notify || message->empty())
            return;
        const int length = ShortMessageLength((*message)[0]);
        if (length == 0 || message->size() < size_t(length))
            return;
        uint32_t packed = 0;
        for (int i = 0; i < length; ++i)
            packed |= uint32_t((*message)[size_t(i)]) << (8 * i);
        const auto stamp = uint32_t((Now() - self->m_startNs.load()) / 1000000);
        self->m_notify(kMimData, packed, stamp);
    }

    MidiNotify m_notify;
    JackServer m_pServer; // null for ALSA
    std::unique_ptr<RtMidiIn> m_pIn;
    std::atomic<bool> m_bStarted{false};
    std::atomic<int64_t> m_startNs{0};
};

class CRtMidiBackend final : public IMidiBackend {
public:
    CRtMidiBackend(RtMidi::Api api, uint16_t productId) : m_api(api), m_wPid(productId) {}

    void List(std::vector<MidiPortRecord>& inputs, std::vector<MidiPortRecord>& outputs) override {
        if (!IsAvailable())
            return;
        if (m_api == RtMidi::UNIX_JACK) {
            // Peers' outputs are our inputs and the other way round.
            CollectNames(CJackWatch::Instance().GetPorts(JackPortIsOutput), inputs);
            CollectNames(CJackWatch::Instance().GetPorts(JackPortIsInput), outputs);
            return;
        }
        try {
            RtMidiIn in(m_api, kClientName);
            in.setErrorCallback(&IgnoreRtMidiError, nullptr);
            Collect(in, inputs);
            RtMidiOut out(m_api, kClientName);
            out.setErrorCallback(&IgnoreRtMidiError, nullptr);
            Collect(out, outputs);
        } catch (const RtMidiError&) {
            // The system went away between the check and the listing: list nothing.
        }
    }

    MidiResult OpenOutput(const MidiPortRecord& port, MidiNotify notify,
                          std::unique_ptr<IMidiOutDevice>& device) override {
        if (!IsAvailable())
            return kMidiErrNoDriver;
        try {
            if (m_api == RtMidi::UNIX_JACK) {
                JackServer server = CJackWatch::Instance().Server();
                if (!server)
                    return kMidiErrNoDriver;
                const std::string client = MakeJackClientName();
                auto out = std::make_unique<RtMidiOut>(m_api, client);
                out->setErrorCallback(&IgnoreRtMidiError, nullptr);
                out->openVirtualPort("out");
                if (!CJackWatch::Instance().Connect(client + ":out", port.key)) {
                    DeleteRtMidi(out, server);
                    return kMidiErrNoDevice;
                }
                device = std::make_unique<CRtOutDevice>(std::move(out), port.key, std::move(server),
                                                        std::move(notify));
                return kMidiOk;
            }
            auto out = std::make_unique<RtMidiOut>(m_api, kClientName);
            out->setErrorCallback(&IgnoreRtMidiError, nullptr);
            const int index = FindPort(*out, port.key);
            if (index < 0)
                return kMidiErrNoDevice;
            out->openPort(unsigned(index), "out");
            if (!out->isPortOpen())
                return kMidiErrError;
            device = std::make_unique<CRtOutDevice>(std::move(out), std::string(), nullptr,
                                                    std::move(notify));
            return kMidiOk;
        } catch (const RtMidiError&) {
            return kMidiErrNoDriver;
        }
    }

    MidiResult OpenInput(const MidiPortRecord& port, MidiNotify notify,
                         std::unique_ptr<IMidiInDevice>& device) override {
        if (!IsAvailable())
            return kMidiErrNoDriver;
        auto in = std::make_unique<CRtInDevice>(std::move(notify));
        const MidiResult result = in->Open(m_api, port.key);
        if (result == kMidiOk)
            device = std::move(in);
        return result;
    }

private:
    bool IsAvailable() const {
        if (m_api == RtMidi::LINUX_ALSA)
            return access("/dev/snd/seq", R_OK | W_OK) == 0;
        return IsJackServerRunning();
    }

    template <typename Rt> void Collect(Rt& rt, std::vector<MidiPortRecord>& ports) const {
        std::vector<std::string> names;
        const unsigned count = rt.getPortCount();
        for (unsigned i = 0; i < count; ++i)
            names.push_back(rt.getPortName(i));
        CollectNames(names, ports);
    }

    void CollectNames(const std::vector<std::string>& names,
                      std::vector<MidiPortRecord>& ports) const {
        for (const std::string& full : names) {
            if (full.empty() || IsOwnPort(full))
                continue;
            MidiPortRecord record;
            record.key = full;
            record.legacyName = StripVolatileNumbers(full);
            record.name = ToDeviceName(record.legacyName);
            record.wPid = m_wPid;
            record.vDriverVersion = 0x0500; // RtMidi 5.0
            record.wTechnology = kModMidiPort;
            ports.push_back(std::move(record));
        }
    }

    RtMidi::Api m_api;
    uint16_t m_wPid;
};

} // namespace

bool IsJackServerRunning() {
    return CJackWatch::Instance().IsServerRunning();
}

std::unique_ptr<IMidiBackend> CreateAlsaBackend() {
    return std::make_unique<CRtMidiBackend>(RtMidi::LINUX_ALSA, 1);
}

std::unique_ptr<IMidiBackend> CreateJackBackend() {
    SilenceJack();
    return std::make_unique<CRtMidiBackend>(RtMidi::UNIX_JACK, 2);
}
