#include "timerservice.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace {

/// Asks for a real-time or at least a higher priority and a fine timer slack; carries on
/// quietly when the system refuses.
void RaiseTimerThreadPriority() {
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    sched_param param{};
    param.sched_priority = std::min(10, sched_get_priority_max(SCHED_FIFO));
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
        return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
}

} // namespace

CTimerService& CTimerService::Instance() {
    static CTimerService service;
    return service;
}

CTimerService::CTimerService() : m_epoch(std::chrono::steady_clock::now()) {
    m_events.reserve(64); // scheduling from a sending pass then allocates nothing
    m_thread = std::thread([this] { Run(); });
}

CTimerService::~CTimerService() {
    {
        std::lock_guard lock(m_mutex);
        m_bQuit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

uint64_t CTimerService::Now64() const {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - m_epoch)
                        .count());
}

uint32_t CTimerService::GetTime() const {
    return uint32_t(Now64());
}

std::chrono::steady_clock::time_point CTimerService::GetTimePoint(uint32_t time) const {
    const uint64_t now = Now64();
    const auto offset = int64_t(int32_t(time - uint32_t(now)));
    return m_epoch + std::chrono::milliseconds(int64_t(now) + offset);
}

uint32_t CTimerService::SetEvent(uint32_t delay, TimerProc proc, uintptr_t user) {
    return SetEventAt(GetTime() + delay, proc, user);
}

uint32_t CTimerService::SetEventAt(uint32_t time, TimerProc proc, uintptr_t user) {
    if (!proc)
        return 0;
    const auto deadline = GetTimePoint(time);
    uint32_t id = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_bQuit)
            return 0;
        id = m_nextId++;
        if (m_nextId == 0)
            m_nextId = 1;
        m_events.push_back({deadline, id, proc, user});
    }
    m_wake.notify_one();
    return id;
}

bool CTimerService::KillEvent(uint32_t timerId) {
    std::lock_guard lock(m_mutex);
    const auto found = std::find_if(m_events.begin(), m_events.end(),
                                    [timerId](const Event& e) { return e.id == timerId; });
    if (found == m_events.end())
        return false;
    m_events.erase(found);
    return true;
}

int CTimerService::GetPendingCount() const {
    std::lock_guard lock(m_mutex);
    return int(m_events.size());
}

void CTimerService::Run() {
    RaiseTimerThreadPriority();
    std::unique_lock lock(m_mutex);
    while (!m_bQuit) {
        if (m_events.empty()) {
            m_wake.wait(lock);
            continue;
        }
        const auto next =
            std::min_element(m_events.begin(), m_events.end(), [](const Event& a, const Event& b) {
                return a.deadline < b.deadline;
            });
        if (std::chrono::steady_clock::now() < next->deadline) {
            m_wake.wait_until(lock, next->deadline);
            continue;
        }
        const Event due = *next;
        m_events.erase(next);
        lock.unlock();
        due.proc(due.id, due.user);
        lock.lock();
    }
}
