#include "mididevicelist.h"

#include <cstring>

namespace {

template <typename Entry> int Find(const std::vector<Entry>& entries, const char* name) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (std::strcmp(entries[i].caps.szPname, name) == 0)
            return int(i);
    }
    return -1;
}

template <typename Entry> int FindLegacy(const std::vector<Entry>& entries, const char* name) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].legacyName == name)
            return int(i);
    }
    return -1;
}

} // namespace

CMidiDeviceList::CMidiDeviceList() {
    Refresh();
}

void CMidiDeviceList::Refresh() {
    IMidiDeviceService& service = GetMidiDeviceService();
    service.Rescan();

    std::vector<MidiInEntry> inputs;
    const int inCount = service.GetNumInputs();
    inputs.reserve(size_t(inCount < 0 ? 0 : inCount));
    for (int d = 0; d < inCount; ++d) {
        MidiInEntry in{};
        if (service.GetInputCaps(d, in.caps) == kMidiOk) {
            in.deviceId = d;
            in.caps.szPname[sizeof in.caps.szPname - 1] = '\0';
            in.legacyName = service.GetLegacyName(d, true);
            inputs.push_back(in);
        }
    }

    std::vector<MidiOutEntry> outputs;
    const int outCount = service.GetNumOutputs();
    outputs.reserve(size_t(outCount < 0 ? 0 : outCount));
    for (int d = 0; d < outCount; ++d) {
        MidiOutEntry out{};
        if (service.GetOutputCaps(d, out.caps) == kMidiOk) {
            out.deviceId = d;
            out.caps.szPname[sizeof out.caps.szPname - 1] = '\0';
            out.legacyName = service.GetLegacyName(d, false);
            outputs.push_back(out);
        }
    }

    m_inputs = std::move(inputs);
    m_outputs = std::move(outputs);
}

int CMidiDeviceList::FindByName(const char* name, bool input) const {
    if (name == nullptr)
        return -1;
    const int position = input ? Find(m_inputs, name) : Find(m_outputs, name);
    if (position >= 0 || *name == '\0')
        return position;
    return input ? FindLegacy(m_inputs, name) : FindLegacy(m_outputs, name);
}
