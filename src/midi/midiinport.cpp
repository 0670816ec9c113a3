#include "midiinport.h"

#include "midioutport.h"

#include <QMetaObject>
#include <QThread>

/// Lives on the receiver's thread and hands each message to the receiver there; deleting the
/// relay drops the calls still queued for it.
class CMidiInRelay : public QObject {
public:
    explicit CMidiInRelay(MidiInReceiver receiver) : m_receiver(std::move(receiver)) {
        moveToThread(m_receiver.context->thread());
    }

    /// Called on the device's thread.
    void Post(quint32 message) {
        QMetaObject::invokeMethod(
            this,
            [this, message] {
                if (m_receiver.context)
                    m_receiver.handler(message);
            },
            Qt::QueuedConnection);
    }
    /// Called on the device's thread.
    void PostLoss() {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_receiver.context && m_receiver.lost)
                    m_receiver.lost();
            },
            Qt::QueuedConnection);
    }

private:
    const MidiInReceiver m_receiver; // its context is read only on the relay's own thread
};

CMidiInPort::CMidiInPort() = default;

CMidiInPort::~CMidiInPort() {
    if (m_pDevice) {
        Reset();
        Close();
    }
    DropRelay();
}

MidiStatus CMidiInPort::Open(int deviceId, MidiInReceiver receiver) {
    if (m_pDevice)
        Close(); // a second open must not leave the first device delivering to us
    MidiInData data;
    if (receiver.IsSet()) {
        m_pRelay = new CMidiInRelay(std::move(receiver));
        data = [relay = m_pRelay](uint32_t message) { relay->Post(quint32(message)); };
    }
    std::unique_ptr<IMidiInDevice> device;
    const MidiResult result = GetMidiDeviceService().OpenInput(deviceId, std::move(data), device);
    if (result != kMidiOk) {
        DropRelay();
        return result;
    }
    m_pDevice = std::move(device);
    if (m_pRelay)
        m_pDevice->SetLossHandler([relay = m_pRelay] { relay->PostLoss(); });
    return result;
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

MidiStatus CMidiInPort::Start() {
    return m_pDevice ? m_pDevice->Start() : kMidiErrInvalidHandle;
}

MidiStatus CMidiInPort::Stop() {
    return m_pDevice ? m_pDevice->Stop() : kMidiErrInvalidHandle;
}

MidiStatus CMidiInPort::Reset() {
    return m_pDevice ? m_pDevice->Reset() : kMidiErrInvalidHandle;
}

MidiStatus CMidiInPort::Close() {
    if (!m_pDevice)
        return kMidiErrInvalidHandle;
    m_pDevice.reset(); // no data is delivered after this
    DropRelay();
    return kMidiOk;
}

bool CMidiInPort::SetThru(CMidiOutPort* output) {
    if (!m_pDevice)
        return false;
    return m_pDevice->SetThru(output ? output->GetDevice() : nullptr);
}
