// The basic page "基本": note input method, bar setting and the MIDI input and output
// devices, with the information on a chosen device.
#pragma once

#include "envpage.h"

#include "midi/mididevicelist.h"

class QButtonGroup;
class QComboBox;
class QPushButton;
class QRadioButton;
class CBeatsSpinBox;

class CEnvMain : public CEnvPage {
    Q_OBJECT

public:
    /// The largest number of beats per bar: the settings keep it in one byte.
    static constexpr int kMaxBeatsPerBar = 255;

    explicit CEnvMain(CEnvDlg* sheet);
    ~CEnvMain() override;

    bool OnKillActive() override;

    /// The texts of the information message boxes for a device's capabilities.
    static QString InputInfoText(const MidiInCaps& caps);
    static QString OutputInfoText(const MidiOutCaps& caps);
    /// What kind of device wTechnology names.
    static QString TechnologyText(unsigned technology);

    // Handlers of the page's buttons and device lists.
    void OnInputInfo();
    void OnOutputInfo();
    void OnRefresh();
    void OnSelchangeInput();
    void OnSelchangeOutput();

protected:
    bool OnInitDialog() override;

private:
    /// Moves the members into the controls (false) or the controls into the members,
    /// validating them (true); false when a value is refused (the user was told).
    bool UpdateData(bool saveAndValidate);
    void FillDeviceLists();
    void UpdateInfoButtons();
    void ShowInformation(const QString& text);

    QComboBox* m_comboOutput;
    QComboBox* m_comboInput;
    int m_nBeatUnit = -1;
    int m_nBeatsPerBar = 0;
    int m_nInputMethod = -1;
    CMidiDeviceList m_deviceList;

    QRadioButton* m_pDirect;
    QRadioButton* m_pKeyboard;
    QButtonGroup* m_pMethodGroup;
    CBeatsSpinBox* m_pBeatsPerBar;
    QComboBox* m_pBeatUnit;
    QPushButton* m_pInputInfo;
    QPushButton* m_pOutputInfo;
    QPushButton* m_pRefresh;
};
