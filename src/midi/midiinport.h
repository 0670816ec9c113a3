// A MIDI input port: one open input device of the device service. Every incoming short message
// reaches the port's receiver as a queued call on the receiver's thread, in arrival order.
// Every call answers with a MidiStatus.
#pragma once

#include "mididevice.h"
#include "midiinreceiver.h"

#include <memory>

class CMidiInRelay;
class CMidiOutPort;

class CMidiInPort final {
public:
    /// A closed port.
    CMidiInPort();
    /// Resets and closes an open device; a closed port makes no call.
    ~CMidiInPort();

    CMidiInPort(const CMidiInPort&) = delete;
    CMidiInPort& operator=(const CMidiInPort&) = delete;

    /// Opens a device of the service's latest snapshot for receiver; a device open before is
    /// closed first. Nothing arrives before Start.
    MidiStatus Open(int deviceId, MidiInReceiver receiver);
    MidiStatus Start();
    MidiStatus Stop();
    MidiStatus Reset();
    /// Closes the device; after it no call reaches the receiver, not even one already queued.
    MidiStatus Close();

    bool IsOpen() const { return m_pDevice != nullptr; }
    /// Has the device system echo what arrives to `output` by itself (see IMidiInDevice::SetThru);
    /// nullptr stops it. False when it can't, or the port is closed.
    bool SetThru(CMidiOutPort* output);

private:
    void DropRelay();

    std::unique_ptr<IMidiInDevice> m_pDevice;
    CMidiInRelay* m_pRelay = nullptr; // lives on the receiver's thread; deleted there
};
