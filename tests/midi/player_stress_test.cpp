// Start/stop cycles racing the end of the run. Built as its own program so the thread
// sanitizer build can run it: KESV_SANITIZE=thread scripts/test.sh
#include "midi/mididevice.h"
#include "midi/sequenceplayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bitset>
#include <mutex>
#include <random>
#include <thread>

namespace {

/// One output device that knows which notes sound and checks nothing arrives after a reset.
class CNoteTrackingService final : public IMidiDeviceService {
public:
    std::atomic<int> opens{0};
    std::atomic<int> closesWithNotesSounding{0};
    std::atomic<int> sendsAfterReset{0};
    std::atomic<int> sends{0};

    CNoteTrackingService() { SetMidiDeviceService(this); }
    ~CNoteTrackingService() override { SetMidiDeviceService(nullptr); }

    void Rescan() override {}
    int GetNumInputs() override { return 0; }
    int GetNumOutputs() override { return 1; }
    MidiResult GetInputCaps(int, MidiInCaps&) override { return kMidiErrBadDeviceId; }
    MidiResult GetOutputCaps(int id, MidiOutCaps& caps) override {
        if (id != 0)
            return kMidiErrBadDeviceId;
        caps = MidiOutCaps{};
        return kMidiOk;
    }
    MidiResult OpenOutput(int id, std::unique_ptr<IMidiOutDevice>& device) override {
        if (id != 0)
            return kMidiErrBadDeviceId;
        ++opens;
        device = std::make_unique<Out>(*this);
        return kMidiOk;
    }
    MidiResult OpenInput(int, MidiInData, std::unique_ptr<IMidiInDevice>&) override {
        return kMidiErrBadDeviceId;
    }

private:
    struct Out final : IMidiOutDevice {
        explicit Out(CNoteTrackingService& s) : service(s) {}
        ~Out() override {
            if (sounding.any())
                ++service.closesWithNotesSounding;
        }
        MidiResult SendShort(uint32_t message) override {
            ++service.sends;
            if (wasReset)
                ++service.sendsAfterReset;
            const size_t key = (message >> 8) & 0x7F;
            if ((message & 0xF0) == 0x90 && (message >> 16) != 0)
                sounding.set(key);
            else if ((message & 0xF0) == 0x80)
                sounding.reset(key);
            return kMidiOk;
        }
        MidiResult Reset() override {
            sounding.reset();
            wasReset = true;
            return kMidiOk;
        }
        CNoteTrackingService& service;
        std::bitset<128> sounding; // plain data: a race on it is what the sanitizer looks for
        bool wasReset = false;
    };
};

} // namespace

TEST(SequencePlayerStress, StartStopCyclesRacingTheEndOfTheRun) {
    const int cycles = 10000;
    CNoteTrackingService service;
    std::atomic<CSequencePlayer*> slot{nullptr};
    std::atomic<bool> done{false};
    // The user interface polls the slot for its enabling rules while everything runs.
    std::atomic<int> seenPlaying{0};
    std::thread poller([&] {
        while (!done.load()) {
            if (slot.load())
                ++seenPlaying;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayUs(0, 1600);
    int endedByThemselves = 0;
    for (int i = 0; i < cycles; ++i) {
        auto* player = new CSequencePlayer(&slot);
        ASSERT_EQ(player->Open(0), kMidiOk);
        // At 240 a tick is 125/240 ms: the run has passes at 1 and 2 ms and then ends.
        player->Add({0, PackShortMessage(0x90, 60, 127)});
        player->Add({2, PackShortMessage(0x90, 64, 127)});
        player->Add({2, PackShortMessage(0x80, 60, 0)});
        player->Add({4, PackShortMessage(0x80, 64, 0)});
        player->Add({4, PackShortMessage(0x90, 67, 127)}); // left sounding for the reset
        player->SetTempo(240);
        ASSERT_TRUE(player->Start());
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        if (!slot.load())
            ++endedByThemselves;
        CSequencePlayer::StopAndDelete(slot);
        ASSERT_EQ(slot.load(), nullptr) << "cycle " << i;
    }
    done = true;
    poller.join();

    EXPECT_EQ(service.opens.load(), cycles);
    EXPECT_EQ(service.closesWithNotesSounding.load(), 0);
    EXPECT_EQ(service.sendsAfterReset.load(), 0);
    // Both outcomes occurred, so the stop really raced the end of the run.
    EXPECT_GT(endedByThemselves, 0);
    EXPECT_LT(endedByThemselves, cycles);
    std::printf("%d of %d runs ended by themselves, %d messages sent\n", endedByThemselves, cycles,
                service.sends.load());
}
