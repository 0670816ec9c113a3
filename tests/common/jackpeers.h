// Peers on a real JACK server for the MIDI tests and benchmarks: the JACK example programs as
// child processes, their printed output, and a small keyboard client of our own that plays
// into KesV's input and hears what KesV sends.
#pragma once

#include "midi/mididevicelist.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace jackpeers {

inline void Quiet(const char*) {}

/// True when the JACK server named by JACK_DEFAULT_SERVER answers; never starts one.
inline bool JackServerAnswers() {
    if (!std::getenv("JACK_DEFAULT_SERVER"))
        return false;
    setenv("JACK_NO_START_SERVER", "1", 1);
    jack_set_error_function(Quiet);
    jack_set_info_function(Quiet);
    jack_client_t* client = jack_client_open("kesv-probe", JackNoStartServer, nullptr);
    if (!client)
        return false;
    jack_client_close(client);
    return true;
}

/// A private JACK server (dummy driver) that the test starts and stops. Its name, which Start
/// puts into JACK_DEFAULT_SERVER for every client of the process, is the first of
/// kesv-private-1 to -4 that no live server has: JACK's shared registry holds 8 servers and
/// gives the slot of a killed one back only to a new server of the same name.
class CPrivateServer {
public:
    /// `prefix`-1 to -4: the first name no live server answers (JACK's shared registry holds
    /// 8 servers and gives the slot of a killed one back only to a server of the same name).
    explicit CPrivateServer(int period = 256, std::string prefix = "kesv-private")
        : m_strPeriod(std::to_string(period)), m_strPrefix(std::move(prefix)) {}
    ~CPrivateServer() { Stop(); }
    CPrivateServer(const CPrivateServer&) = delete;
    CPrivateServer& operator=(const CPrivateServer&) = delete;

    bool Start() {
        for (int n = 1; n <= 4; ++n) {
            const std::string name = m_strPrefix + "-" + std::to_string(n);
            setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
            if (JackServerAnswers())
                continue; // another run's
            if (Spawn(name))
                return true;
            if (m_bNoJackd)
                return false;
        }
        return false;
    }

    /// Stops the server as a user does (SIGINT) and waits for it to end.
    void Stop() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGINT);
        for (int i = 0; i < 500; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    bool Spawn(const std::string& name) {
        m_pid = fork();
        if (m_pid == 0) {
            // The server must not outlive a test that crashes.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execlp("jackd", "jackd", "-n", name.c_str(), "-d", "dummy", "-r", "48000", "-p",
                   m_strPeriod.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; m_pid > 0 && i < 100; ++i) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                // No jackd, or another run took the name meanwhile.
                m_bNoJackd = WIFEXITED(status) && WEXITSTATUS(status) == 127;
                m_pid = -1;
                return false;
            }
            if (JackServerAnswers())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        Stop();
        return false;
    }

    std::string m_strPeriod;
    std::string m_strPrefix;
    pid_t m_pid = -1;
    bool m_bNoJackd = false;
};

/// A peer program whose standard output goes to a file; ended with SIGTERM (SIGKILL after 3 s).
class CChild {
public:
    CChild(std::vector<std::string> args, const std::string& outFile) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CChild() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        // A peer that hangs in its own shutdown must not hang the test run.
        for (int i = 0; i < 300; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;
    bool Running() const { return m_pid > 0; }
    /// Waits up to timeout for the program to end by itself; true when it has.
    bool Wait(std::chrono::milliseconds timeout) {
        for (auto end = std::chrono::steady_clock::now() + timeout;
             m_pid > 0 && std::chrono::steady_clock::now() < end;) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return m_pid <= 0;
    }

private:
    pid_t m_pid = -1;
};

/// One line of `jack_midi_dump -a`: "  21888: 90 3c 40 note on ...": the frame counted from the
/// program's start and the message packed with the status in the low byte.
struct DumpEvent {
    uint64_t frame = 0;
    uint32_t message = 0;
};

inline std::vector<DumpEvent> ReadDump(const std::string& file) {
    std::vector<DumpEvent> events;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        DumpEvent event;
        try {
            event.frame = std::stoull(line.substr(0, colon));
        } catch (...) {
            continue;
        }
        std::istringstream words(line.substr(colon + 1));
        std::string word;
        int count = 0;
        while (count < 3 && words >> word && word.size() == 2 && std::isxdigit(uint8_t(word[0])) &&
               std::isxdigit(uint8_t(word[1])))
            event.message |= uint32_t(std::stoul(word, nullptr, 16)) << (8 * count++);
        if (count > 0)
            events.push_back(event);
    }
    return events;
}

/// Waits up to timeout for at least count events in the dump file.
inline std::vector<DumpEvent> WaitForDump(const std::string& file, size_t count,
                                          std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::vector<DumpEvent> events = ReadDump(file);
    while (events.size() < count && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        events = ReadDump(file);
    }
    return events;
}

/// True once the device catalogue lists a device of that name; false after 5 s.
inline bool WaitForDevice(const std::string& name, bool input) {
    CMidiDeviceList list;
    for (int i = 0; i < 100; ++i) {
        if (list.FindByName(name.c_str(), input) >= 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        list.Refresh();
    }
    return false;
}

/// A JACK client with a MIDI output port "out" (a keyboard for KesV's input) and a MIDI input
/// port "in" (where KesV's output can be sent). Messages given to Send go out in the next
/// cycles (all at its start unless paced); what arrives at "in" is kept with its absolute
/// frame time.
class CJackKeyboard {
public:
    struct Arrival {
        uint64_t frame;
        uint32_t message;
    };
    static constexpr size_t kCapacity = 1 << 14;

    explicit CJackKeyboard(const std::string& name) {
        m_pClient = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (!m_pClient)
            return;
        m_pOut = jack_port_register(m_pClient, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        m_pIn = jack_port_register(m_pClient, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_pClient, &CJackKeyboard::Process, this);
        if (!m_pOut || !m_pIn || jack_activate(m_pClient) != 0) {
            jack_client_close(m_pClient);
            m_pClient = nullptr;
        }
    }
    ~CJackKeyboard() {
        if (m_pClient)
            jack_client_close(m_pClient);
    }
    CJackKeyboard(const CJackKeyboard&) = delete;
    CJackKeyboard& operator=(const CJackKeyboard&) = delete;

    bool IsOpen() const { return m_pClient != nullptr; }
    uint32_t GetSampleRate() const { return jack_get_sample_rate(m_pClient); }
    uint32_t GetBufferSize() const { return jack_get_buffer_size(m_pClient); }

    /// From now on at most perCycle queued messages leave in a cycle, spread evenly over it or
    /// all on its first frame; 0: every queued one, on the first frame.
    void SetPacing(size_t perCycle, bool spread) {
        m_nPerCycle.store(perCycle);
        m_bSpread.store(spread);
    }

    /// Queues one short message; false when the queue is full.
    bool Send(uint32_t message) {
        const size_t head = m_nSendHead.load(std::memory_order_relaxed);
        if (head - m_nSendTail.load(std::memory_order_acquire) >= kQueue)
            return false;
        m_sendQueue[head % kQueue] = message;
        m_nSendHead.store(head + 1, std::memory_order_release);
        return true;
    }
    /// Frame time at which the n-th message given to Send went out; 0 while it has not.
    uint64_t SentFrame(size_t n) const {
        return n < m_nSendTail.load(std::memory_order_acquire) ? m_sentFrames[n % kCapacity] : 0;
    }
    size_t SentCount() const { return m_nSendTail.load(std::memory_order_acquire); }
    size_t ArrivalCount() const { return m_nArrivals.load(std::memory_order_acquire); }
    Arrival GetArrival(size_t n) const { return m_arrivals[n % kCapacity]; }
    /// Waits up to timeout for at least count arrivals.
    bool WaitForArrivals(size_t count, std::chrono::milliseconds timeout) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (ArrivalCount() < count && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return ArrivalCount() >= count;
    }

private:
    static constexpr size_t kQueue = 1024;

    static int Process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<CJackKeyboard*>(arg);
        const uint64_t cycleStart = jack_last_frame_time(self->m_pClient);

        void* outBuffer = jack_port_get_buffer(self->m_pOut, frames);
        jack_midi_clear_buffer(outBuffer);
        size_t tail = self->m_nSendTail.load(std::memory_order_relaxed);
        const size_t perCycle = self->m_nPerCycle.load();
        const size_t head = std::min(self->m_nSendHead.load(std::memory_order_acquire),
                                     perCycle > 0 ? tail + perCycle : SIZE_MAX);
        const bool spread = perCycle > 0 && self->m_bSpread.load();
        for (size_t n = 0; tail < head; ++tail, ++n) {
            const uint32_t message = self->m_sendQueue[tail % kQueue];
            const jack_midi_data_t bytes[3] = {jack_midi_data_t(message & 0xFF),
                                               jack_midi_data_t((message >> 8) & 0xFF),
                                               jack_midi_data_t((message >> 16) & 0xFF)};
            const size_t size = (bytes[0] & 0xF0) == 0xC0 || (bytes[0] & 0xF0) == 0xD0 ? 2 : 3;
            const auto frame = jack_nframes_t(spread ? n * frames / perCycle : 0);
            if (jack_midi_event_write(outBuffer, frame, bytes, size) != 0)
                break;
            self->m_sentFrames[tail % kCapacity] = cycleStart + frame;
        }
        self->m_nSendTail.store(tail, std::memory_order_release);

        void* inBuffer = jack_port_get_buffer(self->m_pIn, frames);
        const jack_nframes_t count = jack_midi_get_event_count(inBuffer);
        size_t n = self->m_nArrivals.load(std::memory_order_relaxed);
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, inBuffer, i) != 0 || event.size == 0)
                continue;
            uint32_t message = 0;
            for (size_t b = 0; b < event.size && b < 3; ++b)
                message |= uint32_t(event.buffer[b]) << (8 * b);
            self->m_arrivals[n % kCapacity] = {cycleStart + event.time, message};
            ++n;
        }
        self->m_nArrivals.store(n, std::memory_order_release);
        return 0;
    }

    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pOut = nullptr;
    jack_port_t* m_pIn = nullptr;
    std::array<uint32_t, kQueue> m_sendQueue{};
    std::atomic<size_t> m_nSendHead{0};
    std::atomic<size_t> m_nSendTail{0};
    std::atomic<size_t> m_nPerCycle{0};
    std::atomic<bool> m_bSpread{false};
    std::array<uint64_t, kCapacity> m_sentFrames{};
    std::array<Arrival, kCapacity> m_arrivals{};
    std::atomic<size_t> m_nArrivals{0};
};

/// Counts the cycles the server misses (xruns); in a missed cycle a peer may lose events.
class CXrunCounter {
public:
    explicit CXrunCounter(const std::string& name) {
        m_pClient = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (!m_pClient)
            return;
        jack_set_xrun_callback(
            m_pClient,
            [](void* count) {
                static_cast<std::atomic<int>*>(count)->fetch_add(1);
                return 0;
            },
            &m_nCount);
        jack_activate(m_pClient);
    }
    ~CXrunCounter() {
        if (m_pClient)
            jack_client_close(m_pClient);
    }
    CXrunCounter(const CXrunCounter&) = delete;
    CXrunCounter& operator=(const CXrunCounter&) = delete;
    int Count() const { return m_nCount.load(); }

private:
    jack_client_t* m_pClient = nullptr;
    std::atomic<int> m_nCount{0};
};

/// A client that, when asked, holds up one cycle of the server for a while: the server then
/// misses cycles (an xrun), as on a machine that cannot keep up.
class CJackStall {
public:
    explicit CJackStall(const std::string& name) {
        m_pClient = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (!m_pClient)
            return;
        jack_set_process_callback(m_pClient, &CJackStall::Process, this);
        if (jack_activate(m_pClient) != 0) {
            jack_client_close(m_pClient);
            m_pClient = nullptr;
        }
    }
    ~CJackStall() {
        if (m_pClient)
            jack_client_close(m_pClient);
    }
    CJackStall(const CJackStall&) = delete;
    CJackStall& operator=(const CJackStall&) = delete;
    bool IsOpen() const { return m_pClient != nullptr; }
    /// The next cycle of this client lasts at least `time`.
    void Stall(std::chrono::milliseconds time) { m_nStallMs.store(int(time.count())); }

private:
    static int Process(jack_nframes_t, void* arg) {
        auto* self = static_cast<CJackStall*>(arg);
        if (const int ms = self->m_nStallMs.exchange(0); ms > 0) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            while (std::chrono::steady_clock::now() < end) {
            }
        }
        return 0;
    }

    jack_client_t* m_pClient = nullptr;
    std::atomic<int> m_nStallMs{0};
};

} // namespace jackpeers
