// The sequence player: plays a list of timed short messages through its own output port on
// one-shot timer events, and deletes itself at the end of the run.
#pragma once

#include "midioutport.h"
#include "song/musictime.h"

#include <atomic>
#include <cstdint>
#include <vector>

class CSequencePlayer {
public:
    /// A player for *ownerSlot, its device not open yet. Always create with new: the player
    /// owns itself from Start on.
    explicit CSequencePlayer(std::atomic<CSequencePlayer*>* ownerSlot);
    /// Resets and closes the device, silencing every note, then clears the owner slot if it
    /// holds this player.
    ~CSequencePlayer();

    CSequencePlayer(const CSequencePlayer&) = delete;
    CSequencePlayer& operator=(const CSequencePlayer&) = delete;

    /// Opens the output device and writes this player into the owner slot; a failure leaves
    /// the slot as it was, and the caller deletes the player.
    MidiStatus Open(int deviceId);
    /// Appends an entry; returns its index. Entries are sent in the order added.
    int Add(const PlayEvent& event);
    /// Appends an entry that sends nothing: when the run reaches it, `position` (>= 0) is
    /// stored into the position sink. Returns its index.
    int AddPosition(int32_t tick, int32_t position);
    /// Where the run publishes its positions; must outlive the player. The store is a plain
    /// atomic one, so a reader on any thread takes no lock and never delays a sending pass.
    void SetPositionSink(std::atomic<int32_t>* sink) { m_pPositionSink = sink; }
    /// Milliseconds per quarter = 60000 / beatsPerMinute, truncated; beatsPerMinute >= 1.
    void SetTempo(unsigned beatsPerMinute);
    /// Begins the run. False when the list was empty: the player is then already deleted.
    bool Start();
    /// The same, giving the start time on the timer service's clock (tests and benchmarks:
    /// the player may be gone by the time Start returns).
    bool Start(uint32_t& startTime);
    /// Cancels the pending timer event. Always true.
    bool Stop();

    /// Stops and deletes the player in slot, if any, and leaves the slot null. Never overlaps a
    /// sending pass or the end of a run; the stop command and the view's destructor use it.
    static void StopAndDelete(std::atomic<CSequencePlayer*>& slot);

    /// Due time of an entry: start + ((tick - startTick) x msPerQuarter) / 480 in 32-bit
    /// unsigned arithmetic, the division truncating.
    static uint32_t ComputeDueTime(uint32_t startTime, int32_t tick, int32_t startTick,
                                   uint32_t msPerQuarter);

    uint32_t GetMsPerQuarter() const { return m_uMsPerQuarter; }

private:
    static void TimerProc(uint32_t timerId, uintptr_t user);
    void OnTimer(uint32_t timerId);

    std::vector<PlayEvent> m_events;
    std::vector<int32_t> m_positions; // per entry: -1 for a message, else the position to publish
    std::atomic<int32_t>* m_pPositionSink = nullptr;
    std::atomic<CSequencePlayer*>* m_pOwnerSlot;
    CMidiOutPort m_port;
    uint32_t m_uTimerId = 0;
    uint32_t m_uTimerPeriod = 1;
    uint32_t m_uMsPerQuarter = 0;
    size_t m_nNext = 0;
    uint32_t m_uStartTime = 0;
    int32_t m_nStartTick = 0;
    uint64_t m_nSerial = 0; // the timer's user value: never reused, unlike an address
};
