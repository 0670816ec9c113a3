// A MIDI output port: one open output device of the device service. Every call answers with a
// MidiStatus.
#pragma once

#include "mididevice.h"

#include <chrono>
#include <cstdint>
#include <memory>

class CMidiOutPort final {
public:
    /// A closed port.
    CMidiOutPort();
    /// Resets and closes an open device; a closed port makes no call.
    ~CMidiOutPort();

    CMidiOutPort(const CMidiOutPort&) = delete;
    CMidiOutPort& operator=(const CMidiOutPort&) = delete;

    /// Opens a device of the service's latest snapshot; a device open before is closed first.
    MidiStatus Open(int deviceId);
    /// The port is closed afterwards whether or not the call succeeded.
    MidiStatus Close();
    /// Every sounding note off.
    MidiStatus Reset();
    MidiStatus ShortMsg(uint32_t message);
    /// A message of a timed run, due at `due`: see IMidiOutDevice::SendShortAt.
    MidiStatus ShortMsgAt(uint32_t message, std::chrono::steady_clock::time_point due);
    /// For echoing what comes in while recording: messages leave with the least latency the
    /// device has instead of a steady one. Kept only while the port is open.
    void SetLiveEcho(bool liveEcho);

    bool IsOpen() const { return m_pDevice != nullptr; }
    /// The open device, for pairing it with an input (CMidiInPort::SetThru); null when closed.
    IMidiOutDevice* GetDevice() const { return m_pDevice.get(); }

private:
    std::unique_ptr<IMidiOutDevice> m_pDevice;
};
