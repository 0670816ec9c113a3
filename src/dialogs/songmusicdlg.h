// The song's music: its key (or the key found from its notes), its own time signature or the
// settings' one, and its pickup.
#pragma once

#include "song/song.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

class CSongMusicDlg : public QDialog {
    Q_OBJECT
public:
    /// `detected`: the key of the song's notes (none without notes); `settingsTime`: the time
    /// signature of the settings, shown while the song has none of its own.
    CSongMusicDlg(const std::optional<SongKey>& detected, const TimeSignature& settingsTime,
                  QWidget* parent = nullptr);
    ~CSongMusicDlg() override;

    /// Set before exec(), read after it returns Accepted.
    SongMusic m_music;

    int exec() override;
    void accept() override;
    /// Fills the controls from m_music; exec() does it before showing the dialog.
    void OnInitDialog();

    QComboBox* keyList() const { return m_pKeyList; }
    QPushButton* detectButton() const { return m_pDetect; }
    QCheckBox* ownTimeBox() const { return m_pOwnTime; }
    QSpinBox* beatsEdit() const { return m_pBeats; }
    QComboBox* unitList() const { return m_pUnit; }
    QSpinBox* pickupEdit() const { return m_pPickup; }

private Q_SLOTS:
    void OnDetect();
    void OnOwnTime(bool own);

private:
    TimeSignature ChosenTime() const;

    std::optional<SongKey> m_detected;
    TimeSignature m_settingsTime;
    QComboBox* m_pKeyList;
    QPushButton* m_pDetect;
    QCheckBox* m_pOwnTime;
    QSpinBox* m_pBeats;
    QComboBox* m_pUnit;
    QSpinBox* m_pPickup;
};
