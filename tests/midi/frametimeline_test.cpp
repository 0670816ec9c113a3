// The frames a timed run's messages are stamped with, against a server's frame clock.
#include "midi/backends/frametimeline.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kRate = 48000;
constexpr int64_t kMs = 1000000;

/// A frame clock that runs with the steady clock from frame `origin` at 0 ns.
uint32_t FrameAt(int64_t ns, uint32_t origin = 0xFFFF0000u) {
    return origin + uint32_t(FramesIn(ns, kRate));
}

} // namespace

TEST(FrameTimeline, KeepsTheRunsDistancesWhateverTheHandOver) {
    CFrameTimeline timeline;
    // Due every 125 ms, handed over between 0 and 1.9 ms late; the clock wraps on the way.
    const uint32_t first = timeline.Stamp(FrameAt(0), 256, kRate, 0, 0);
    EXPECT_EQ(first, FrameAt(0) + 256 + 96) << "one period and the 2 ms margin";
    for (int i = 1; i < 40; ++i) {
        const int64_t due = i * 125 * kMs, late = (i * 7 % 20) * kMs / 10;
        EXPECT_EQ(timeline.Stamp(FrameAt(due + late), 256, kRate, due, due + late),
                  first + uint32_t(i) * 6000)
            << i;
    }
    // A shorter period keeps the latency; so does a frame clock that falls behind.
    EXPECT_EQ(timeline.Stamp(FrameAt(5000 * kMs) - 480, 64, kRate, 5000 * kMs, 5000 * kMs),
              first + 240000);
}

TEST(FrameTimeline, TakesTheLatencyAfreshOnlyWhenItMust) {
    CFrameTimeline timeline;
    const uint32_t first = timeline.Stamp(FrameAt(0), 256, kRate, 0, 0);
    // Handed over 5 ms late, past the margin: into the first cycle still open, the run kept.
    EXPECT_EQ(timeline.Stamp(FrameAt(105 * kMs), 256, kRate, 100 * kMs, 105 * kMs),
              FrameAt(105 * kMs) + 256);
    EXPECT_EQ(timeline.Stamp(FrameAt(200 * kMs), 256, kRate, 200 * kMs, 200 * kMs), first + 9600);
    // The frame clock skips 10 ms ahead (an xrun): the run starts over from here.
    const uint32_t skipped = FrameAt(300 * kMs) + 480;
    EXPECT_EQ(timeline.Stamp(skipped, 256, kRate, 300 * kMs, 300 * kMs), skipped + 256 + 96);
    // A longer period needs a longer latency.
    const uint32_t now = FrameAt(400 * kMs) + 480;
    EXPECT_EQ(timeline.Stamp(now, 1024, kRate, 400 * kMs, 400 * kMs), now + 1024 + 96);
    // Another rate counts frames anew.
    EXPECT_EQ(timeline.Stamp(1000, 1024, 44100, 500 * kMs, 500 * kMs), 1000u + 1024 + 88);
}
