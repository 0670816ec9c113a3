// The built-in synthesizer where it can't play: its library is loaded only on an open, and a
// library that does not load or an audio output that does not open makes the open fail with
// a result code instead of pretending to play. Its own program, because it hides the JACK
// server from the whole process.
#include "midi/mididevicelist.h"
#include "midi/midioutport.h"
#include "midi/midisetup.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

bool SynthLibraryLoaded() {
    void* handle = dlopen("libfluidsynth.so.3", RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

void HideJack() {
    setenv("JACK_DEFAULT_SERVER", ("kesv-none-" + std::to_string(getpid())).c_str(), 1);
}

bool AudioServiceMayExist() {
    std::error_code error;
    if (std::filesystem::exists("/dev/snd", error))
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime)
        return false;
    const std::filesystem::path dir(runtime);
    return std::filesystem::exists(dir / "pulse/native", error) ||
           std::filesystem::exists(dir / "pipewire-0", error);
}

} // namespace

TEST(BuiltinSynth, OpenFailsWithAResultCodeWhenNoAudioOutputCanBeOpened) {
    if (AudioServiceMayExist())
        GTEST_SKIP() << "this machine has a sound card or an audio service";
    // A server name nobody uses: the synthesizer must find no JACK either.
    HideJack();
    CMidiDeviceList list;
    const int position = list.FindByName(kBuiltinSynthName, false);
    ASSERT_GE(position, 0) << "no soundfont found";
    CMidiOutPort port;
    EXPECT_EQ(port.Open(list.GetOutput(position).deviceId), kMidiErrNoAudioOutput);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ShortMsg(0x7F3C90), kMidiErrInvalidHandle);
}

TEST(BuiltinSynth, IsListedUnloadedAndALibraryThatDoesNotLoadFailsTheOpenUntilOneDoes) {
    HideJack();
    CMidiDeviceList list;
    const int position = list.FindByName(kBuiltinSynthName, false);
    ASSERT_GE(position, 0) << "no soundfont found";
    const int deviceId = list.GetOutput(position).deviceId;
    EXPECT_FALSE(SynthLibraryLoaded()) << "listing the synthesizer loaded its library";

    // A missing file, then a library without the synthesizer's functions.
    for (const char* library : {"libkesv-no-such-synth.so.3", "libc.so.6"}) {
        SetFluidSynthLibrary(library);
        CMidiOutPort port;
        EXPECT_EQ(port.Open(deviceId), kMidiErrNoDriver) << library;
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.ShortMsg(0x7F3C90), kMidiErrInvalidHandle);
    }
    EXPECT_FALSE(SynthLibraryLoaded());

    // The real library loads on the next open; whether audio then opens depends on the machine.
    SetFluidSynthLibrary({});
    CMidiOutPort port;
    const MidiStatus opened = port.Open(deviceId);
    EXPECT_TRUE(opened || opened == kMidiErrNoAudioOutput) << opened;
    EXPECT_TRUE(SynthLibraryLoaded());
}
