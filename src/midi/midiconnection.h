// The MIDI connection: an input and an output device, by name, opened together for
// recording. Incoming data goes to the receiver; every message can be echoed out.
#pragma once

#include "midiinreceiver.h"
#include "midiresult.h"

#include <cstdint>
#include <memory>
#include <string>

class CMidiInPort;
class CMidiOutPort;

class CMidiConnection {
public:
    /// Closed, with no devices named and no receiver.
    CMidiConnection();
    ~CMidiConnection();

    CMidiConnection(const CMidiConnection&) = delete;
    CMidiConnection& operator=(const CMidiConnection&) = delete;

    /// The devices the next Open uses, by their names in the device list (cp932 bytes as the
    /// settings keep them; empty for none). An open connection keeps its devices until reopened.
    void SetDeviceNames(std::string inputName, std::string outputName);
    /// Where incoming data goes from the next Open on (the score view registers itself). An
    /// open connection keeps delivering to the receiver it was opened for while that lives.
    void SetReceiver(MidiInReceiver receiver);

    bool IsOpen() const { return m_pIn != nullptr; }
    /// Opens the named input (required) and output (optional, for the echo). Succeeds at once
    /// when open already; an input name that is empty or not listed answers kMidiErrBadDeviceId.
    MidiStatus Open();
    /// Resets and closes both devices; nothing when closed.
    void Close();
    /// Echoes a received message through the output device when there is one and the devices
    /// do not echo by themselves (a JACK input and output echo inside each cycle); the result
    /// is ignored.
    void SendShort(uint32_t message);

private:
    std::string m_strInputName;
    std::string m_strOutputName;
    MidiInReceiver m_receiver;
    std::unique_ptr<CMidiInPort> m_pIn;
    std::unique_ptr<CMidiOutPort> m_pOut;
    bool m_bThru = false; // the input echoes to the output by itself
};
