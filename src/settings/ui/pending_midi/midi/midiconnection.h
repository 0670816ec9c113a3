// TEMPORARY: a copy of the MIDI layer's connection interface so the settings command
// compiles before the MIDI library is merged. Deleted when src/midi is on main.
#pragma once

#include <cstdint>

class QObject;
struct EnvSettings;

class CMidiConnection {
public:
    explicit CMidiConnection(const EnvSettings& settings);
    bool IsOpen() const;
    bool Open(QObject* receiver = nullptr);
    void Close();
    void SendShort(uint32_t message);

private:
    const EnvSettings& m_settings;
    bool m_bOpen = false;
};
