// TEMPORARY stand-in for the MIDI library until it is merged: no devices, and a connection
// that never opens. Deleted together with the copied headers.
#include "midi/midiconnection.h"
#include "midi/mididevicelist.h"

CMidiDeviceList::CMidiDeviceList() = default;
void CMidiDeviceList::Refresh() {}
int CMidiDeviceList::FindByName(const char*, bool) const {
    return -1;
}
int CMidiDeviceList::GetInputCount() const {
    return int(m_inputs.size());
}
int CMidiDeviceList::GetOutputCount() const {
    return int(m_outputs.size());
}
const MidiInEntry& CMidiDeviceList::GetInput(int position) const {
    return m_inputs.at(position);
}
const MidiOutEntry& CMidiDeviceList::GetOutput(int position) const {
    return m_outputs.at(position);
}

CMidiConnection::CMidiConnection(const EnvSettings& settings) : m_settings(settings) {}
bool CMidiConnection::IsOpen() const {
    return m_bOpen;
}
bool CMidiConnection::Open(QObject*) {
    return false;
}
void CMidiConnection::Close() {
    m_bOpen = false;
}
void CMidiConnection::SendShort(uint32_t) {}
