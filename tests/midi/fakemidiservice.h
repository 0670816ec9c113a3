// A device service of the tests: devices are plain records, every call is logged, and input
// data is injected by the test.
#pragma once

#include "midi/mididevice.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct FakeDevice {
    std::string name;
    bool readable = true;
    uint16_t wMid = 0x10;
    uint16_t wPid = 0x20;
    uint32_t vDriverVersion = 0x0100;
    MidiResult openResult = kMidiOk;
};

struct FakeOp {
    enum Kind { Open, Send, Reset, Close, Start, Stop };
    Kind kind;
    bool input;
    int deviceId;
    uint32_t message;
    std::chrono::steady_clock::time_point when;
};

class CFakeMidiService final : public IMidiDeviceService {
public:
    std::vector<FakeDevice> inputs;
    std::vector<FakeDevice> outputs;
    /// Called on every send before it is logged; returns the result to give.
    std::function<MidiResult(int deviceId, uint32_t message)> onSend;

    CFakeMidiService() { SetMidiDeviceService(this); }
    ~CFakeMidiService() override { SetMidiDeviceService(nullptr); }

    void Rescan() override { ++rescans; }
    int GetNumInputs() override { return int(inputs.size()); }
    int GetNumOutputs() override { return int(outputs.size()); }

    MidiResult GetInputCaps(int id, MidiInCaps& caps) override {
        const FakeDevice* device = Find(inputs, id);
        if (!device)
            return kMidiErrBadDeviceId;
        if (!device->readable)
            return kMidiErrNoDriver;
        caps = MidiInCaps{};
        caps.wMid = device->wMid;
        caps.wPid = device->wPid;
        caps.vDriverVersion = device->vDriverVersion;
        device->name.copy(caps.szPname, sizeof caps.szPname - 1);
        return kMidiOk;
    }

    MidiResult GetOutputCaps(int id, MidiOutCaps& caps) override {
        const FakeDevice* device = Find(outputs, id);
        if (!device)
            return kMidiErrBadDeviceId;
        if (!device->readable)
            return kMidiErrNoDriver;
        caps = MidiOutCaps{};
        caps.wMid = device->wMid;
        caps.wPid = device->wPid;
        caps.vDriverVersion = device->vDriverVersion;
        device->name.copy(caps.szPname, sizeof caps.szPname - 1);
        caps.wTechnology = kModMidiPort;
        caps.wChannelMask = 0xFFFF;
        return kMidiOk;
    }

    MidiResult OpenOutput(int id, std::unique_ptr<IMidiOutDevice>& device) override {
        const FakeDevice* record = Find(outputs, id);
        if (!record)
            return kMidiErrBadDeviceId;
        if (record->openResult != kMidiOk)
            return record->openResult;
        Log(FakeOp::Open, false, id);
        device = std::make_unique<Out>(*this, id);
        return kMidiOk;
    }

    MidiResult OpenInput(int id, MidiInData data, std::unique_ptr<IMidiInDevice>& device) override {
        const FakeDevice* record = Find(inputs, id);
        if (!record)
            return kMidiErrBadDeviceId;
        if (record->openResult != kMidiOk)
            return record->openResult;
        Log(FakeOp::Open, true, id);
        auto in = std::make_unique<In>(*this, id, std::move(data));
        std::lock_guard lock(m_mutex);
        m_in[id] = in.get();
        device = std::move(in);
        return kMidiOk;
    }

    /// Delivers a short message to the open input device id as the backend would: only while
    /// it is started, on the calling thread.
    void Inject(int id, uint32_t message) {
        std::lock_guard lock(m_mutex);
        auto found = m_in.find(id);
        if (found != m_in.end() && found->second->data && found->second->started)
            found->second->data(message);
    }

    std::vector<FakeOp> Ops() const {
        std::lock_guard lock(m_mutex);
        return m_ops;
    }
    std::vector<uint32_t> Sent(int id) const {
        std::lock_guard lock(m_mutex);
        std::vector<uint32_t> sent;
        for (const FakeOp& op : m_ops) {
            if (op.kind == FakeOp::Send && op.deviceId == id)
                sent.push_back(op.message);
        }
        return sent;
    }
    int Count(FakeOp::Kind kind, bool input) const {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const FakeOp& op : m_ops)
            n += op.kind == kind && op.input == input ? 1 : 0;
        return n;
    }
    void ClearOps() {
        std::lock_guard lock(m_mutex);
        m_ops.clear();
    }

    int rescans = 0;

private:
    struct Out final : IMidiOutDevice {
        Out(CFakeMidiService& s, int i) : service(s), id(i) {}
        ~Out() override { service.Log(FakeOp::Close, false, id); }
        MidiResult SendShort(uint32_t message) override {
            const MidiResult result = service.onSend ? service.onSend(id, message) : kMidiOk;
            if (result == kMidiOk)
                service.Log(FakeOp::Send, false, id, message);
            return result;
        }
        MidiResult Reset() override {
            service.Log(FakeOp::Reset, false, id);
            return kMidiOk;
        }
        CFakeMidiService& service;
        int id;
    };

    struct In final : IMidiInDevice {
        In(CFakeMidiService& s, int i, MidiInData d) : service(s), id(i), data(std::move(d)) {}
        ~In() override {
            {
                std::lock_guard lock(service.m_mutex);
                service.m_in.erase(id);
            }
            service.Log(FakeOp::Close, true, id);
        }
        MidiResult Start() override {
            started = true;
            service.Log(FakeOp::Start, true, id);
            return kMidiOk;
        }
        MidiResult Stop() override {
            started = false;
            service.Log(FakeOp::Stop, true, id);
            return kMidiOk;
        }
        MidiResult Reset() override {
            started = false;
            service.Log(FakeOp::Reset, true, id);
            return kMidiOk;
        }
        CFakeMidiService& service;
        int id;
        MidiInData data;
        std::atomic<bool> started{false};
    };

    const FakeDevice* Find(const std::vector<FakeDevice>& list, int id) const {
        if (id < 0 || id >= int(list.size()))
            return nullptr;
        return &list[size_t(id)];
    }

    void Log(FakeOp::Kind kind, bool input, int id, uint32_t message = 0) {
        std::lock_guard lock(m_mutex);
        m_ops.push_back({kind, input, id, message, std::chrono::steady_clock::now()});
    }

    mutable std::mutex m_mutex;
    std::vector<FakeOp> m_ops;
    std::map<int, In*> m_in;
};
