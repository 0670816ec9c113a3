// JACK clients started by a test as the MIDI devices the program sees: jack_midi_dump gives
// an output device that records what it receives, jack_midiseq an input device.
#pragma once

#include "midi/mididevicelist.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <cstring>
#include <string>

/// True when a JACK server answers (the private one scripts/test.sh starts).
inline bool JackServerReachable() {
    qputenv("JACK_NO_START_SERVER", "1"); // never start a server of our own by accident
    QProcess lsp;
    lsp.start(QStringLiteral("jack_lsp"), {});
    return lsp.waitForFinished(5000) && lsp.exitStatus() == QProcess::NormalExit &&
           lsp.exitCode() == 0;
}

class JackPeer {
public:
    ~JackPeer() { Stop(); }

    bool Start(const QString& program, const QStringList& arguments) {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program, arguments);
        return m_process.waitForStarted(5000);
    }
    void Stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill(); // only the child this object started
        m_process.waitForFinished(5000);
    }
    /// Everything the client printed so far.
    QString Output() {
        m_strOutput += QString::fromLocal8Bit(m_process.readAll());
        return m_strOutput;
    }

private:
    QProcess m_process;
    QString m_strOutput;
};

/// Position of the first device whose name contains part, or -1.
inline int FindDevice(const CMidiDeviceList& list, const char* part, bool input) {
    const int count = input ? list.GetInputCount() : list.GetOutputCount();
    for (int i = 0; i < count; ++i) {
        const char* name = input ? list.GetInput(i).caps.szPname : list.GetOutput(i).caps.szPname;
        if (std::string(name, ::strnlen(name, 32)).find(part) != std::string::npos)
            return i;
    }
    return -1;
}

/// Refreshes a catalogue until a device containing part shows up; its position or -1.
inline int WaitForDevice(CMidiDeviceList& list, const char* part, bool input) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        list.Refresh();
        const int position = FindDevice(list, part, input);
        if (position >= 0)
            return position;
        QThread::msleep(50);
    }
    return -1;
}
