#include "playbackcontrol.h"

#include "midi/mididevicelist.h"
#include "midi/sequenceplayer.h"
#include "song/musictime.h"

#include <QTimer>

#include <algorithm>

namespace {

constexpr int kWatchInterval = 20; // ms between looks at the player slot while playing

/// The performance of the rows from `first` to `end` with the start of every row that lasts
/// merged in before the messages of its tick, up to the last message: the run does not grow
/// longer for trailing rests.
void FillPlayer(CSequencePlayer& player, const Song& song, int first, int end) {
    const std::vector<PlayEvent> performance = BuildPerformance(song, first, end - first);
    if (performance.empty())
        return;
    const int32_t last = performance.back().tick;
    int row = first;
    int32_t tick = 0; // counted from the first row, as the performance's
    auto addRowsUpTo = [&](int32_t limit) {
        for (; row < end && tick <= limit; ++row) {
            const int length = GetDurationTicks(song.events[size_t(row)].code);
            if (length > 0)
                player.AddPosition(tick, row);
            tick += length;
        }
    };
    for (const PlayEvent& event : performance) {
        addRowsUpTo(std::min(event.tick, last));
        player.Add(event);
    }
}

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
    return Play(song, outputDeviceName, 0, song.count);
}

bool CPlaybackControl::Play(const Song& song, const std::string& outputDeviceName, int firstRow,
                            int rowCount) {
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
    auto* player = new CSequencePlayer(&m_pPlayer);
    if (!player->Open(deviceId)) {
        delete player;
        return false;
    }
    const int first = std::clamp(firstRow, 0, song.count);
    const int end = rowCount < 0 ? song.count : first + std::min(rowCount, song.count - first);
    FillPlayer(*player, song, first, end);
    m_nPlayedRow.store(-1);
    player->SetPositionSink(&m_nPlayedRow);
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
    ShowRow(-1);
    Q_EMIT stateChanged();
}

void CPlaybackControl::OnWatch() {
    if (IsPlaying()) {
        ShowRow(m_nPlayedRow.load(std::memory_order_relaxed));
        return;
    }
    m_pWatch->stop();
    ShowRow(-1);
    Q_EMIT stateChanged();
}

void CPlaybackControl::ShowRow(int row) {
    if (row == m_nShownRow)
        return;
    m_nShownRow = row;
    Q_EMIT playRowChanged(row);
}
