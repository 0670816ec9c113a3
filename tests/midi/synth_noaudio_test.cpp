// The built-in synthesizer on a machine where no audio output can be opened: it is still
// listed, and opening it fails with a result code instead of pretending to play.
// Its own program, because it hides the JACK server from the whole process.
#include "midi/mididevicelist.h"
#include "midi/midioutport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

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
    setenv("JACK_DEFAULT_SERVER", ("kesv-none-" + std::to_string(getpid())).c_str(), 1);
    CMidiDeviceList list;
    const int position = list.FindByName(kBuiltinSynthName, false);
    ASSERT_GE(position, 0) << "no soundfont found";
    EXPECT_THROW(CMidiOutPort(list.GetOutput(position).deviceId, false, nullptr), CMidiOpenError);
    CMidiOutPort port;
    EXPECT_FALSE(port.Open(list.GetOutput(position).deviceId, false, nullptr));
    EXPECT_EQ(port.GetLastResult(), kMidiErrNoAudioOutput);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.ShortMsg(0x7F3C90));
    EXPECT_EQ(port.GetLastResult(), kMidiErrInvalidHandle);
}
