// A snapshot of the MIDI input and output devices with their capabilities. The settings name
// devices by their name; the catalogue turns a stored name back into a current device id.
#pragma once

#include "mididevice.h"

#include <string>
#include <vector>

struct MidiInEntry {
    int deviceId;
    MidiInCaps caps;
    std::string legacyName; // see IMidiDeviceService::GetLegacyName
};

struct MidiOutEntry {
    int deviceId;
    MidiOutCaps caps;
    std::string legacyName;
};

class CMidiDeviceList {
public:
    CMidiDeviceList();

    /// Rebuilds both lists from the device service: the devices in id order, leaving out those
    /// whose capabilities can't be read.
    void Refresh();

    /// Position of the first entry named exactly (case-sensitive) name, else of the first
    /// whose name of the time when names were UTF-8 is name; -1 when none is.
    int FindByName(const char* name, bool input) const;

    int GetInputCount() const { return int(m_inputs.size()); }
    int GetOutputCount() const { return int(m_outputs.size()); }
    const MidiInEntry& GetInput(int position) const { return m_inputs.at(size_t(position)); }
    const MidiOutEntry& GetOutput(int position) const { return m_outputs.at(size_t(position)); }

private:
    std::vector<MidiInEntry> m_inputs;
    std::vector<MidiOutEntry> m_outputs;
};
