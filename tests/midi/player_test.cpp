#include "fakemidiservice.h"
#include "midi/sequenceplayer.h"
#include "midi/timerservice.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

/// Waits until the slot is null; false after 10 s.
bool WaitForEnd(const std::atomic<CSequencePlayer*>& slot) {
    for (int i = 0; i < 10000 && slot.load(); ++i)
        std::this_thread::sleep_for(1ms);
    return slot.load() == nullptr;
}

uint32_t NoteOn(uint8_t key) {
    return PackShortMessage(0x90, key, 127);
}
uint32_t NoteOff(uint8_t key) {
    return PackShortMessage(0x80, key, 0);
}

class SequencePlayerTest : public ::testing::Test {
protected:
    SequencePlayerTest() { service.outputs = {{"Out"}, {"Gone"}}; }
    /// A player open on device 0, in the slot.
    CSequencePlayer* OpenPlayer() {
        auto* player = new CSequencePlayer(&slot);
        EXPECT_EQ(player->Open(0), kMidiOk);
        return player;
    }
    CFakeMidiService service;
    std::atomic<CSequencePlayer*> slot{nullptr};
};

} // namespace

TEST(SequencePlayerTiming, DueTimesUseTruncatingIntegerArithmetic) {
    EXPECT_EQ(CSequencePlayer::ComputeDueTime(0, 475, 0, 60000 / 120), 494u);
    EXPECT_EQ(CSequencePlayer::ComputeDueTime(0, 960, 0, 500), 1000u);
    EXPECT_EQ(CSequencePlayer::ComputeDueTime(0, 480, 0, 60000 / 60), 1000u);
    EXPECT_EQ(CSequencePlayer::ComputeDueTime(100, 0, 0, 500), 100u);
    // The clock wraps: due times wrap with it.
    EXPECT_EQ(CSequencePlayer::ComputeDueTime(0xFFFFFF00u, 480, 0, 500), 0xFFFFFF00u + 500u);
    EXPECT_EQ(CSequencePlayer::ComputeDueTime(0xFFFFFFF0u, 480, 0, 500), 500u - 16u);
}

TEST_F(SequencePlayerTest, TempoGivesTruncatedMillisecondsPerQuarter) {
    auto* player = OpenPlayer();
    player->SetTempo(132);
    EXPECT_EQ(player->GetMsPerQuarter(), 454u);
    player->SetTempo(120);
    EXPECT_EQ(player->GetMsPerQuarter(), 500u);
    CSequencePlayer::StopAndDelete(slot);
    EXPECT_EQ(slot.load(), nullptr);
}

TEST_F(SequencePlayerTest, OpenFailureAnswersItsCodeAndLeavesTheSlotAsItWas) {
    service.outputs[1].openResult = kMidiErrNoDevice;
    auto player = std::make_unique<CSequencePlayer>(&slot);
    EXPECT_EQ(player->Open(1), kMidiErrNoDevice);
    EXPECT_EQ(player->Open(7), kMidiErrBadDeviceId);
    EXPECT_EQ(slot.load(), nullptr);
    // Deleting a player that never opened leaves a running player's slot alone.
    auto* running = OpenPlayer();
    player.reset();
    EXPECT_EQ(slot.load(), running);
    CSequencePlayer::StopAndDelete(slot);
}

TEST_F(SequencePlayerTest, EmptyListDeletesThePlayerAtStart) {
    auto* player = OpenPlayer();
    EXPECT_EQ(slot.load(), player);
    player->SetTempo(120);
    EXPECT_FALSE(player->Start());
    EXPECT_EQ(slot.load(), nullptr);
    EXPECT_TRUE(service.Sent(0).empty());
    EXPECT_EQ(service.Count(FakeOp::Close, false), 1);
}

TEST_F(SequencePlayerTest, RunSendsInListOrderNeverEarlyAndResetsAtTheEnd) {
    auto* player = OpenPlayer();
    // The worked example: a quarter note C4 at 120, then two entries at one tick.
    player->Add({0, NoteOn(60)});
    player->Add({475, NoteOff(60)});
    player->Add({480, NoteOn(62)});
    player->Add({480, NoteOn(64)});
    player->Add({200, NoteOff(62)}); // lower than the one before: sent right after it
    player->Add({955, NoteOff(64)});
    player->SetTempo(120);
    CTimerService& timer = CTimerService::Instance();
    uint32_t start = 0;
    ASSERT_TRUE(player->Start(start));
    ASSERT_TRUE(WaitForEnd(slot));

    const std::vector<uint32_t> expected = {NoteOn(60), NoteOff(60), NoteOn(62),
                                            NoteOn(64), NoteOff(62), NoteOff(64)};
    EXPECT_EQ(service.Sent(0), expected);
    const int dueMs[] = {1, 494, 500, 500, 500, 994};
    int i = 0;
    for (const FakeOp& op : service.Ops()) {
        if (op.kind != FakeOp::Send)
            continue;
        EXPECT_GE(op.when, timer.GetTimePoint(start + uint32_t(dueMs[i]))) << "entry " << i;
        ++i;
    }
    const auto ops = service.Ops();
    ASSERT_GE(ops.size(), 2u);
    EXPECT_EQ(ops[ops.size() - 2].kind, FakeOp::Reset);
    EXPECT_EQ(ops.back().kind, FakeOp::Close);
}

TEST_F(SequencePlayerTest, PositionsArePublishedInTurnAndSendNothing) {
    std::atomic<int32_t> position{-1};
    std::vector<int32_t> positionAtSend;
    service.onSend = [&](int, uint32_t) {
        positionAtSend.push_back(position.load());
        return kMidiOk;
    };
    auto* player = OpenPlayer();
    player->SetPositionSink(&position);
    player->AddPosition(0, 0);
    player->Add({0, NoteOn(60)});
    player->Add({235, NoteOff(60)});
    player->AddPosition(240, 1); // a rest: no message of its own
    player->AddPosition(480, 2);
    player->Add({480, NoteOn(62)});
    player->Add({715, NoteOff(62)});
    player->SetTempo(240);
    ASSERT_TRUE(player->Start());
    ASSERT_TRUE(WaitForEnd(slot));

    const std::vector<uint32_t> expected = {NoteOn(60), NoteOff(60), NoteOn(62), NoteOff(62)};
    EXPECT_EQ(service.Sent(0), expected);
    EXPECT_EQ(positionAtSend, (std::vector<int32_t>{0, 0, 2, 2}));
    EXPECT_EQ(position.load(), 2);
}

TEST_F(SequencePlayerTest, AllEntriesAtTickZeroGoInTheFirstPass) {
    auto* player = OpenPlayer();
    for (uint8_t key = 40; key < 50; ++key)
        player->Add({0, NoteOn(key)});
    player->SetTempo(200);
    uint32_t start = 0;
    ASSERT_TRUE(player->Start(start));
    ASSERT_TRUE(WaitForEnd(slot));
    const auto sent = service.Sent(0);
    ASSERT_EQ(sent.size(), 10u);
    for (uint8_t key = 40; key < 50; ++key)
        EXPECT_EQ(sent[key - 40u], NoteOn(key));
    for (const FakeOp& op : service.Ops()) {
        if (op.kind == FakeOp::Send) {
            EXPECT_GE(op.when, CTimerService::Instance().GetTimePoint(start + 1));
        }
    }
}

TEST_F(SequencePlayerTest, LatePassSendsEveryOverdueEntryBeforeWaiting) {
    // The first send blocks for 150 ms: the entries due at 50 and 100 ms are overdue by then
    // and must follow at once; the one at 400 ms must still wait for its time.
    service.onSend = [](int, uint32_t message) {
        if (message == NoteOn(1))
            std::this_thread::sleep_for(150ms);
        return kMidiOk;
    };
    auto* player = OpenPlayer();
    player->Add({0, NoteOn(1)});
    player->Add({48, NoteOn(2)});
    player->Add({96, NoteOn(3)});
    player->Add({384, NoteOn(4)});
    player->SetTempo(120);
    uint32_t start = 0;
    ASSERT_TRUE(player->Start(start));
    ASSERT_TRUE(WaitForEnd(slot));
    const auto ops = service.Ops();
    std::vector<FakeOp> sends;
    for (const FakeOp& op : ops) {
        if (op.kind == FakeOp::Send)
            sends.push_back(op);
    }
    ASSERT_EQ(sends.size(), 4u);
    CTimerService& timer = CTimerService::Instance();
    EXPECT_GE(sends[1].when, timer.GetTimePoint(start + 151));
    EXPECT_LT(sends[2].when, timer.GetTimePoint(start + 400)); // not held back a whole period
    EXPECT_GE(sends[3].when, timer.GetTimePoint(start + 400));
}

TEST_F(SequencePlayerTest, StopWhileWaitingSendsNothingMoreAndSilences) {
    auto* player = OpenPlayer();
    player->Add({0, NoteOn(60)});
    player->Add({4800, NoteOff(60)}); // 10 s at 60
    player->SetTempo(60);
    const int pendingBefore = CTimerService::Instance().GetPendingCount();
    ASSERT_TRUE(player->Start());
    for (int i = 0; i < 5000 && service.Sent(0).empty(); ++i)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(service.Sent(0).size(), 1u);
    CSequencePlayer::StopAndDelete(slot);
    EXPECT_EQ(slot.load(), nullptr);
    EXPECT_EQ(CTimerService::Instance().GetPendingCount(), pendingBefore);
    const auto ops = service.Ops();
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[2].kind, FakeOp::Reset);
    EXPECT_EQ(ops[3].kind, FakeOp::Close);
    CSequencePlayer::StopAndDelete(slot); // a second stop finds nothing to do
    EXPECT_EQ(service.Ops().size(), 4u);
}

TEST_F(SequencePlayerTest, VanishedDeviceEndsTheRun) {
    int sends = 0;
    service.onSend = [&sends](int, uint32_t) {
        return ++sends >= 2 ? kMidiErrInvalidHandle : kMidiOk;
    };
    auto* player = OpenPlayer();
    player->Add({0, NoteOn(60)});
    player->Add({0, NoteOn(61)});
    player->Add({0, NoteOn(62)});
    player->Add({480, NoteOff(60)});
    player->SetTempo(120);
    ASSERT_TRUE(player->Start());
    ASSERT_TRUE(WaitForEnd(slot));
    EXPECT_EQ(sends, 2); // the third entry was not tried
    EXPECT_EQ(service.Sent(0), std::vector<uint32_t>{NoteOn(60)});
    EXPECT_EQ(service.Count(FakeOp::Close, false), 1);
}

TEST_F(SequencePlayerTest, FailedSendOtherThanInvalidHandleIsSkipped) {
    service.onSend = [](int, uint32_t message) {
        return message == NoteOn(61) ? kMidiErrInvalidParam : kMidiOk;
    };
    auto* player = OpenPlayer();
    player->Add({0, NoteOn(60)});
    player->Add({0, NoteOn(61)});
    player->Add({10, NoteOn(62)});
    player->SetTempo(300);
    ASSERT_TRUE(player->Start());
    ASSERT_TRUE(WaitForEnd(slot));
    EXPECT_EQ(service.Sent(0), (std::vector<uint32_t>{NoteOn(60), NoteOn(62)}));
}

namespace {
std::atomic<int> g_fired{0};
std::vector<uintptr_t> g_order;
std::mutex g_orderMutex;
void CountFire(uint32_t, uintptr_t user) {
    std::lock_guard lock(g_orderMutex);
    g_order.push_back(user);
    ++g_fired;
}
} // namespace

TEST(TimerService, OneShotEventsRunOnceInDeadlineOrderAndCanBeCancelled) {
    CTimerService timer;
    g_fired = 0;
    g_order.clear();
    const uint32_t now = timer.GetTime();
    const uint32_t late = timer.SetEventAt(now + 30, CountFire, 3);
    const uint32_t killed = timer.SetEvent(20, CountFire, 99);
    timer.SetEvent(10, CountFire, 2);
    timer.SetEventAt(now - 5, CountFire, 1); // already due: runs at once
    EXPECT_NE(late, 0u);
    EXPECT_NE(killed, late);
    EXPECT_TRUE(timer.KillEvent(killed));
    EXPECT_FALSE(timer.KillEvent(killed));
    for (int i = 0; i < 2000 && g_fired < 3; ++i)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(g_fired.load(), 3);
    std::lock_guard lock(g_orderMutex);
    EXPECT_EQ(g_order, (std::vector<uintptr_t>{1, 2, 3}));
    EXPECT_FALSE(timer.KillEvent(late)); // it ran
    EXPECT_GE(std::chrono::steady_clock::now(), timer.GetTimePoint(now + 30));
}
