// A MIDI input port: one open input device of the device service. In window mode every
// incoming short message reaches the receiving object as a queued call of its
// Q_INVOKABLE void OnMidiInData(quint32 message), on the receiver's thread, in arrival order.
#pragma once

#include "midioutport.h"

class QObject;
class CMidiInRelay;

using MidiInProc = void (*)(void* handle, uint32_t message, uintptr_t instance, uintptr_t param1,
                            uintptr_t param2);

class CMidiInPort : public CMidiResultKeeper {
public:
    CMidiInPort();
    /// Callback mode. Never throws: a failed open leaves the port closed, and Start then fails.
    CMidiInPort(int deviceId, bool useCallback, MidiInProc userProc);
    /// Window mode. Never throws, as above.
    CMidiInPort(int deviceId, QObject* window);
    /// Resets and closes an open device; a closed port makes no call.
    virtual ~CMidiInPort();

    CMidiInPort(const CMidiInPort&) = delete;
    CMidiInPort& operator=(const CMidiInPort&) = delete;

    bool Open(int deviceId, bool useCallback, MidiInProc userProc);
    bool Open(int deviceId, QObject* window);
    bool Start();
    bool Stop();
    bool Reset();
    /// Closes the device; after it no notification and no queued data call arrives.
    bool Close();
    // No buffers for long messages are taken on this system: kMidiErrNotSupported.
    bool AddBuffer(MidiHdr* header);
    bool PrepareHeader(MidiHdr* header);
    bool UnprepareHeader(MidiHdr* header);
    bool Message(uint32_t message, uintptr_t param1, uintptr_t param2);
    int GetID();
    bool GetDevCaps(int deviceId, MidiInCaps& caps);
    bool GetDevCaps(MidiInCaps& caps);
    static int GetNumDevs();

    bool IsOpen() const { return m_pDevice != nullptr; }
    /// Has the device system echo what arrives to `output` by itself (see IMidiInDevice::SetThru);
    /// nullptr stops it. False when it can't, or the port is closed.
    bool SetThru(CMidiOutPort* output);

    static void DispatchProc(void* handle, uint32_t message, uintptr_t instance, uintptr_t param1,
                             uintptr_t param2);

protected:
    // Callback mode runs these on the device's thread.
    virtual void OnOpen() {}
    virtual void OnClose() {}
    /// param1: the short message; param2: milliseconds since Start.
    virtual void OnData(uintptr_t, uintptr_t) {}
    virtual void OnLongData(uintptr_t, uintptr_t) {}
    virtual void OnError(uintptr_t, uintptr_t) {}
    virtual void OnLongError(uintptr_t, uintptr_t) {}

private:
    bool OpenDevice(int deviceId, MidiNotify notify);
    void DropRelay();

    std::unique_ptr<IMidiInDevice> m_pDevice;
    MidiInProc m_pUserProc = nullptr;
    int m_nDeviceId = -1;
    CMidiInRelay* m_pRelay = nullptr;
    std::atomic<void*> m_hHandle{nullptr};
};
