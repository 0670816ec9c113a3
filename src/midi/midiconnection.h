// The MIDI connection: an input and an output device, by name, opened together for
// recording. Incoming data goes to a receiving object; every message can be echoed out.
#pragma once

#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

class QObject;
class CMidiInPort;
class CMidiOutPort;

class CMidiConnection {
public:
    /// Closed, with no devices named.
    CMidiConnection();
    ~CMidiConnection();

    CMidiConnection(const CMidiConnection&) = delete;
    CMidiConnection& operator=(const CMidiConnection&) = delete;

    /// The devices the next Open uses, by their names in the device list (cp932 bytes as the
    /// settings keep them; empty for none). An open connection keeps its devices until reopened.
    void SetDeviceNames(std::string inputName, std::string outputName);

    bool IsOpen() const { return m_pIn != nullptr; }
    /// Opens the named input (required) and output (optional, for the echo). Incoming data
    /// goes to receiver, or to the default receiver when none is given. True when open already.
    bool Open(QObject* receiver = nullptr);
    /// Resets and closes both devices; nothing when closed.
    void Close();
    /// Echoes a received message through the output device when there is one and the devices
    /// do not echo by themselves (a JACK input and output echo inside each cycle); the result
    /// is ignored.
    void SendShort(uint32_t message);
    /// The object that takes incoming data when Open is given none (the score view).
    void SetDefaultReceiver(QObject* receiver);

private:
    std::string m_strInputName;
    std::string m_strOutputName;
    std::unique_ptr<CMidiInPort> m_pIn;
    std::unique_ptr<CMidiOutPort> m_pOut;
    QPointer<QObject> m_pDefaultReceiver;
    bool m_bThru = false; // the input echoes to the output by itself
};
