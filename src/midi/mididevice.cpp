// The default device service: the ALSA, JACK and synthesizer backends, listed in that order.
#include "mididevice.h"

#include "midibackend.h"
#include "midinames.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {

constexpr uint16_t kManufacturerId = 0x00FF; // our own, not a registered one

struct ServiceEntry {
    IMidiBackend* backend;
    MidiPortRecord port;
};

class CDefaultMidiService final : public IMidiDeviceService {
public:
    CDefaultMidiService() {
        m_backends.push_back(CreateAlsaBackend());
        m_backends.push_back(CreateJackBackend());
        m_backends.push_back(CreateSynthBackend());
        Rescan();
    }

    void Rescan() override {
        std::vector<ServiceEntry> inputs;
        std::vector<ServiceEntry> outputs;
        for (auto& backend : m_backends) {
            std::vector<MidiPortRecord> in;
            std::vector<MidiPortRecord> out;
            backend->List(in, out);
            for (auto& port : in)
                inputs.push_back({backend.get(), std::move(port)});
            for (auto& port : out)
                outputs.push_back({backend.get(), std::move(port)});
        }
        MakeUnique(inputs);
        MakeUnique(outputs);
        std::lock_guard lock(m_mutex);
        m_inputs = std::move(inputs);
        m_outputs = std::move(outputs);
    }

    int GetNumInputs() override {
        std::lock_guard lock(m_mutex);
        return int(m_inputs.size());
    }
    int GetNumOutputs() override {
        std::lock_guard lock(m_mutex);
        return int(m_outputs.size());
    }

    MidiResult GetInputCaps(int deviceId, MidiInCaps& caps) override {
        std::lock_guard lock(m_mutex);
        if (deviceId < 0 || deviceId >= int(m_inputs.size()))
            return kMidiErrBadDeviceId;
        const MidiPortRecord& port = m_inputs[size_t(deviceId)].port;
        std::memset(&caps, 0, sizeof caps);
        caps.wMid = kManufacturerId;
        caps.wPid = port.wPid;
        caps.vDriverVersion = port.vDriverVersion;
        std::strncpy(caps.szPname, port.name.c_str(), sizeof caps.szPname - 1);
        caps.dwSupport = port.dwSupport;
        return kMidiOk;
    }

    MidiResult GetOutputCaps(int deviceId, MidiOutCaps& caps) override {
        std::lock_guard lock(m_mutex);
        if (deviceId < 0 || deviceId >= int(m_outputs.size()))
            return kMidiErrBadDeviceId;
        const MidiPortRecord& port = m_outputs[size_t(deviceId)].port;
        std::memset(&caps, 0, sizeof caps);
        caps.wMid = kManufacturerId;
        caps.wPid = port.wPid;
        caps.vDriverVersion = port.vDriverVersion;
        std::strncpy(caps.szPname, port.name.c_str(), sizeof caps.szPname - 1);
        caps.wTechnology = port.wTechnology;
        caps.wVoices = port.wVoices;
        caps.wNotes = port.wNotes;
        caps.wChannelMask = port.wChannelMask;
        caps.dwSupport = port.dwSupport;
        return kMidiOk;
    }

    std::string GetLegacyName(int deviceId, bool input) override {
        std::lock_guard lock(m_mutex);
        const std::vector<ServiceEntry>& entries = input ? m_inputs : m_outputs;
        if (deviceId < 0 || deviceId >= int(entries.size()))
            return {};
        return entries[size_t(deviceId)].port.legacyName;
    }

    MidiResult OpenOutput(int deviceId, std::unique_ptr<IMidiOutDevice>& device) override {
        ServiceEntry entry;
        {
            std::lock_guard lock(m_mutex);
            if (deviceId < 0 || deviceId >= int(m_outputs.size()))
                return kMidiErrBadDeviceId;
            entry = m_outputs[size_t(deviceId)];
        }
        const MidiResult result = entry.backend->OpenOutput(entry.port, device);
        if (result == kMidiOk) {
            for (auto& backend : m_backends) {
                if (backend.get() != entry.backend)
                    backend->ReleaseIdleOutputs();
            }
        }
        return result;
    }

    MidiResult OpenInput(int deviceId, MidiInData data,
                         std::unique_ptr<IMidiInDevice>& device) override {
        ServiceEntry entry;
        {
            std::lock_guard lock(m_mutex);
            if (deviceId < 0 || deviceId >= int(m_inputs.size()))
                return kMidiErrBadDeviceId;
            entry = m_inputs[size_t(deviceId)];
        }
        return entry.backend->OpenInput(entry.port, std::move(data), device);
    }

private:
    static void MakeUnique(std::vector<ServiceEntry>& entries) {
        std::vector<std::string> names;
        std::vector<std::string> legacyNames;
        for (const auto& entry : entries) {
            names.push_back(entry.port.name);
            const std::string& legacy = entry.port.legacyName;
            legacyNames.push_back(legacy.empty() ? entry.port.name : legacy);
        }
        MakeNamesUnique(names);
        // As the names were made before: cut in UTF-8 and unique among themselves.
        MakeNamesUnique(legacyNames, NameEncoding::Utf8);
        for (size_t i = 0; i < entries.size(); ++i) {
            entries[i].port.name = names[i];
            entries[i].port.legacyName = legacyNames[i];
        }
    }

    std::vector<std::unique_ptr<IMidiBackend>> m_backends;
    std::mutex m_mutex;
    std::vector<ServiceEntry> m_inputs;
    std::vector<ServiceEntry> m_outputs;
};

std::atomic<IMidiDeviceService*> g_installedService{nullptr};

} // namespace

IMidiDeviceService& GetMidiDeviceService() {
    if (IMidiDeviceService* installed = g_installedService.load())
        return *installed;
    static CDefaultMidiService service;
    return service;
}

void SetMidiDeviceService(IMidiDeviceService* service) {
    g_installedService.store(service);
}
