// Sounding a note as it is entered: one note at a time on an output port that opens on first
// use and stays open while notes are entered, its note-off on a timer of the user-interface
// thread.
#pragma once

#include "midi/midioutport.h"

#include <QElapsedTimer>
#include <QObject>

#include <cstdint>
#include <string>

class QTimer;

class CNoteAudition : public QObject {
    Q_OBJECT
public:
    explicit CNoteAudition(QObject* parent = nullptr);
    /// Releases a sounding note; the port then resets and closes.
    ~CNoteAudition() override;

    /// Sounds MIDI key `key` on channel 1 of the output device of that name (as the settings
    /// keep it) for `durationMs`, at most one second; a note still sounding is released first.
    /// Silently nothing when the device can't be used: after a failure the device is not
    /// asked again for a while, so entry never waits for it.
    void Play(const std::string& outputDeviceName, uint8_t key, int durationMs);
    /// Releases the sounding note now, if any; the port stays open.
    void Silence();
    /// How long the port stays open after the last note (ten seconds): closed, it costs the
    /// device nothing, and a JACK client with no other port sleeps.
    void SetIdleClose(int milliseconds);
    bool IsOpen() const { return m_port.IsOpen(); }

private:
    bool EnsureOpen(const std::string& outputDeviceName);
    void CloseWhenIdle();

    CMidiOutPort m_port;
    std::string m_strDevice; // the name the port was opened for
    std::string m_strFailed; // the name whose open failed last, until m_sinceFailure runs out
    QElapsedTimer m_sinceFailure;
    int m_nSoundingKey = -1;
    QTimer* m_pNoteOff;   // a child object
    QTimer* m_pIdleClose; // a child object
};
