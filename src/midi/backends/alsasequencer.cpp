// The ALSA sequencer through RtMidi, built as the module kesv-alsa.so (see alsamodule.h). The
// sequencer has no cycles: a message goes out when it is sent. Nothing is listed, and nothing
// printed, when /dev/snd/seq is missing.
#include "alsamodule.h"
#include "midi/midibackend.h"
#include "midi/midinames.h"

#include <rtmidi/RtMidi.h>

#include <unistd.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

void IgnoreRtMidiError(RtMidiError::Type, const std::string&, void*) {}

bool IsAvailable() {
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

/// Finds a port by the full name it had when the catalogue was taken.
template <typename Rt> int FindPort(Rt& rt, const std::string& key) {
    const unsigned count = rt.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        if (rt.getPortName(i) == key)
            return int(i);
    }
    return -1;
}

template <typename Rt> std::vector<std::string> PortNames(Rt& rt) {
    std::vector<std::string> names;
    const unsigned count = rt.getPortCount();
    for (unsigned i = 0; i < count; ++i)
        names.push_back(rt.getPortName(i));
    return names;
}

class CAlsaOutDevice final : public IMidiOutDevice {
public:
    explicit CAlsaOutDevice(std::unique_ptr<RtMidiOut> out) : m_pOut(std::move(out)) {
        m_pOut->setErrorCallback(&CAlsaOutDevice::OnError, this);
    }

    MidiResult SendShort(uint32_t message) override {
        if (m_bGone.load(std::memory_order_relaxed))
            return kMidiErrInvalidHandle;
        const std::array<unsigned char, 3> bytes{static_cast<unsigned char>(message),
                                                 static_cast<unsigned char>(message >> 8),
                                                 static_cast<unsigned char>(message >> 16)};
        const int length = ShortMessageLength(bytes[0]);
        if (length == 0)
            return kMidiErrInvalidParam;
        m_pOut->sendMessage(bytes.data(), size_t(length));
        if (m_bGone.load(std::memory_order_relaxed))
            return kMidiErrInvalidHandle;
        m_sounding.Track(bytes[0], bytes[1], bytes[2]);
        return kMidiOk;
    }

    MidiResult Reset() override {
        if (m_bGone.load(std::memory_order_relaxed))
            return kMidiErrInvalidHandle;
        m_sounding.Reset([this](uint8_t status, uint8_t d1, uint8_t d2) {
            const unsigned char bytes[3] = {status, d1, d2};
            m_pOut->sendMessage(bytes, 3);
        });
        return kMidiOk;
    }

private:
    static void OnError(RtMidiError::Type type, const std::string&, void* self) {
        if (type == RtMidiError::DRIVER_ERROR || type == RtMidiError::SYSTEM_ERROR ||
            type == RtMidiError::INVALID_USE)
            static_cast<CAlsaOutDevice*>(self)->m_bGone.store(true);
    }

    std::unique_ptr<RtMidiOut> m_pOut;
    std::atomic<bool> m_bGone{false};
    CSoundingNotes m_sounding;
};

class CAlsaInDevice final : public IMidiInDevice {
public:
    explicit CAlsaInDevice(MidiInData data) : m_data(std::move(data)) {}
    ~CAlsaInDevice() override {
        m_pIn.reset(); // ends RtMidi's callbacks before the receiver may go
    }

    MidiResult Open(const std::string& key) {
        try {
            m_pIn = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kOwnClientName);
            m_pIn->setErrorCallback(&IgnoreRtMidiError, nullptr);
            const int index = FindPort(*m_pIn, key);
            if (index < 0)
                return kMidiErrNoDevice;
            // Long (system-exclusive) messages are not received; every short message is.
            m_pIn->ignoreTypes(true, false, false);
            m_pIn->setCallback(&CAlsaInDevice::OnMessage, this);
            m_pIn->openPort(unsigned(index), "in");
            if (!m_pIn->isPortOpen())
                return kMidiErrError;
        } catch (const RtMidiError&) {
            return kMidiErrNoDriver;
        }
        return kMidiOk;
    }

    MidiResult Start() override {
        m_bStarted.store(true);
        return kMidiOk;
    }
    MidiResult Stop() override {
        m_bStarted.store(false);
        return kMidiOk;
    }
    MidiResult Reset() override { return Stop(); }

private:
    static void OnMessage(double, std::vector<unsigned char>* message, void* user) {
        auto* self = static_cast<CAlsaInDevice*>(user);
        if (!self->m_bStarted.load() || !self->m_data || message->empty())
            return;
        const int length = ShortMessageLength((*message)[0]);
        if (length == 0 || message->size() < size_t(length))
            return;
        uint32_t packed = 0;
        for (int i = 0; i < length; ++i)
            packed |= uint32_t((*message)[size_t(i)]) << (8 * i);
        self->m_data(packed);
    }

    MidiInData m_data;
    std::unique_ptr<RtMidiIn> m_pIn;
    std::atomic<bool> m_bStarted{false};
};

class CAlsaSequencer final : public IAlsaSequencer {
public:
    void ListPorts(std::vector<std::string>& inputs, std::vector<std::string>& outputs) override {
        inputs.clear();
        outputs.clear();
        if (!IsAvailable())
            return;
        try {
            RtMidiIn in(RtMidi::LINUX_ALSA, kOwnClientName);
            in.setErrorCallback(&IgnoreRtMidiError, nullptr);
            inputs = PortNames(in);
            RtMidiOut out(RtMidi::LINUX_ALSA, kOwnClientName);
            out.setErrorCallback(&IgnoreRtMidiError, nullptr);
            outputs = PortNames(out);
        } catch (const RtMidiError&) {
            // The system went away between the check and the listing: list nothing.
            inputs.clear();
            outputs.clear();
        }
    }

    MidiResult OpenOutput(const std::string& key,
                          std::unique_ptr<IMidiOutDevice>& device) override {
        if (!IsAvailable())
            return kMidiErrNoDriver;
        try {
            auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kOwnClientName);
            out->setErrorCallback(&IgnoreRtMidiError, nullptr);
            const int index = FindPort(*out, key);
            if (index < 0)
                return kMidiErrNoDevice;
            out->openPort(unsigned(index), "out");
            if (!out->isPortOpen())
                return kMidiErrError;
            device = std::make_unique<CAlsaOutDevice>(std::move(out));
            return kMidiOk;
        } catch (const RtMidiError&) {
            return kMidiErrNoDriver;
        }
    }

    MidiResult OpenInput(const std::string& key, MidiInData data,
                         std::unique_ptr<IMidiInDevice>& device) override {
        if (!IsAvailable())
            return kMidiErrNoDriver;
        auto in = std::make_unique<CAlsaInDevice>(std::move(data));
        const MidiResult result = in->Open(key);
        if (result == kMidiOk)
            device = std::move(in);
        return result;
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) IAlsaSequencer* KesvCreateAlsaSequencer() {
    return new CAlsaSequencer;
}
static_assert(std::is_same_v<decltype(&KesvCreateAlsaSequencer), CreateAlsaSequencerFunction>);
