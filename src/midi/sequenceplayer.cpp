#include "sequenceplayer.h"

#include "timerservice.h"

#include <algorithm>
#include <mutex>

namespace {

// Held across every sending pass, the end of a run and every stop-and-delete, so that
// none of them overlap. Recursive because the end of a run deletes the player from
// inside a pass, and the destructor takes the lock too.
std::recursive_mutex& PlayerLock() {
    static std::recursive_mutex lock;
    return lock;
}

struct LivePlayer {
    uint64_t serial;
    CSequencePlayer* player;
};

// Players that exist, by serial; read by the timer procedure under the lock to tell a live
// player from one deleted while its timer event was already on its way.
std::vector<LivePlayer>& LivePlayers() {
    static std::vector<LivePlayer> players;
    return players;
}

uint64_t g_nextSerial = 1; // guarded by PlayerLock()

} // namespace

CSequencePlayer::CSequencePlayer(std::atomic<CSequencePlayer*>* ownerSlot)
    : m_pOwnerSlot(ownerSlot) {
    std::lock_guard lock(PlayerLock());
    m_nSerial = g_nextSerial++;
    LivePlayers().push_back({m_nSerial, this});
    m_uTimerPeriod = CTimerService::GetPeriodMin();
}

MidiStatus CSequencePlayer::Open(int deviceId) {
    const MidiStatus opened = m_port.Open(deviceId);
    if (opened)
        m_pOwnerSlot->store(this);
    return opened;
}

CSequencePlayer::~CSequencePlayer() {
    std::lock_guard lock(PlayerLock());
    auto& live = LivePlayers();
    live.erase(std::remove_if(live.begin(), live.end(),
                              [this](const LivePlayer& p) { return p.serial == m_nSerial; }),
               live.end());
    if (m_uTimerId != 0) {
        CTimerService::Instance().KillEvent(m_uTimerId);
        m_uTimerId = 0;
    }
    // Silence and close before the slot reads null, so a null slot means all is quiet.
    if (m_port.IsOpen()) {
        m_port.Reset();
        m_port.Close();
    }
    CSequencePlayer* self = this;
    m_pOwnerSlot->compare_exchange_strong(self, nullptr);
}

int CSequencePlayer::Add(const PlayEvent& event) {
    m_events.push_back(event);
    m_positions.push_back(-1);
    return int(m_events.size()) - 1;
}

int CSequencePlayer::AddPosition(int32_t tick, int32_t position) {
    m_events.push_back({tick, 0});
    m_positions.push_back(std::max(0, position));
    return int(m_events.size()) - 1;
}

void CSequencePlayer::SetTempo(unsigned beatsPerMinute) {
    m_uMsPerQuarter = beatsPerMinute == 0 ? 60000u : 60000u / beatsPerMinute;
}

uint32_t CSequencePlayer::ComputeDueTime(uint32_t startTime, int32_t tick, int32_t startTick,
                                         uint32_t msPerQuarter) {
    const uint32_t product = uint32_t(tick - startTick) * msPerQuarter;
    return startTime + product / uint32_t(kTicksPerQuarter);
}

bool CSequencePlayer::Start() {
    uint32_t startTime = 0;
    return Start(startTime);
}

bool CSequencePlayer::Start(uint32_t& startTime) {
    std::lock_guard lock(PlayerLock());
    m_nNext = 0;
    m_nStartTick = 0;
    if (m_events.empty()) {
        delete this;
        return false;
    }
    CTimerService& timer = CTimerService::Instance();
    m_uStartTime = timer.GetTime();
    startTime = m_uStartTime;
    // Holding the lock, the first pass cannot begin before its id is stored.
    m_uTimerId = timer.SetEventAt(m_uStartTime + m_uTimerPeriod, &CSequencePlayer::TimerProc,
                                  uintptr_t(m_nSerial));
    return true;
}

bool CSequencePlayer::Stop() {
    std::lock_guard lock(PlayerLock());
    if (m_uTimerId != 0)
        CTimerService::Instance().KillEvent(m_uTimerId);
    m_uTimerId = 0;
    return true;
}

void CSequencePlayer::StopAndDelete(std::atomic<CSequencePlayer*>& slot) {
    std::lock_guard lock(PlayerLock());
    if (CSequencePlayer* player = slot.load()) {
        player->Stop();
        delete player; // clears the slot
    }
    slot.store(nullptr);
}

void CSequencePlayer::TimerProc(uint32_t timerId, uintptr_t user) {
    std::lock_guard lock(PlayerLock());
    for (const LivePlayer& live : LivePlayers()) {
        if (live.serial == uint64_t(user)) {
            live.player->OnTimer(timerId);
            return; // the pass may have deleted the player and changed the list
        }
    }
}

void CSequencePlayer::OnTimer(uint32_t timerId) {
    // A stale event (its player stopped after it had fired) changes nothing; with the lock
    // held while an id is stored, a fresh event can't arrive before its id.
    if (timerId != m_uTimerId)
        return;
    m_uTimerId = 0;

    CTimerService& timer = CTimerService::Instance();
    for (size_t i = m_nNext; i < m_events.size(); ++i) {
        const uint32_t due =
            ComputeDueTime(m_uStartTime, m_events[i].tick, m_nStartTick, m_uMsPerQuarter);
        const uint32_t now = timer.GetTime();
        if (int32_t(due - now) > 0) {
            m_nNext = i;
            // The deadline is absolute on the same clock, so it is the due time itself.
            m_uTimerId = timer.SetEventAt(due, &CSequencePlayer::TimerProc, uintptr_t(m_nSerial));
            return;
        }
        if (m_positions[i] >= 0) {
            if (m_pPositionSink)
                m_pPositionSink->store(m_positions[i], std::memory_order_relaxed);
            continue;
        }
        if (m_port.ShortMsgAt(m_events[i].message, timer.GetTimePoint(due)).Code() ==
            kMidiErrInvalidHandle)
            break;
    }
    delete this;
}
