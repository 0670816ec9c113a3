// Result codes of the MIDI layer and the status its calls answer with. The device service and
// the backends answer a bare code; the ports, the connection, the sequence player and the audio
// export answer a MidiStatus, which carries the code and the words for it. Nothing throws.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>

/// 0 is success. The numbers follow the classic multimedia codes so that stored codes keep
/// their meaning.
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
constexpr MidiResult kMidiErrCancelled = 98;     // the caller cancelled the operation

/// Text for a result code; never empty.
std::string GetMidiResultText(MidiResult result);

/// What a call of the layer's interface answers: true exactly on success, with the result code
/// and, for a failure, the words that say why.
class MidiStatus {
public:
    /// A result code is a status: its words are the code's text.
    MidiStatus(MidiResult code = kMidiOk) : m_code(code) {}
    /// A failure that says more than its code, in its own (English) words.
    MidiStatus(MidiResult code, std::string text) : m_code(code), m_text(std::move(text)) {}

    explicit operator bool() const { return m_code == kMidiOk; }
    MidiResult Code() const { return m_code; }
    /// The failure's own words, else the code's text.
    std::string Text() const { return m_text.empty() ? GetMidiResultText(m_code) : m_text; }

    friend bool operator==(const MidiStatus& a, const MidiStatus& b) {
        return a.m_code == b.m_code;
    }

private:
    MidiResult m_code;
    std::string m_text;
};

/// The code and the words, for test messages.
std::ostream& operator<<(std::ostream& out, const MidiStatus& status);
