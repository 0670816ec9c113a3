#include "midioutport.h"

#include <cstring>
#include <new>

CMidiOutPort::CMidiOutPort() = default;

CMidiOutPort::CMidiOutPort(int deviceId, bool useCallback, MidiOutProc userProc) {
    if (!Open(deviceId, useCallback, userProc))
        throw CMidiOpenError(GetLastResult());
}

CMidiOutPort::CMidiOutPort(int deviceId, QObject* window) {
    if (!Open(deviceId, window))
        throw CMidiOpenError(GetLastResult());
}

CMidiOutPort::~CMidiOutPort() {
    if (m_pDevice) {
        Reset();
        Close();
    }
}

bool CMidiOutPort::OpenDevice(int deviceId, MidiNotify notify) {
    std::unique_ptr<IMidiOutDevice> device;
    const MidiResult result =
        GetMidiDeviceService().OpenOutput(deviceId, std::move(notify), device);
    if (result == kMidiOk) {
        m_pDevice = std::move(device);
        m_hHandle.store(m_pDevice.get());
        m_nDeviceId = deviceId;
    }
    return Store(result);
}

bool CMidiOutPort::Open(int deviceId, bool useCallback, MidiOutProc userProc) {
    m_pUserProc = userProc;
    MidiNotify notify;
    if (useCallback) {
        notify = [this](uint32_t message, uintptr_t param1, uintptr_t param2) {
            DispatchProc(m_hHandle.load(), message, reinterpret_cast<uintptr_t>(this), param1,
                         param2);
        };
    }
    return OpenDevice(deviceId, std::move(notify));
}

bool CMidiOutPort::Open(int deviceId, QObject* window) {
    m_pWindow = window;
    return OpenDevice(deviceId, MidiNotify());
}

void CMidiOutPort::DispatchProc(void* handle, uint32_t message, uintptr_t instance,
                                uintptr_t param1, uintptr_t param2) {
    auto* port = reinterpret_cast<CMidiOutPort*>(instance);
    switch (message) {
    case kMomOpen:
        port->OnOpen();
        break;
    case kMomClose:
        port->OnClose();
        break;
    case kMomDone:
        port->OnDone(reinterpret_cast<MidiHdr*>(param1));
        break;
    default:
        if (port->m_pUserProc)
            port->m_pUserProc(handle, message, instance, param1, param2);
        break;
    }
}

bool CMidiOutPort::Close() {
    if (!m_pDevice)
        return Store(kMidiErrInvalidHandle);
    m_hHandle.store(nullptr);
    m_pDevice.reset();
    m_nDeviceId = -1;
    return Store(kMidiOk);
}

bool CMidiOutPort::Reset() {
    return Store(m_pDevice ? m_pDevice->Reset() : kMidiErrInvalidHandle);
}

bool CMidiOutPort::ShortMsg(uint32_t message) {
    return Store(m_pDevice ? m_pDevice->SendShort(message) : kMidiErrInvalidHandle);
}

bool CMidiOutPort::ShortMsgAt(uint32_t message, std::chrono::steady_clock::time_point due) {
    return Store(m_pDevice ? m_pDevice->SendShortAt(message, due) : kMidiErrInvalidHandle);
}

void CMidiOutPort::SetLiveEcho(bool liveEcho) {
    if (m_pDevice)
        m_pDevice->SetLiveEcho(liveEcho);
}

bool CMidiOutPort::LongMsg(MidiHdr*) {
    return StoreNotSupported(m_pDevice != nullptr);
}

bool CMidiOutPort::PrepareHeader(MidiHdr*) {
    return StoreNotSupported(m_pDevice != nullptr);
}

bool CMidiOutPort::UnprepareHeader(MidiHdr*) {
    return StoreNotSupported(m_pDevice != nullptr);
}

bool CMidiOutPort::Message(uint32_t, uintptr_t, uintptr_t) {
    return StoreNotSupported(m_pDevice != nullptr);
}

int CMidiOutPort::GetID() {
    Store(m_pDevice ? kMidiOk : kMidiErrInvalidHandle);
    return m_pDevice ? m_nDeviceId : -1;
}

bool CMidiOutPort::GetDevCaps(int deviceId, MidiOutCaps& caps) {
    return Store(GetMidiDeviceService().GetOutputCaps(deviceId, caps));
}

bool CMidiOutPort::GetDevCaps(MidiOutCaps& caps) {
    const int id = GetID();
    if (m_lastResult != kMidiOk)
        return false;
    return GetDevCaps(id, caps);
}

int CMidiOutPort::GetNumDevs() {
    return GetMidiDeviceService().GetNumOutputs();
}

uint32_t CMidiOutPort::GetVolume() {
    StoreNotSupported(m_pDevice != nullptr);
    return 0;
}

bool CMidiOutPort::SetVolume(uint32_t) {
    return StoreNotSupported(m_pDevice != nullptr);
}

bool CMidiOutPort::CachePatches(unsigned, uint16_t*, unsigned) {
    return StoreNotSupported(m_pDevice != nullptr);
}

bool CMidiOutPort::CacheDrumPatches(unsigned, uint16_t*, unsigned) {
    return StoreNotSupported(m_pDevice != nullptr);
}

CMidiLongMsgBuffer::CMidiLongMsgBuffer(const void* source, uint32_t length) {
    if (!SetData(source, length))
        throw std::bad_alloc();
}

bool CMidiLongMsgBuffer::SetData(const void* source, uint32_t length) {
    m_pData.reset();
    m_header.lpData = nullptr;
    m_header.dwBufferLength = 0;
    if (length == 0)
        return true;
    m_pData.reset(new (std::nothrow) char[length]());
    if (!m_pData)
        return false;
    if (source)
        std::memcpy(m_pData.get(), source, length);
    m_header.lpData = m_pData.get();
    m_header.dwBufferLength = length;
    return true;
}
