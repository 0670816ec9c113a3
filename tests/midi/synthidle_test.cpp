// The built-in synthesizer's idle release against a stand-in FluidSynth library
// (fakefluidsynth.cpp): an idle time set after the synthesizer exists takes effect, and a note
// that arrives while the idle watch is deciding to let the audio output go still sounds.
#include "midi/mididevicelist.h"
#include "midi/midioutport.h"
#include "midi/midisetup.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

/// The stand-in's record, once the synthesizer has loaded it.
struct CFakeSynth {
    explicit CFakeSynth(void* library) {
        driversOpened = reinterpret_cast<int (*)()>(dlsym(library, "kesv_fake_drivers_opened"));
        driverOpen = reinterpret_cast<bool (*)()>(dlsym(library, "kesv_fake_driver_open"));
        silentNotes = reinterpret_cast<int (*)()>(dlsym(library, "kesv_fake_silent_notes"));
        cutNotes = reinterpret_cast<int (*)()>(dlsym(library, "kesv_fake_cut_notes"));
        counting = reinterpret_cast<bool (*)()>(dlsym(library, "kesv_fake_counting"));
        setCountDelay =
            reinterpret_cast<void (*)(int)>(dlsym(library, "kesv_fake_set_count_delay"));
    }
    bool IsComplete() const {
        return driversOpened && driverOpen && silentNotes && cutNotes && counting && setCountDelay;
    }
    int (*driversOpened)() = nullptr;
    bool (*driverOpen)() = nullptr;
    int (*silentNotes)() = nullptr;
    int (*cutNotes)() = nullptr;
    bool (*counting)() = nullptr;
    void (*setCountDelay)(int) = nullptr;
};

/// Waits until the condition holds; false after the timeout, which only bounds a failing run.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

} // namespace

TEST(SynthIdleRelease, IdleTimeSetLaterHoldsAndANoteDuringTheReleaseFindsTheOutputOpen) {
    // A soundfont for the listing; the stand-in never reads it.
    const std::filesystem::path data =
        ::testing::TempDir() + "kesv-synthidle-" + std::to_string(getpid());
    std::filesystem::create_directories(data / "soundfonts");
    std::ofstream(data / "soundfonts" / "default-GM.sf2") << "RIFF";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    SetFluidSynthLibrary(KESV_FAKE_FLUIDSYNTH);

    CMidiDeviceList list;
    const int position = list.FindByName(kBuiltinSynthName, false);
    ASSERT_GE(position, 0);
    CMidiOutPort port;
    ASSERT_EQ(port.Open(list.GetOutput(position).deviceId), kMidiOk);
    void* library = dlopen(KESV_FAKE_FLUIDSYNTH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr) << "the synthesizer did not load the stand-in";
    const CFakeSynth fake(library);
    ASSERT_TRUE(fake.IsComplete());
    EXPECT_TRUE(fake.driverOpen());

    // The synthesizer began with ten seconds; the shorter time counts from now on.
    SetSynthIdleRelease(20ms);
    EXPECT_TRUE(WaitFor([&] { return !fake.driverOpen(); }, 5s))
        << "the idle time set after the start does not hold";
    EXPECT_EQ(fake.driversOpened(), 1);

    // The watch counts the voices for 50 ms before it lets the output go; a note-on comes
    // in meanwhile. It must not play into an output closed after it, nor into none: while it
    // sounds, the watch goes on looking at an open output.
    fake.setCountDelay(50);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        const auto key = uint32_t(60 + round) << 8;
        ASSERT_EQ(port.ShortMsg(0x400090 | key), kMidiOk); // opens the output again
        ASSERT_EQ(port.ShortMsg(0x000080 | key), kMidiOk);
        ASSERT_TRUE(WaitFor(fake.counting, 5s));
        ASSERT_EQ(port.ShortMsg(0x400090 | key), kMidiOk);
        ASSERT_TRUE(WaitFor([&] { return !fake.counting(); }, 5s));
        ASSERT_TRUE(WaitFor(fake.counting, 5s)) << "the output was let go under a sounding note";
        EXPECT_TRUE(fake.driverOpen());
        ASSERT_EQ(port.ShortMsg(0x000080 | key), kMidiOk);
        ASSERT_TRUE(WaitFor([&] { return !fake.driverOpen(); }, 5s)); // silent: it goes
    }
    EXPECT_EQ(fake.cutNotes(), 0) << "the output was let go under a sounding note";
    EXPECT_EQ(fake.silentNotes(), 0) << "a note-on found no output open";
    EXPECT_GE(fake.driversOpened(), 5);
    dlclose(library);
    std::filesystem::remove_all(data);
}
