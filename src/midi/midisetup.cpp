#include "midisetup.h"

#include "midibackend.h"
#include "midinames.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<bool> g_bPrepared{false};

} // namespace

void PrepareMidiEnvironment() {
    // Where setting it fails, the synthesizer keeps off JACK rather than have a server started.
    const bool noServerStart = setenv("JACK_NO_START_SERVER", "1", 1) == 0;
    // The desktop's sound settings (PipeWire's Pulse layer too) then show the program and the
    // desktop entry's icon. The stream itself stays "FluidSynth output": no setting reaches it.
    setenv("PULSE_PROP_OVERRIDE_application.name", kOwnClientName, 0);
    setenv("PULSE_PROP_OVERRIDE_application.icon_name", "io.github.kesv.KesV", 0);
    g_bPrepared.store(noServerStart);
}

bool IsMidiEnvironmentPrepared() {
    return g_bPrepared.load();
}
