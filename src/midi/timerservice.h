// The timer service: one-shot events with millisecond delays, run on one dedicated thread at
// absolute deadlines of the steady clock, and the millisecond clock they are measured on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

/// Called on the timer thread with the id of the event and the user value given.
using TimerProc = void (*)(uint32_t timerId, uintptr_t user);

class CTimerService {
public:
    static CTimerService& Instance();

    CTimerService();
    ~CTimerService();
    CTimerService(const CTimerService&) = delete;
    CTimerService& operator=(const CTimerService&) = delete;

    /// Milliseconds since the service started; wraps after 49 days like any 32-bit clock.
    uint32_t GetTime() const;
    /// The steady-clock instant at which GetTime() turns to time.
    std::chrono::steady_clock::time_point GetTimePoint(uint32_t time) const;
    /// The finest period the service keeps: 1 ms.
    static constexpr uint32_t GetPeriodMin() { return 1; }

    /// Schedules proc to run once, delay milliseconds after the clock's present value.
    /// Returns the event's id, never 0 on success; 0 when it can't be scheduled.
    uint32_t SetEvent(uint32_t delay, TimerProc proc, uintptr_t user);
    /// The same at an absolute time of GetTime()'s clock; a time that has passed runs at once.
    uint32_t SetEventAt(uint32_t time, TimerProc proc, uintptr_t user);
    /// Cancels a pending event; false when it is not pending (it ran, runs, or never was).
    bool KillEvent(uint32_t timerId);
    /// Number of pending events.
    int GetPendingCount() const;

private:
    struct Event {
        std::chrono::steady_clock::time_point deadline;
        uint32_t id;
        TimerProc proc;
        uintptr_t user;
    };

    void Run();
    uint64_t Now64() const;

    const std::chrono::steady_clock::time_point m_epoch;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Event> m_events; // few at a time: a linear scan beats a heap
    uint32_t m_nextId = 1;
    bool m_bQuit = false;
    std::thread m_thread;
};
