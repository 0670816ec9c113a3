// The ports' and the session's parts that run off JACK's thread: making and freeing a port,
// waiting for arrivals and for cycles, the output's frame clock.
#include "jacksession.h"

#include <algorithm>
#include <cerrno>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr size_t kRingBytes = 1 << 16;

} // namespace

CJackPort::CJackPort(jack_port_t* port, bool output, std::string shortName)
    : m_pPort(port), m_bOutput(output), m_strShortName(std::move(shortName)),
      m_pRing(Jack().jack_ringbuffer_create(kRingBytes)) {
    if (!m_bOutput)
        m_bReady = sem_init(&m_ready, 0, 0) == 0;
}

CJackPort::~CJackPort() {
    if (m_bReady)
        sem_destroy(&m_ready);
    if (m_pRing)
        Jack().jack_ringbuffer_free(m_pRing);
}

void CJackPort::WaitForArrivals() {
    while (sem_wait(&m_ready) != 0 && errno == EINTR) {
    }
}

void CJackPort::WakeReader() {
    sem_post(&m_ready);
}

bool CJackSession::Insert(CJackPort* port) {
    for (auto& slot : m_slots) {
        CJackPort* expected = nullptr;
        if (slot.compare_exchange_strong(expected, port))
            return true;
    }
    return false;
}

bool CJackSession::Remove(CJackPort* port) {
    for (auto& slot : m_slots) {
        CJackPort* expected = port;
        slot.compare_exchange_strong(expected, nullptr);
    }
    return WaitForCycleEnd();
}

bool CJackSession::IsTableEmpty() const {
    return std::all_of(m_slots.begin(), m_slots.end(),
                       [](const std::atomic<CJackPort*>& slot) { return slot.load() == nullptr; });
}

bool CJackSession::WaitForCycleEnd() {
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

bool CJackSession::WaitForCycles(uint32_t count, std::chrono::milliseconds timeout) {
    const uint32_t start = m_nCycles.load();
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (m_nCycles.load() - start < 2 * count + 1) {
        if (!IsAlive() || std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(200us);
    }
    return true;
}

jack_nframes_t CJackSession::OutputFrame() const {
    return Jack().jack_frame_time(m_pClient) + m_toCarried.load(std::memory_order_relaxed);
}

std::chrono::microseconds CJackSession::CycleTime(unsigned count) const {
    const jack_nframes_t rate = Jack().jack_get_sample_rate(m_pClient);
    if (rate == 0)
        return 0us;
    return std::chrono::microseconds(1000000ull * count * Jack().jack_get_buffer_size(m_pClient) /
                                     rate);
}
