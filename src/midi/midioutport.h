// A MIDI output port: one open output device of the device service. It keeps the result code
// of the last call (GetErrorText turns it into text) and turns the device's notifications into
// calls of its handlers (callback mode) or sends them to a receiving object (window mode).
#pragma once

#include "mididevice.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

class QObject;

/// What the opening constructors of a port (and of the sequence player) throw when the device
/// can't be opened; carries the device service's result.
class CMidiOpenError : public std::runtime_error {
public:
    explicit CMidiOpenError(MidiResult result)
        : std::runtime_error(GetMidiResultText(result)), m_result(result) {}
    MidiResult Result() const { return m_result; }

private:
    MidiResult m_result;
};

/// Header of a long (system-exclusive) message buffer.
struct MidiHdr {
    char* lpData;
    uint32_t dwBufferLength;
    uint32_t dwBytesRecorded;
    uintptr_t dwUser;
    uint32_t dwFlags;
    MidiHdr* lpNext;
    uintptr_t reserved;
    uint32_t dwOffset;
    uintptr_t dwReserved[8];
};

/// Callback procedure: (device handle, message, instance, parameter 1, parameter 2).
using MidiOutProc = void (*)(void* handle, uint32_t message, uintptr_t instance, uintptr_t param1,
                             uintptr_t param2);

class CMidiOutPort : public CMidiResultKeeper {
public:
    /// A closed port.
    CMidiOutPort();
    /// Opens in callback mode; throws CMidiOpenError when the device can't be opened. The open
    /// notification arrives while this base is being built, so a derived class that wants
    /// OnOpen opens with Open after its own construction.
    CMidiOutPort(int deviceId, bool useCallback, MidiOutProc userProc);
    /// Opens in window mode; throws CMidiOpenError when the device can't be opened.
    CMidiOutPort(int deviceId, QObject* window);
    /// Resets and closes an open device; a closed port makes no call.
    virtual ~CMidiOutPort();

    CMidiOutPort(const CMidiOutPort&) = delete;
    CMidiOutPort& operator=(const CMidiOutPort&) = delete;

    /// Callback mode: with useCallback the device's notifications reach OnOpen, OnClose,
    /// OnDone and, for any other, userProc; without it none arrive. userProc is kept either way.
    bool Open(int deviceId, bool useCallback, MidiOutProc userProc);
    /// Window mode. No handler of a receiving object takes output notifications, so they are
    /// dropped; the receiver is kept only as the target.
    bool Open(int deviceId, QObject* window);
    /// The port is closed afterwards whether or not the call succeeded.
    bool Close();
    bool Reset();
    bool ShortMsg(uint32_t message);
    /// A message of a timed run, due at `due`: see IMidiOutDevice::SendShortAt.
    bool ShortMsgAt(uint32_t message, std::chrono::steady_clock::time_point due);
    /// For echoing what comes in while recording: messages leave with the least latency the
    /// device has instead of a steady one. Kept only while the port is open.
    void SetLiveEcho(bool liveEcho);
    // Long messages, driver messages, volume and patch caching have no meaning here: they
    // answer kMidiErrNotSupported on an open port and kMidiErrInvalidHandle on a closed one.
    bool LongMsg(MidiHdr* header);
    bool PrepareHeader(MidiHdr* header);
    bool UnprepareHeader(MidiHdr* header);
    bool Message(uint32_t message, uintptr_t param1, uintptr_t param2);
    /// Device id of the open device; -1 (and kMidiErrInvalidHandle) when closed.
    int GetID();
    bool GetDevCaps(int deviceId, MidiOutCaps& caps);
    bool GetDevCaps(MidiOutCaps& caps);
    static int GetNumDevs();
    uint32_t GetVolume();
    bool SetVolume(uint32_t volume);
    bool CachePatches(unsigned bank, uint16_t* patches, unsigned flags);
    bool CacheDrumPatches(unsigned patch, uint16_t* keys, unsigned flags);

    bool IsOpen() const { return m_pDevice != nullptr; }
    /// The open device, for pairing it with an input (CMidiInPort::SetThru); null when closed.
    IMidiOutDevice* GetDevice() const { return m_pDevice.get(); }

    /// The callback-mode dispatch: instance is the port.
    static void DispatchProc(void* handle, uint32_t message, uintptr_t instance, uintptr_t param1,
                             uintptr_t param2);

protected:
    virtual void OnOpen() {}
    virtual void OnClose() {}
    virtual void OnDone(MidiHdr*) {}

private:
    bool OpenDevice(int deviceId, MidiNotify notify);

    std::unique_ptr<IMidiOutDevice> m_pDevice;
    MidiOutProc m_pUserProc = nullptr;
    int m_nDeviceId = -1;
    QObject* m_pWindow = nullptr;
    std::atomic<void*> m_hHandle{nullptr};
};

/// A long-message header and its data, zero-filled. Long messages are not sent on this system,
/// but the buffer keeps its contract: SetData with length 0 leaves no data and succeeds.
class CMidiLongMsgBuffer {
public:
    /// Throws std::bad_alloc when the memory can't be had.
    CMidiLongMsgBuffer(const void* source, uint32_t length);
    bool SetData(const void* source, uint32_t length);
    MidiHdr* GetHeader() { return &m_header; }

private:
    MidiHdr m_header{};
    std::unique_ptr<char[]> m_pData;
};
