#include "playbackcontrol.h"

#include "midi/mididevicelist.h"
#include "midi/sequenceplayer.h"
#include "song/musictime.h"

#include <QTimer>

#include <algorithm>

namespace {

constexpr int kWatchInterval = 20; // ms between looks at the player slot while playing

} // namespace

CPlaybackControl::CPlaybackControl(QObject* parent) : QObject(parent) {
    m_pWatch = new QTimer(this);
    m_pWatch->setInterval(kWatchInterval);
    connect(m_pWatch, &QTimer::timeout, this, &CPlaybackControl::OnWatch);
}

CPlaybackControl::~CPlaybackControl() {
    CSequencePlayer::StopAndDelete(m_pPlayer);
}

bool CPlaybackControl::Play(const Song& song, const std::string& outputDeviceName) {
    if (IsPlaying())
        return true; // one run at a time
    int deviceId = 0;
    {
        const CMidiDeviceList devices;
        const int position = devices.FindByName(outputDeviceName.c_str(), false);
        if (position < 0)
            return false;
        deviceId = devices.GetOutput(position).deviceId;
    }
    CSequencePlayer* player = nullptr;
    try {
        player = new CSequencePlayer(&m_pPlayer, deviceId);
    } catch (const CMidiOpenError&) {
        return false;
    }
    for (const PlayEvent& event : BuildPerformance(song))
        player->Add(event);
    // Tempo bytes below 67 give no positive tempo; the slowest one that plays is 1 per minute.
    player->SetTempo(unsigned(std::max(1, TempoFromByte(song.tempo))));
    // From here the player owns itself and may be gone at any moment; only the slot tells.
    if (player->Start())
        m_pWatch->start();
    Q_EMIT stateChanged();
    return true;
}

void CPlaybackControl::Stop() {
    m_pWatch->stop();
    CSequencePlayer::StopAndDelete(m_pPlayer); // nothing when nothing plays
    Q_EMIT stateChanged();
}

void CPlaybackControl::OnWatch() {
    if (IsPlaying())
        return;
    m_pWatch->stop();
    Q_EMIT stateChanged();
}
