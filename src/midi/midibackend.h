// Backends behind the default device service. Private to the MIDI library.
#pragma once

#include "mididevice.h"

#include <string>
#include <vector>

/// One port as a backend reports it. key is what the backend opens it by (its full name).
struct MidiPortRecord {
    std::string name;       // stable name in cp932; the service makes it unique and short
    std::string legacyName; // the UTF-8 name names were before they were cp932; empty: name
    std::string key;
    uint16_t wPid = 0;
    uint32_t vDriverVersion = 0;
    uint16_t wTechnology = kModMidiPort;
    uint16_t wVoices = 0;
    uint16_t wNotes = 0;
    uint16_t wChannelMask = 0xFFFF;
    uint32_t dwSupport = 0;
};

class IMidiBackend {
public:
    virtual ~IMidiBackend() = default;
    virtual void List(std::vector<MidiPortRecord>& inputs,
                      std::vector<MidiPortRecord>& outputs) = 0;
    virtual MidiResult OpenOutput(const MidiPortRecord& port, MidiNotify notify,
                                  std::unique_ptr<IMidiOutDevice>& device) = 0;
    virtual MidiResult OpenInput(const MidiPortRecord& port, MidiNotify notify,
                                 std::unique_ptr<IMidiInDevice>& device) = 0;
};

std::unique_ptr<IMidiBackend> CreateAlsaBackend();
std::unique_ptr<IMidiBackend> CreateJackBackend();
std::unique_ptr<IMidiBackend> CreateSynthBackend();

/// True when a JACK server answers; never starts one, prints nothing.
bool IsJackServerRunning();
