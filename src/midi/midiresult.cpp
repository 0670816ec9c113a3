#include "midiresult.h"

#include <ostream>

std::string GetMidiResultText(MidiResult result) {
    switch (result) {
    case kMidiOk:
        return "The operation completed successfully.";
    case kMidiErrError:
        return "The MIDI device reported an unspecified error.";
    case kMidiErrBadDeviceId:
        return "There is no MIDI device with this device id.";
    case kMidiErrAllocated:
        return "The MIDI device is already in use.";
    case kMidiErrInvalidHandle:
        return "The MIDI device is not open or is no longer available.";
    case kMidiErrNoDriver:
        return "The MIDI system for this device is not available.";
    case kMidiErrNoMemory:
        return "There is not enough memory for this MIDI operation.";
    case kMidiErrNotSupported:
        return "This operation is not supported on this system.";
    case kMidiErrInvalidParam:
        return "The MIDI message or parameter is not valid.";
    case kMidiErrNoDevice:
        return "The MIDI device is no longer connected.";
    case kMidiErrNoAudioOutput:
        return "The built-in synthesizer could not open an audio output.";
    case kMidiErrNoSoundFont:
        return "The built-in synthesizer could not load its soundfont.";
    case kMidiErrCancelled:
        return "The operation was cancelled.";
    default:
        return "Unknown MIDI error " + std::to_string(result) + ".";
    }
}

std::ostream& operator<<(std::ostream& out, const MidiStatus& status) {
    return out << status.Code() << " (" << status.Text() << ")";
}
