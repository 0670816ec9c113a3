// The MIDI device service: our own small interface between the ports and the platform.
// It lists devices by id (a snapshot taken by Rescan), opens them, sends short messages and
// delivers incoming ones. Backends (in backends/: the ALSA sequencer through RtMidi, JACK, the
// built-in synthesizer) sit behind the default service; tests install a service of their own.
#pragma once

#include "midiresult.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct MidiInCaps {
    uint16_t wMid;
    uint16_t wPid;
    uint32_t vDriverVersion;
    char szPname[32];
    uint32_t dwSupport;
};

struct MidiOutCaps {
    uint16_t wMid;
    uint16_t wPid;
    uint32_t vDriverVersion;
    char szPname[32];
    uint16_t wTechnology;
    uint16_t wVoices;
    uint16_t wNotes;
    uint16_t wChannelMask;
    uint32_t dwSupport;
};

static_assert(sizeof(MidiInCaps) == 44);
static_assert(sizeof(MidiOutCaps) == 52);

// Kinds of output in MidiOutCaps::wTechnology.
constexpr uint16_t kModMidiPort = 1; // a port to another program or an instrument
constexpr uint16_t kModSynth = 2;    // the built-in synthesizer

/// Takes each short message (packed, status in the low byte) that an input device receives
/// while started, in arrival order. Runs on the device's own thread.
using MidiInData = std::function<void(uint32_t message)>;
/// Called on an input device's own thread when messages may have been lost since the last call.
using MidiInLoss = std::function<void()>;

class IMidiOutDevice {
public:
    virtual ~IMidiOutDevice() = default; // closes the device without a reset
    virtual MidiResult SendShort(uint32_t message) = 0;
    /// A message of a timed run that was due at `due` (a moment that has just passed). A device
    /// with cycles (JACK) places it at the frame of its due time, a fixed latency after it, so
    /// the run keeps its own timing however late each message was handed over; others send it
    /// now.
    virtual MidiResult SendShortAt(uint32_t message, std::chrono::steady_clock::time_point due) {
        (void)due;
        return SendShort(message);
    }
    /// Every sounding note off on every channel.
    virtual MidiResult Reset() = 0;
    /// Live echo: each message leaves as soon as the device can take it. Otherwise a device
    /// with cycles (JACK) may hold messages by a fixed latency to place each on its own frame.
    virtual void SetLiveEcho(bool liveEcho) { (void)liveEcho; }
};

class IMidiInDevice {
public:
    virtual ~IMidiInDevice() = default; // closes the device; no data is delivered afterwards
    virtual MidiResult Start() = 0;
    virtual MidiResult Stop() = 0;
    virtual MidiResult Reset() = 0;
    /// Echoes every short message that arrives while started to `output` inside the device
    /// system, in the cycle it arrives in, before the receiver hears of it; nullptr stops it.
    /// False when this pairing can't do that: the caller then echoes by itself.
    virtual bool SetThru(IMidiOutDevice* output) {
        (void)output;
        return false;
    }
    /// Has `lost` called whenever, while started, messages may have been lost on their way in
    /// (JACK: the server missed a cycle, or they came faster than they could be taken). Set
    /// before Start; a device that cannot tell never calls it.
    virtual void SetLossHandler(MidiInLoss lost) { (void)lost; }
};

class IMidiDeviceService {
public:
    virtual ~IMidiDeviceService() = default;
    /// Takes a new snapshot of the devices; device ids index into the latest snapshot.
    virtual void Rescan() = 0;
    virtual int GetNumInputs() = 0;
    virtual int GetNumOutputs() = 0;
    virtual MidiResult GetInputCaps(int deviceId, MidiInCaps& caps) = 0;
    virtual MidiResult GetOutputCaps(int deviceId, MidiOutCaps& caps) = 0;
    /// The name a device had when device names were kept in UTF-8, so that a name stored then
    /// still finds its device; empty when the service keeps no such name.
    virtual std::string GetLegacyName(int deviceId, bool input) {
        (void)deviceId;
        (void)input;
        return {};
    }
    virtual MidiResult OpenOutput(int deviceId, std::unique_ptr<IMidiOutDevice>& device) = 0;
    /// Opens an input; once it is started, data (may be empty) takes what it receives.
    virtual MidiResult OpenInput(int deviceId, MidiInData data,
                                 std::unique_ptr<IMidiInDevice>& device) = 0;
};

/// The service every catalogue and port uses: the one installed, else the default one.
IMidiDeviceService& GetMidiDeviceService();
/// Installs a service (tests); nullptr goes back to the default. Not owned.
void SetMidiDeviceService(IMidiDeviceService* service);

/// Name of the built-in synthesizer's output device.
constexpr const char* kBuiltinSynthName = "KesV Built-in Synth";
