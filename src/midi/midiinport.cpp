#include "midiinport.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>

/// Lives on the receiver's thread and hands each message to it there; deleting the relay
/// drops the calls still queued for it.
class CMidiInRelay : public QObject {
public:
    explicit CMidiInRelay(QObject* receiver) : m_pReceiver(receiver) {
        if (receiver)
            moveToThread(receiver->thread());
    }

    void Post(quint32 message) {
        QMetaObject::invokeMethod(
            this,
            [this, message] {
                if (m_pReceiver)
                    QMetaObject::invokeMethod(m_pReceiver.data(), "OnMidiInData",
                                              Qt::DirectConnection, Q_ARG(quint32, message));
            },
            Qt::QueuedConnection);
    }

private:
    QPointer<QObject> m_pReceiver; // read only on the relay's own thread
};

CMidiInPort::CMidiInPort() = default;

CMidiInPort::CMidiInPort(int deviceId, bool useCallback, MidiInProc userProc) {
    Open(deviceId, useCallback, userProc);
}

CMidiInPort::CMidiInPort(int deviceId, QObject* window) {
    Open(deviceId, window);
}

CMidiInPort::~CMidiInPort() {
    if (m_pDevice) {
        Reset();
        Close();
    }
    DropRelay();
}

bool CMidiInPort::OpenDevice(int deviceId, MidiNotify notify) {
    std::unique_ptr<IMidiInDevice> device;
    const MidiResult result = GetMidiDeviceService().OpenInput(deviceId, std::move(notify), device);
    if (result == kMidiOk) {
        m_pDevice = std::move(device);
        m_hHandle.store(m_pDevice.get());
        m_nDeviceId = deviceId;
    }
    return Store(result);
}

bool CMidiInPort::Open(int deviceId, bool useCallback, MidiInProc userProc) {
    if (m_pDevice)
        Close(); // a second open must not leave the first device delivering to us
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

bool CMidiInPort::Open(int deviceId, QObject* window) {
    if (m_pDevice)
        Close();
    DropRelay();
    m_pRelay = new CMidiInRelay(window);
    CMidiInRelay* relay = m_pRelay;
    // Only data has a handler at the receiving end; the other notifications are dropped.
    MidiNotify notify = [relay](uint32_t message, uintptr_t param1, uintptr_t) {
        if (message == kMimData)
            relay->Post(quint32(param1));
    };
    const bool opened = OpenDevice(deviceId, std::move(notify));
    if (!opened)
        DropRelay();
    return opened;
}

void CMidiInPort::DropRelay() {
    if (!m_pRelay)
        return;
    if (m_pRelay->thread() == QThread::currentThread())
        delete m_pRelay;
    else
        m_pRelay->deleteLater();
    m_pRelay = nullptr;
}

void CMidiInPort::DispatchProc(void* handle, uint32_t message, uintptr_t instance, uintptr_t param1,
                               uintptr_t param2) {
    auto* port = reinterpret_cast<CMidiInPort*>(instance);
    switch (message) {
    case kMimOpen:
        port->OnOpen();
        break;
    case kMimClose:
        port->OnClose();
        break;
    case kMimData:
        port->OnData(param1, param2);
        break;
    case kMimLongData:
        port->OnLongData(param1, param2);
        break;
    case kMimError:
        port->OnError(param1, param2);
        break;
    case kMimLongError:
        port->OnLongError(param1, param2);
        break;
    default:
        if (port->m_pUserProc)
            port->m_pUserProc(handle, message, instance, param1, param2);
        break;
    }
}

bool CMidiInPort::Start() {
    return Store(m_pDevice ? m_pDevice->Start() : kMidiErrInvalidHandle);
}

bool CMidiInPort::Stop() {
    return Store(m_pDevice ? m_pDevice->Stop() : kMidiErrInvalidHandle);
}

bool CMidiInPort::Reset() {
    return Store(m_pDevice ? m_pDevice->Reset() : kMidiErrInvalidHandle);
}

bool CMidiInPort::Close() {
    if (!m_pDevice)
        return Store(kMidiErrInvalidHandle);
    m_pDevice.reset(); // no notification runs after this
    m_hHandle.store(nullptr);
    m_nDeviceId = -1;
    DropRelay();
    return Store(kMidiOk);
}

bool CMidiInPort::AddBuffer(MidiHdr*) {
    return StoreNotSupported(m_pDevice != nullptr);
}

bool CMidiInPort::PrepareHeader(MidiHdr*) {
    return StoreNotSupported(m_pDevice != nullptr);
}

bool CMidiInPort::UnprepareHeader(MidiHdr*) {
    return StoreNotSupported(m_pDevice != nullptr);
}

bool CMidiInPort::Message(uint32_t, uintptr_t, uintptr_t) {
    return StoreNotSupported(m_pDevice != nullptr);
}

int CMidiInPort::GetID() {
    Store(m_pDevice ? kMidiOk : kMidiErrInvalidHandle);
    return m_pDevice ? m_nDeviceId : -1;
}

bool CMidiInPort::GetDevCaps(int deviceId, MidiInCaps& caps) {
    return Store(GetMidiDeviceService().GetInputCaps(deviceId, caps));
}

bool CMidiInPort::GetDevCaps(MidiInCaps& caps) {
    const int id = GetID();
    if (m_lastResult != kMidiOk)
        return false;
    return GetDevCaps(id, caps);
}

int CMidiInPort::GetNumDevs() {
    return GetMidiDeviceService().GetNumInputs();
}

bool CMidiInPort::SetThru(CMidiOutPort* output) {
    if (!m_pDevice)
        return false;
    return m_pDevice->SetThru(output ? output->GetDevice() : nullptr);
}
