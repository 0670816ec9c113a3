#include "midioutport.h"

CMidiOutPort::CMidiOutPort() = default;

CMidiOutPort::~CMidiOutPort() {
    if (m_pDevice) {
        Reset();
        Close();
    }
}

MidiStatus CMidiOutPort::Open(int deviceId) {
    if (m_pDevice)
        Close();
    std::unique_ptr<IMidiOutDevice> device;
    const MidiResult result = GetMidiDeviceService().OpenOutput(deviceId, device);
    if (result == kMidiOk)
        m_pDevice = std::move(device);
    return result;
}

MidiStatus CMidiOutPort::Close() {
    if (!m_pDevice)
        return kMidiErrInvalidHandle;
    m_pDevice.reset();
    return kMidiOk;
}

MidiStatus CMidiOutPort::Reset() {
    return m_pDevice ? m_pDevice->Reset() : kMidiErrInvalidHandle;
}

MidiStatus CMidiOutPort::ShortMsg(uint32_t message) {
    return m_pDevice ? m_pDevice->SendShort(message) : kMidiErrInvalidHandle;
}

MidiStatus CMidiOutPort::ShortMsgAt(uint32_t message, std::chrono::steady_clock::time_point due) {
    return m_pDevice ? m_pDevice->SendShortAt(message, due) : kMidiErrInvalidHandle;
}

void CMidiOutPort::SetLiveEcho(bool liveEcho) {
    if (m_pDevice)
        m_pDevice->SetLiveEcho(liveEcho);
}
