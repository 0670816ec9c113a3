// The ALSA sequencer as the device service sees it: names and records here, the sequencer
// itself in the module kesv-alsa.so, opened only where /dev/snd/seq exists.
#include "alsamodule.h"
#include "midi/midibackend.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <string>

namespace {

constexpr uint16_t kAlsaProductId = 1;
constexpr uint32_t kRtMidiVersion = 0x0500;

bool IsAvailable() {
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

/// The folder of the running program.
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    const std::string program(path, size_t(length));
    return program.substr(0, program.find_last_of('/'));
}

IAlsaSequencer* OpenModule() {
    for (const std::string& file :
         {ProgramFolder() + "/" KESV_MODULE_DIR_FROM_PROGRAM "/kesv-alsa.so",
          std::string(KESV_BUILD_MODULE_DIR "/kesv-alsa.so")}) {
        void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            continue;
        // Never closed: RtMidi's threads and the devices' code live in it.
        if (auto create =
                reinterpret_cast<CreateAlsaSequencerFunction>(dlsym(handle, kAlsaModuleEntry)))
            return create();
        dlclose(handle);
    }
    return nullptr;
}

/// The module's sequencer where the machine has one; null elsewhere, without opening it.
IAlsaSequencer* Sequencer() {
    return IsAvailable() ? LoadAlsaSequencer() : nullptr;
}

class CAlsaBackend final : public IMidiBackend {
public:
    void List(std::vector<MidiPortRecord>& inputs, std::vector<MidiPortRecord>& outputs) override {
        IAlsaSequencer* sequencer = Sequencer();
        if (!sequencer)
            return;
        std::vector<std::string> inputNames, outputNames;
        sequencer->ListPorts(inputNames, outputNames);
        AddPortRecords(inputNames, kAlsaProductId, kRtMidiVersion, inputs);
        AddPortRecords(outputNames, kAlsaProductId, kRtMidiVersion, outputs);
    }

    MidiResult OpenOutput(const MidiPortRecord& port,
                          std::unique_ptr<IMidiOutDevice>& device) override {
        IAlsaSequencer* sequencer = Sequencer();
        return sequencer ? sequencer->OpenOutput(port.key, device) : kMidiErrNoDriver;
    }

    MidiResult OpenInput(const MidiPortRecord& port, MidiInData data,
                         std::unique_ptr<IMidiInDevice>& device) override {
        IAlsaSequencer* sequencer = Sequencer();
        return sequencer ? sequencer->OpenInput(port.key, std::move(data), device)
                         : kMidiErrNoDriver;
    }
};

} // namespace

IAlsaSequencer* LoadAlsaSequencer() {
    static std::once_flag once;
    static IAlsaSequencer* sequencer = nullptr;
    std::call_once(once, [] { sequencer = OpenModule(); });
    return sequencer;
}

std::unique_ptr<IMidiBackend> CreateAlsaBackend() {
    return std::make_unique<CAlsaBackend>();
}
