// Fuzz target: a settings file of any content is read and used without faults.
#include "settings/settingsfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const EnvSettings settings = SettingsFromBytes(data, size);
    const TimeSignature signature = settings.GetTimeSignature();
    if (settings.GetTicksPerBar() <= 0 || signature.beatsPerBar <= 0)
        std::abort();
    (void)SplitBarBeat(0xFFFFFFFFu, signature);
    (void)SplitBeats(2360, signature);
    if (settings.InputDeviceName().size() > 32 || settings.OutputDeviceName().size() > 32)
        std::abort();
    for (int mask : {0, 4, 8, 12}) {
        for (int32_t id : *settings.GetBindingTable(mask)) {
            const int valid = ValidFunctionId(id);
            if (valid < 0 || valid > 16)
                std::abort();
        }
    }
    return 0;
}
