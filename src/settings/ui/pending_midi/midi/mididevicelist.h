// TEMPORARY: a copy of the MIDI layer's catalogue interface so the settings pages compile
// before the MIDI library is merged. Deleted when src/midi/mididevicelist.h is on main.
#pragma once

#include <cstdint>
#include <vector>

struct MidiInCaps {
    uint16_t wMid;
    uint16_t wPid;
    uint32_t vDriverVersion;
    char szPname[32];
    uint32_t dwSupport;
};
struct MidiOutCaps {
    uint16_t wMid;
    uint16_t wPid;
    uint32_t vDriverVersion;
    char szPname[32];
    uint16_t wTechnology;
    uint16_t wVoices;
    uint16_t wNotes;
    uint16_t wChannelMask;
    uint32_t dwSupport;
};
struct MidiInEntry {
    int deviceId;
    MidiInCaps caps;
};
struct MidiOutEntry {
    int deviceId;
    MidiOutCaps caps;
};

class CMidiDeviceList {
public:
    CMidiDeviceList();
    void Refresh();
    int FindByName(const char* name, bool input) const;
    int GetInputCount() const;
    int GetOutputCount() const;
    const MidiInEntry& GetInput(int position) const;
    const MidiOutEntry& GetOutput(int position) const;

private:
    std::vector<MidiInEntry> m_inputs;
    std::vector<MidiOutEntry> m_outputs;
};
