// The play and stop commands' state: the slot of the running player, which the player clears
// by itself at the end of its run on the timer thread, and the watch that notices that end and
// the row being played on the user-interface thread.
#pragma once

#include <QObject>

#include <atomic>
#include <string>

class CSequencePlayer;
class QTimer;
struct Song;

class CPlaybackControl : public QObject {
    Q_OBJECT
public:
    explicit CPlaybackControl(QObject* parent = nullptr);
    /// Stops a running player: it writes our slot and must not outlive us.
    ~CPlaybackControl() override;

    /// Plays the song's performance on the output device of that name (as the settings keep
    /// it). False when that device can't be used; an empty song starts and ends at once.
    bool Play(const Song& song, const std::string& outputDeviceName);
    /// The same for `rowCount` rows from `firstRow` on (BuildPerformance's ranged form): the run
    /// starts at once with the first row; a negative count plays to the end of the song.
    bool Play(const Song& song, const std::string& outputDeviceName, int firstRow, int rowCount);
    /// Stops the running player at once, silencing every note; nothing when nothing plays.
    void Stop();
    bool IsPlaying() const { return m_pPlayer.load() != nullptr; }

Q_SIGNALS:
    /// A run started, was stopped or ended by itself.
    void stateChanged();
    /// The row being played changed; -1 once the run is over.
    void playRowChanged(int row);

private:
    void OnWatch();
    void ShowRow(int row);

    std::atomic<CSequencePlayer*> m_pPlayer{nullptr}; // set and cleared by the player itself
    std::atomic<int32_t> m_nPlayedRow{-1};            // written by the player's sending passes
    int m_nShownRow = -1;
    QTimer* m_pWatch; // runs while a song plays
};
