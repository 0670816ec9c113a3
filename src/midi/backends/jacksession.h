// The JACK backend's meeting point: one port of ours (CJackPort) and the program's client on one
// server (CJackSession). The devices and JACK's process thread share these and meet only at
// lock-free rings and atomics; what runs on the process thread is in jackprocess.cpp.
#pragma once

#include "jacklib.h"

#include <semaphore.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

constexpr size_t kMaxJackPorts = 64;

/// A message on its way to the process callback: due is a JACK frame time; a live echo goes
/// out in the next cycle whatever its stamp.
struct JackOutEvent {
    jack_nframes_t due;
    uint8_t liveEcho;
    uint8_t size;
    uint8_t bytes[3];
};

/// A short message the process callback took from an input port.
struct JackInEvent {
    uint8_t size;
    uint8_t bytes[3];
};

/// One port of ours. Its ring has one writer (the device, or for an input the process
/// callback) and one reader.
class CJackPort {
public:
    CJackPort(jack_port_t* port, bool output, std::string shortName);
    ~CJackPort();
    CJackPort(const CJackPort&) = delete;
    CJackPort& operator=(const CJackPort&) = delete;

    /// False when the ring or, for an input, its semaphore could not be had.
    bool IsValid() const { return m_pRing != nullptr && (m_bOutput || m_bReady); }
    bool IsOutput() const { return m_bOutput; }
    jack_port_t* Port() const { return m_pPort; }
    const std::string& ShortName() const { return m_strShortName; }
    jack_ringbuffer_t* Ring() const { return m_pRing; }

    /// The process callback's work on this port in cycle number `cycle`: every input first
    /// (which may hand its arrivals to an output to echo), then every output. `missed`: the
    /// server missed a cycle since the last one, so arrivals may have been lost.
    void Process(jack_nframes_t frames, jack_nframes_t cycleStart, uint64_t cycle, bool missed);

    /// Input only: waits until the process callback has put arrivals into the ring or marked a
    /// loss, or until WakeReader.
    void WaitForArrivals();
    void WakeReader();

    /// Output only: the connections the port had in the last cycle; -1 before the first.
    std::atomic<int> connections{-1};
    /// Input only: arrivals are kept while started.
    std::atomic<bool> started{false};
    /// Input only: the output port each arrival is echoed to in its own cycle, or null.
    std::atomic<CJackPort*> thru{nullptr};
    /// Input only: how often arrivals may have been lost while started (a missed cycle, a full
    /// ring, an echo that did not fit into its output's cycle).
    std::atomic<uint32_t> lost{0};

private:
    /// An input's buffer of this cycle, whose messages the output echoes as it writes.
    struct ThruSource {
        CJackPort* input;
        void* buffer;
        jack_nframes_t count;
        jack_nframes_t next; // the first event not yet echoed or skipped
    };

    void WriteCycle(void* buffer, jack_nframes_t frames, jack_nframes_t cycleStart, uint64_t cycle);
    void ReadCycle(void* buffer, uint64_t cycle, bool missed);
    /// Output only: echoes the arrivals of `input` in this cycle.
    void AddThruSource(CJackPort* input, void* buffer, jack_nframes_t count, uint64_t cycle);
    /// Output only: the source with the earliest arrival still to echo, that arrival in event;
    /// null when every one is echoed.
    ThruSource* NextThru(jack_midi_event_t& event);
    void MarkLost();

    jack_port_t* m_pPort;
    bool m_bOutput;
    std::string m_strShortName;
    jack_ringbuffer_t* m_pRing;
    sem_t m_ready;         // input only: posted by the process callback after arrivals
    bool m_bReady = false; // m_ready was initialised
    // Output only, touched by the process callback alone: the inputs echoed in cycle
    // m_thruCycle. Their buffers hold every arrival, however many share a cycle, and are
    // valid for that cycle only.
    std::array<ThruSource, kMaxJackPorts> m_thru{};
    size_t m_nThru = 0;
    uint64_t m_thruCycle = 0;
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
    bool Insert(CJackPort* port);
    /// Takes a port out of the table; true once no process callback can still be using it.
    bool Remove(CJackPort* port);
    /// Whether no port is in the table.
    bool IsTableEmpty() const;
    /// Waits until a cycle that may have begun before now has ended; false when the server
    /// has gone or stalls.
    bool WaitForCycleEnd();
    /// Waits until count whole cycles have run from now; false when the server has gone or
    /// stalls.
    bool WaitForCycles(uint32_t count, std::chrono::milliseconds timeout);
    /// The frame the output has reached now, counted in the frames the cycles carried. JACK's
    /// own frame time skips frames at an xrun or a change of the period, but a peer hears,
    /// and a sequencer counts, only the frames that were carried.
    jack_nframes_t OutputFrame() const;
    /// How long count cycles of the server take now.
    std::chrono::microseconds CycleTime(unsigned count) const;

    /// JACK's process callback (arg: the session).
    static int Process(jack_nframes_t frames, void* arg);
    /// JACK's xrun callback (arg: the session): some client missed its cycle, and messages
    /// between clients may have been lost.
    static int OnXrun(void* arg);
    /// Runs on JACK's thread when the server goes: every port of that server is dead now.
    static void OnShutdown(jack_status_t, const char*, void* arg);

    std::set<std::string> m_usedNames; // under the client's lock
    /// Outputs kept registered between devices, out of the process callback's table and
    /// connected to nothing; under the client's lock.
    std::vector<std::unique_ptr<CJackPort>> m_idleOutputs;
    /// Ports that could not be unregistered (a callback might still use one, or the server
    /// is gone): they live as long as the session, so nothing frees memory JACK may touch.
    std::vector<std::unique_ptr<CJackPort>> m_retired; // under the client's lock
    /// Whether the client is activated (the process callback runs); under the client's lock.
    bool m_bActive = false;

private:
    jack_client_t* m_pClient;
    std::atomic<bool> m_bAlive{true};
    std::array<std::atomic<CJackPort*>, kMaxJackPorts> m_slots{};
    std::atomic<uint32_t> m_nCycles{0}; // odd while the process callback runs
    std::atomic<uint32_t> m_nXruns{0};
    // The process callback's alone: the cycles run, the xruns it has seen, the frames carried.
    uint64_t m_nCycle = 0;
    uint32_t m_nSeenXruns = 0;
    jack_nframes_t m_carried = 0;
    /// From JACK's frame time to the carried frames, as of the last cycle.
    std::atomic<jack_nframes_t> m_toCarried{0};
};

using JackSession = std::shared_ptr<CJackSession>;
