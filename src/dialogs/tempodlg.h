// The tempo dialog: one of fourteen preset tempos or a freely typed one.
#pragma once

#include <QDialog>

class QComboBox;
class QRadioButton;
class QSpinBox;
class CTempoSpinBox;

class CTempoDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTempoDlg(QWidget* parent = nullptr);
    ~CTempoDlg() override;

    /// The preset tempos, in list order, ending with 0.
    static const int kPresetTempos[15];
    static constexpr int kSpinLower = 60;
    static constexpr int kSpinUpper = 186;
    /// Typed tempos the tempo byte can hold.
    static constexpr int kTempoLower = 60;
    static constexpr int kTempoUpper = 378;

    /// Quarter notes per minute: set before exec(), read after it returns Accepted.
    int m_nTempo = 120;

    int exec() override;
    void accept() override;

    QRadioButton* presetButton() const { return m_pPresetButton; }
    QRadioButton* freeButton() const { return m_pFreeButton; }
    QComboBox* presetList() const { return m_pPresetList; }
    QSpinBox* freeEdit() const;

    /// Fills the controls from m_nTempo; exec() does it before showing the dialog.
    void OnInitDialog();

private Q_SLOTS:
    void OnPreset();
    void OnFree();

private:
    QRadioButton* m_pPresetButton;
    QRadioButton* m_pFreeButton;
    QComboBox* m_pPresetList;
    CTempoSpinBox* m_pFreeEdit;
};
