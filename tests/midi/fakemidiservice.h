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
    bool hasMapper = false;
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
        caps.wTechnology = id == -1 ? kModMapper : kModMidiPort;
        caps.wChannelMask = 0xFFFF;
        return kMidiOk;
    }

    MidiResult OpenOutput(int id, MidiNotify notify,
                          std::unique_ptr<IMidiOutDevice>& device) override {
        const FakeDevice* record = Find(outputs, id);
        if (!record)
            return kMidiErrBadDeviceId;
        if (record->openResult != kMidiOk)
            return record->openResult;
        Log(FakeOp::Open, false, id);
        device = std::make_unique<Out>(*this, id, notify);
        if (notify)
            notify(kMomOpen, 0, 0);
        std::lock_guard lock(m_mutex);
        m_outNotify[id] = std::move(notify);
        return kMidiOk;
    }

    MidiResult OpenInput(int id, MidiNotify notify,
                         std::unique_ptr<IMidiInDevice>& device) override {
        const FakeDevice* record = Find(inputs, id);
        if (!record)
            return kMidiErrBadDeviceId;
        if (record->openResult != kMidiOk)
            return record->openResult;
        Log(FakeOp::Open, true, id);
        if (notify)
            notify(kMimOpen, 0, 0);
        auto in = std::make_unique<In>(*this, id, std::move(notify));
        std::lock_guard lock(m_mutex);
        m_in[id] = in.get();
        device = std::move(in);
        return kMidiOk;
    }

    /// Delivers a short message to the open input device id as the backend would.
    void Inject(int id, uint32_t message) { Notify(id, kMimData, message, 0); }
    /// Delivers any notification to the open input device id.
    void Notify(int id, uint32_t code, uintptr_t p1, uintptr_t p2) {
        std::lock_guard lock(m_mutex);
        auto found = m_in.find(id);
        if (found != m_in.end() && found->second->notify &&
            (code != kMimData || found->second->started))
            found->second->notify(code, p1, p2);
    }
    /// Delivers any notification to the last opened output device id.
    void NotifyOutput(int id, uint32_t code, uintptr_t p1, uintptr_t p2) {
        MidiNotify notify;
        {
            std::lock_guard lock(m_mutex);
            notify = m_outNotify[id];
        }
        if (notify)
            notify(code, p1, p2);
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
        Out(CFakeMidiService& s, int i, MidiNotify n) : service(s), id(i), notify(std::move(n)) {}
        ~Out() override {
            service.Log(FakeOp::Close, false, id);
            if (notify)
                notify(kMomClose, 0, 0);
        }
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
        MidiNotify notify;
    };

    struct In final : IMidiInDevice {
        In(CFakeMidiService& s, int i, MidiNotify n) : service(s), id(i), notify(std::move(n)) {}
        ~In() override {
            {
                std::lock_guard lock(service.m_mutex);
                service.m_in.erase(id);
            }
            service.Log(FakeOp::Close, true, id);
            if (notify)
                notify(kMimClose, 0, 0);
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
        MidiNotify notify;
        std::atomic<bool> started{false};
    };

    const FakeDevice* Find(const std::vector<FakeDevice>& list, int id) const {
        if (id == -1)
            return hasMapper && !list.empty() ? &m_mapper : nullptr;
        if (id < 0 || id >= int(list.size()))
            return nullptr;
        return &list[size_t(id)];
    }

    void Log(FakeOp::Kind kind, bool input, int id, uint32_t message = 0) {
        std::lock_guard lock(m_mutex);
        m_ops.push_back({kind, input, id, message, std::chrono::steady_clock::now()});
    }

    FakeDevice m_mapper{"Mapper"};
    mutable std::mutex m_mutex;
    std::vector<FakeOp> m_ops;
    std::map<int, In*> m_in;
    std::map<int, MidiNotify> m_outNotify;
};
