// Where the messages of a timed run land on a server's frame clock: plain arithmetic, kept
// apart from JACK so that it can be checked without a server.
#pragma once

#include <algorithm>
#include <cstdint>

/// Frames in a span of the steady clock at a sample rate, rounded to the nearest.
inline int64_t FramesIn(int64_t ns, uint32_t rate) {
    const int64_t scaled = ns * int64_t(rate);
    return (scaled >= 0 ? scaled + 500000000 : scaled - 500000000) / 1000000000;
}

/// Places the messages of a timed run on the frame clock. The first message fixes the run's
/// latency: one period, so that the cycle it lands in has not been written yet, plus a margin
/// for a message handed over late by its thread. Every later message lands that far after its
/// own due time, counted in frames from the first one, so neither the sending thread's
/// wake-ups nor the steady clock's drift against the frame clock move it. The latency is taken
/// afresh from the message at hand only when the two clocks part by more than the margin can
/// hold (an xrun skips frames, the server stalls), when a longer period needs a longer one, or
/// when the sample rate changes; a shorter period keeps it.
class CFrameTimeline {
public:
    static constexpr int64_t kMarginNs = 2000000;
    static constexpr int64_t kMaxLagNs = 20000000;

    /// The frame for a message due at dueNs, handed over at nowNs (both on the steady clock),
    /// with the output at frame nowFrame and the server running `period` frames a cycle at `rate`.
    uint32_t Stamp(uint32_t nowFrame, uint32_t period, uint32_t rate, int64_t dueNs,
                   int64_t nowNs) {
        const int64_t lateNs = std::max<int64_t>(0, nowNs - dueNs);
        const auto margin = uint32_t(FramesIn(kMarginNs, rate));
        // Where the message lands with the latency taken afresh.
        const uint32_t fresh = nowFrame - uint32_t(FramesIn(lateNs, rate)) + period + margin;
        if (m_bAnchored && rate == m_rate) {
            const uint32_t stamp = m_anchorFrame + uint32_t(FramesIn(dueNs - m_anchorNs, rate));
            const auto drift = int32_t(stamp - fresh);
            if (drift > -int32_t(margin / 2) &&
                drift < int32_t(m_period + FramesIn(kMaxLagNs, rate))) {
                // One handed over later than the margin allows goes into the first cycle
                // still open.
                const uint32_t earliest = nowFrame + period;
                return int32_t(stamp - earliest) < 0 ? earliest : stamp;
            }
        }
        m_bAnchored = true;
        m_period = period;
        m_rate = rate;
        m_anchorNs = dueNs;
        m_anchorFrame = fresh;
        return fresh;
    }

private:
    bool m_bAnchored = false;
    uint32_t m_period = 0; // when the latency was taken
    uint32_t m_rate = 0;
    int64_t m_anchorNs = 0;
    uint32_t m_anchorFrame = 0;
};
