// Backends behind the default device service. Private to the MIDI library.
#pragma once

#include "mididevice.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

/// One port as a backend reports it. key is what the backend opens it by (its full name).
struct MidiPortRecord {
    std::string name;       // stable name in cp932; the service makes it unique and short
    std::string legacyName; // the UTF-8 name names were before they were cp932; empty: name
    std::string key;
    uint16_t wPid = 0;
    uint32_t vDriverVersion = 0;
    uint16_t wTechnology = kModMidiPort;
    uint16_t wVoices = 0;
    uint16_t wNotes = 0;
    uint16_t wChannelMask = 0xFFFF;
    uint32_t dwSupport = 0;
};

class IMidiBackend {
public:
    virtual ~IMidiBackend() = default;
    virtual void List(std::vector<MidiPortRecord>& inputs,
                      std::vector<MidiPortRecord>& outputs) = 0;
    virtual MidiResult OpenOutput(const MidiPortRecord& port,
                                  std::unique_ptr<IMidiOutDevice>& device) = 0;
    virtual MidiResult OpenInput(const MidiPortRecord& port, MidiInData data,
                                 std::unique_ptr<IMidiInDevice>& device) = 0;
    /// Lets go of what the backend keeps for its next output device (a registered port):
    /// an output of another backend has been opened.
    virtual void ReleaseIdleOutputs() {}
};

/// Records for the ports of a MIDI system by their full names: stable names without volatile
/// numbers, in cp932; the program's own ports are left out.
void AddPortRecords(const std::vector<std::string>& fullNames, uint16_t productId,
                    uint32_t driverVersion, std::vector<MidiPortRecord>& ports);

/// Bytes of a short message by its status byte; 0 when the status cannot start one.
inline int ShortMessageLength(uint8_t status) {
    if (status < 0x80 || status == 0xF0 || status == 0xF7)
        return 0;
    if (status < 0xF0)
        return (status & 0xE0) == 0xC0 ? 2 : 3;
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    default:
        return 1;
    }
}

/// The notes an output has turned on and not off, so that a reset turns off exactly those.
class CSoundingNotes {
public:
    void Track(uint8_t status, uint8_t key, uint8_t velocity) {
        const size_t index = size_t((status & 0x0F) * 128 + (key & 0x7F));
        if ((status & 0xF0) == 0x90 && velocity > 0)
            m_sounding.set(index);
        else if ((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90)
            m_sounding.reset(index);
    }
    /// Calls send with each message of a reset: a note off per sounding note, then sustain
    /// off and all notes off on every channel. Forgets the notes.
    template <typename Send> void Reset(Send send) {
        for (int channel = 0; channel < 16; ++channel) {
            for (int key = 0; key < 128; ++key) {
                if (m_sounding[size_t(channel * 128 + key)])
                    send(uint8_t(0x80 | channel), uint8_t(key), uint8_t(0));
            }
            send(uint8_t(0xB0 | channel), uint8_t(64), uint8_t(0));
            send(uint8_t(0xB0 | channel), uint8_t(123), uint8_t(0));
        }
        m_sounding.reset();
    }

private:
    std::bitset<16 * 128> m_sounding;
};

std::unique_ptr<IMidiBackend> CreateAlsaBackend();
std::unique_ptr<IMidiBackend> CreateJackBackend();
std::unique_ptr<IMidiBackend> CreateSynthBackend();

/// True when a JACK server answers; never starts one, prints nothing.
bool IsJackServerRunning();

/// Whether PrepareMidiEnvironment has run, so that no library starts a JACK server.
bool IsMidiEnvironmentPrepared();
