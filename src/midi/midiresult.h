// Result codes of the MIDI device service. Every call answers with one of these; 0 is success.
// The numbers follow the classic multimedia codes so that stored codes keep their meaning.
#pragma once

#include <cstdint>
#include <string>

using MidiResult = uint32_t;

constexpr MidiResult kMidiOk = 0;
constexpr MidiResult kMidiErrError = 1;         // unspecified failure of the backend
constexpr MidiResult kMidiErrBadDeviceId = 2;   // no device with that id in the catalogue
constexpr MidiResult kMidiErrAllocated = 4;     // the device is in use and cannot be shared
constexpr MidiResult kMidiErrInvalidHandle = 5; // the port is closed or its device has vanished
constexpr MidiResult kMidiErrNoDriver = 6;      // the backend of the device is not available
constexpr MidiResult kMidiErrNoMemory = 7;
constexpr MidiResult kMidiErrNotSupported = 8; // the operation has no meaning on this system
constexpr MidiResult kMidiErrInvalidParam = 11;
constexpr MidiResult kMidiErrNoDevice = 68;      // the device is no longer there
constexpr MidiResult kMidiErrNoAudioOutput = 96; // the synthesizer found no audio output
constexpr MidiResult kMidiErrNoSoundFont = 97;   // the synthesizer could not load its soundfont

/// Text for a result code; never empty.
std::string GetMidiResultText(MidiResult result);

/// The result of a port's last call, as the input and output ports keep it: every call
/// stores its code and answers true exactly when it is kMidiOk.
class CMidiResultKeeper {
public:
    MidiResult GetLastResult() const { return m_lastResult; }
    /// Text of the last result.
    std::string GetErrorText() const { return GetMidiResultText(m_lastResult); }

protected:
    bool Store(MidiResult result) {
        m_lastResult = result;
        return result == kMidiOk;
    }
    /// For operations without meaning on this system: not supported on an open port,
    /// invalid handle on a closed one.
    bool StoreNotSupported(bool open) {
        return Store(open ? kMidiErrNotSupported : kMidiErrInvalidHandle);
    }

    MidiResult m_lastResult = kMidiOk;
};

// Notification codes passed to callback procedures.
constexpr uint32_t kMimOpen = 0x3C1;
constexpr uint32_t kMimClose = 0x3C2;
constexpr uint32_t kMimData = 0x3C3;
constexpr uint32_t kMimLongData = 0x3C4;
constexpr uint32_t kMimError = 0x3C5;
constexpr uint32_t kMimLongError = 0x3C6;
constexpr uint32_t kMomOpen = 0x3C7;
constexpr uint32_t kMomClose = 0x3C8;
constexpr uint32_t kMomDone = 0x3C9;

// Output technology codes of MidiOutCaps::wTechnology.
constexpr uint16_t kModMidiPort = 1;
constexpr uint16_t kModSynth = 2;
constexpr uint16_t kModSqSynth = 3;
constexpr uint16_t kModFmSynth = 4;
constexpr uint16_t kModMapper = 5;
constexpr uint16_t kModWavetable = 6;
constexpr uint16_t kModSwSynth = 7;

constexpr int kMidiMapper = -1;
