// Everything that runs on JACK's process thread: the process callback, each port's work in a
// cycle and the echo of inputs to outputs (thru), and JACK's xrun callback. The thread must finish
// its cycle in time, so nothing here allocates, takes a lock, logs or makes any other call that can
// block: it meets the devices only at the ports' lock-free rings and at atomics, and wakes a reader
// with sem_post, which never blocks.
#include "jacksession.h"

#include "midi/midibackend.h"

#include <algorithm>

void CJackPort::Process(jack_nframes_t frames, jack_nframes_t cycleStart, uint64_t cycle,
                        bool missed) {
    void* buffer = Jack().jack_port_get_buffer(m_pPort, frames);
    if (m_bOutput) {
        // Asked here, where JACK answers at once: off its thread the call sleeps a whole
        // period after every change of the graph, and a message would wait that long.
        connections.store(Jack().jack_port_connected(m_pPort), std::memory_order_relaxed);
        WriteCycle(buffer, frames, cycleStart, cycle);
    } else {
        ReadCycle(buffer, cycle, missed);
    }
}

void CJackPort::MarkLost() {
    lost.fetch_add(1, std::memory_order_relaxed);
    sem_post(&m_ready);
}

void CJackPort::AddThruSource(CJackPort* input, void* buffer, jack_nframes_t count,
                              uint64_t cycle) {
    if (m_thruCycle != cycle) {
        m_thruCycle = cycle;
        m_nThru = 0;
    }
    if (m_nThru < m_thru.size())
        m_thru[m_nThru++] = {input, buffer, count, 0};
}

CJackPort::ThruSource* CJackPort::NextThru(jack_midi_event_t& event) {
    ThruSource* earliest = nullptr;
    for (size_t i = 0; i < m_nThru; ++i) {
        ThruSource& source = m_thru[i];
        jack_midi_event_t candidate;
        for (; source.next < source.count; ++source.next) {
            // Only what the input hands on is echoed: short messages.
            if (Jack().jack_midi_event_get(&candidate, source.buffer, source.next) == 0 &&
                candidate.size > 0 && ShortMessageLength(candidate.buffer[0]) > 0 &&
                candidate.size >= size_t(ShortMessageLength(candidate.buffer[0])))
                break;
        }
        if (source.next < source.count && (!earliest || candidate.time < event.time)) {
            earliest = &source;
            event = candidate;
        }
    }
    return earliest;
}

void CJackPort::WriteCycle(void* buffer, jack_nframes_t frames, jack_nframes_t cycleStart,
                           uint64_t cycle) {
    Jack().jack_midi_clear_buffer(buffer);
    if (m_thruCycle != cycle)
        m_nThru = 0; // no input echoes to this port in this cycle
    jack_nframes_t last = 0;
    // Echoes of this cycle's arrivals go in among the queued messages by their frames. One
    // that does not fit into the cycle's buffer any more is lost: its input says so.
    const auto writeThruUpTo = [&](jack_nframes_t offset) {
        jack_midi_event_t echo;
        while (ThruSource* source = NextThru(echo)) {
            if (echo.time > offset)
                break;
            const jack_nframes_t at = std::min(std::max(echo.time, last), frames - 1);
            if (Jack().jack_midi_event_write(buffer, at, echo.buffer,
                                             size_t(ShortMessageLength(echo.buffer[0]))) == 0)
                last = at;
            else
                source->input->MarkLost();
            ++source->next;
        }
    };
    JackOutEvent event;
    while (Jack().jack_ringbuffer_peek(m_pRing, reinterpret_cast<char*>(&event), sizeof event) ==
           sizeof event) {
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

void CJackPort::ReadCycle(void* buffer, uint64_t cycle, bool missed) {
    if (!started.load(std::memory_order_relaxed))
        return;
    if (missed)
        MarkLost();
    const jack_nframes_t count = Jack().jack_midi_get_event_count(buffer);
    if (count == 0)
        return;
    // The output echoes straight from this buffer, every message of the cycle.
    if (CJackPort* echo = thru.load(std::memory_order_acquire))
        echo->AddThruSource(this, buffer, count, cycle);
    bool any = false;
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (Jack().jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
            continue;
        // Long (system-exclusive) messages are not received; every short message is.
        const int length = ShortMessageLength(event.buffer[0]);
        if (length == 0 || event.size < size_t(length))
            continue;
        if (Jack().jack_ringbuffer_write_space(m_pRing) < sizeof(JackInEvent)) {
            MarkLost();
            continue;
        }
        JackInEvent in{uint8_t(length), {0, 0, 0}};
        std::copy(event.buffer, event.buffer + length, in.bytes);
        Jack().jack_ringbuffer_write(m_pRing, reinterpret_cast<const char*>(&in), sizeof in);
        any = true;
    }
    if (any)
        sem_post(&m_ready);
}

int CJackSession::Process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<CJackSession*>(arg);
    // Odd while the callback runs: Remove waits for it to end before a port is freed.
    self->m_nCycles.fetch_add(1);
    const uint64_t cycle = ++self->m_nCycle;
    const uint32_t xruns = self->m_nXruns.load(std::memory_order_relaxed);
    const bool missed = xruns != self->m_nSeenXruns;
    self->m_nSeenXruns = xruns;
    const jack_nframes_t cycleStart = self->m_carried;
    self->m_carried += frames;
    self->m_toCarried.store(cycleStart - Jack().jack_last_frame_time(self->m_pClient),
                            std::memory_order_relaxed);
    for (const bool outputs : {false, true}) {
        for (auto& slot : self->m_slots) {
            CJackPort* port = slot.load();
            if (port && port->IsOutput() == outputs)
                port->Process(frames, cycleStart, cycle, missed);
        }
    }
    self->m_nCycles.fetch_add(1);
    return 0;
}

int CJackSession::OnXrun(void* arg) {
    static_cast<CJackSession*>(arg)->m_nXruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void CJackSession::OnShutdown(jack_status_t, const char*, void* arg) {
    static_cast<CJackSession*>(arg)->m_bAlive.store(false);
}
