#include "noteaudition.h"

#include "midi/mididevicelist.h"
#include "song/musictime.h"

#include <QTimer>

#include <algorithm>

namespace {

constexpr int kMaxDurationMs = 1000;
constexpr int kIdleCloseMs = 10000;
// A device that failed is asked again only after this long: listing the devices and trying an
// open on every key would slow typing down.
constexpr qint64 kRetryAfterMs = 3000;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kVelocity = 127; // as a played song's notes

} // namespace

CNoteAudition::CNoteAudition(QObject* parent) : QObject(parent) {
    m_pNoteOff = new QTimer(this);
    m_pNoteOff->setSingleShot(true);
    m_pNoteOff->setTimerType(Qt::PreciseTimer);
    connect(m_pNoteOff, &QTimer::timeout, this, &CNoteAudition::Silence);
    m_pIdleClose = new QTimer(this);
    m_pIdleClose->setSingleShot(true);
    m_pIdleClose->setInterval(kIdleCloseMs);
    connect(m_pIdleClose, &QTimer::timeout, this, &CNoteAudition::CloseWhenIdle);
}

CNoteAudition::~CNoteAudition() {
    Silence();
}

void CNoteAudition::Play(const std::string& outputDeviceName, uint8_t key, int durationMs) {
    Silence();
    if (!EnsureOpen(outputDeviceName))
        return;
    if (!m_port.ShortMsg(PackShortMessage(kNoteOn, key, kVelocity))) {
        // The device went away: open it afresh later, not on the next key.
        m_port.Close();
        m_strFailed = outputDeviceName;
        m_sinceFailure.start();
        return;
    }
    m_nSoundingKey = key;
    m_pNoteOff->start(std::clamp(durationMs, 0, kMaxDurationMs));
    m_pIdleClose->start();
}

void CNoteAudition::Silence() {
    m_pNoteOff->stop();
    if (m_nSoundingKey < 0)
        return;
    m_port.ShortMsg(PackShortMessage(kNoteOff, uint8_t(m_nSoundingKey), 0));
    m_nSoundingKey = -1;
}

void CNoteAudition::SetIdleClose(int milliseconds) {
    m_pIdleClose->setInterval(milliseconds);
}

void CNoteAudition::CloseWhenIdle() {
    if (m_nSoundingKey >= 0) {
        m_pIdleClose->start(); // a note longer than the wait: after its note-off
        return;
    }
    m_port.Close();
    m_strDevice.clear();
}

bool CNoteAudition::EnsureOpen(const std::string& outputDeviceName) {
    if (m_port.IsOpen() && outputDeviceName == m_strDevice)
        return true;
    if (outputDeviceName.empty())
        return false;
    if (outputDeviceName == m_strFailed && m_sinceFailure.isValid() &&
        !m_sinceFailure.hasExpired(kRetryAfterMs))
        return false;
    m_port.Close();
    m_strDevice.clear();
    int deviceId = -1;
    {
        const CMidiDeviceList devices;
        const int position = devices.FindByName(outputDeviceName.c_str(), false);
        if (position >= 0)
            deviceId = devices.GetOutput(position).deviceId;
    }
    if (deviceId < 0 || !m_port.Open(deviceId)) {
        m_strFailed = outputDeviceName;
        m_sinceFailure.start();
        return false;
    }
    m_strDevice = outputDeviceName;
    m_strFailed.clear();
    return true;
}
