// The ALSA sequencer lives in a module of its own, kesv-alsa.so, because RtMidi brings the JACK
// and ALSA libraries and Berkeley DB along: the program opens the module the first time it
// looks for sequencer ports on a machine that has a sequencer, so start-up never pays for them.
// Between the two, only this interface and the plain C++ headers of the device service.
#pragma once

#include "midi/mididevice.h"

#include <memory>
#include <string>
#include <vector>

class IAlsaSequencer {
public:
    virtual ~IAlsaSequencer() = default;
    /// Full names of the sequencer's ports, the program's own left in; nothing without one.
    virtual void ListPorts(std::vector<std::string>& inputs, std::vector<std::string>& outputs) = 0;
    virtual MidiResult OpenOutput(const std::string& key,
                                  std::unique_ptr<IMidiOutDevice>& device) = 0;
    virtual MidiResult OpenInput(const std::string& key, MidiInData data,
                                 std::unique_ptr<IMidiInDevice>& device) = 0;
};

/// The module's one exported function; the sequencer it gives lives as long as the program.
constexpr const char* kAlsaModuleEntry = "KesvCreateAlsaSequencer";
using CreateAlsaSequencerFunction = IAlsaSequencer* (*)();

/// The module's sequencer, opened once: beside the program as installed
/// (bin/../lib/kesv/modules/kesv-alsa.so), else where the build put it; null when neither loads.
IAlsaSequencer* LoadAlsaSequencer();
