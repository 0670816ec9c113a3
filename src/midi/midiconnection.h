// The MIDI connection: the input and output devices the settings name, opened together for
// recording. Incoming data goes to a receiving object; every message can be echoed out.
#pragma once

#include <QPointer>

#include <cstdint>
#include <memory>

class QObject;
class CMidiInPort;
class CMidiOutPort;
struct EnvSettings;

class CMidiConnection {
public:
    /// Closed. The settings are read at each Open, so a changed name counts after reopening.
    explicit CMidiConnection(const EnvSettings& settings);
    ~CMidiConnection();

    CMidiConnection(const CMidiConnection&) = delete;
    CMidiConnection& operator=(const CMidiConnection&) = delete;

    bool IsOpen() const { return m_pIn != nullptr; }
    /// Opens the named input (required) and output (optional, for the echo). Incoming data
    /// goes to receiver, or to the default receiver when none is given. True when open already.
    bool Open(QObject* receiver = nullptr);
    /// Resets and closes both devices; nothing when closed.
    void Close();
    /// Sends through the output device when there is one; the result is ignored.
    void SendShort(uint32_t message);
    /// The object that takes incoming data when Open is given none (the score view).
    void SetDefaultReceiver(QObject* receiver);

private:
    const EnvSettings& m_settings;
    std::unique_ptr<CMidiInPort> m_pIn;
    std::unique_ptr<CMidiOutPort> m_pOut;
    QPointer<QObject> m_pDefaultReceiver;
};
