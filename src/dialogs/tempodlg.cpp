#include "tempodlg.h"

#include "numberspinbox.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

// Typing may go anywhere the tempo byte reaches; the arrows keep to the spin range.
class CTempoSpinBox final : public CNumberSpinBox {
public:
    explicit CTempoSpinBox(QWidget* parent) : CNumberSpinBox(parent) {
        setRange(0, 9999);
        setAlignment(Qt::AlignRight);
    }
    void stepBy(int steps) override {
        MarkNumber();
        const int value =
            std::clamp(this->value() + steps, CTempoDlg::kSpinLower, CTempoDlg::kSpinUpper);
        setValue(value);
        selectAll();
    }

protected:
    StepEnabled stepEnabled() const override {
        StepEnabled enabled = StepNone;
        if (value() < CTempoDlg::kSpinUpper)
            enabled |= StepUpEnabled;
        if (value() > CTempoDlg::kSpinLower)
            enabled |= StepDownEnabled;
        return enabled;
    }
};

const int CTempoDlg::kPresetTempos[15] = {60,  66,  72,  80,  88,  96,  104, 112,
                                          120, 126, 132, 144, 160, 172, 0};

CTempoDlg::CTempoDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Tempo 設定"));
    m_pPresetButton = new QRadioButton(tr("特定値"), this);
    m_pFreeButton = new QRadioButton(tr("自由設定"), this);
    auto* group = new QButtonGroup(this);
    group->addButton(m_pPresetButton, 0);
    group->addButton(m_pFreeButton, 1);
    m_pPresetList = new QComboBox(this);
    for (int i = 0; kPresetTempos[i] != 0; ++i)
        m_pPresetList->addItem(QStringLiteral("%1").arg(kPresetTempos[i], 3));
    m_pFreeEdit = new CTempoSpinBox(this);
    m_pPresetList->setAccessibleName(tr("テンポの特定値"));
    m_pFreeEdit->setAccessibleName(
        tr("テンポの自由設定（%1〜%2）").arg(kTempoLower).arg(kTempoUpper));

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(tr("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTempoDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTempoDlg::reject);
    connect(m_pPresetButton, &QRadioButton::clicked, this, &CTempoDlg::OnPreset);
    connect(m_pFreeButton, &QRadioButton::clicked, this, &CTempoDlg::OnFree);

    auto* grid = new QGridLayout;
    grid->addWidget(m_pPresetButton, 0, 0);
    grid->addWidget(m_pPresetList, 0, 1);
    grid->addWidget(m_pFreeButton, 1, 0);
    grid->addWidget(m_pFreeEdit, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setLayout(layout);
}

CTempoDlg::~CTempoDlg() = default;

QSpinBox* CTempoDlg::freeEdit() const {
    return m_pFreeEdit;
}

void CTempoDlg::OnInitDialog() {
    int mode = 1;
    int presetIndex = 0;
    for (int i = 0; kPresetTempos[i] != 0; ++i) {
        if (kPresetTempos[i] == m_nTempo) {
            mode = 0;
            presetIndex = i;
        }
    }
    m_pFreeEdit->SetNumber(m_nTempo);
    m_pPresetList->setCurrentIndex(presetIndex);
    if (mode == 0) {
        m_pPresetButton->setChecked(true);
        OnPreset();
    } else {
        m_pFreeButton->setChecked(true);
        OnFree();
    }
}

int CTempoDlg::exec() {
    OnInitDialog();
    return QDialog::exec();
}

void CTempoDlg::OnPreset() {
    m_pPresetList->setEnabled(true);
    m_pFreeEdit->setEnabled(false);
}

void CTempoDlg::OnFree() {
    m_pPresetList->setEnabled(false);
    m_pFreeEdit->setEnabled(true);
}

void CTempoDlg::accept() {
    if (m_pPresetButton->isChecked()) {
        m_nTempo = kPresetTempos[std::max(0, m_pPresetList->currentIndex())];
        QDialog::accept();
        return;
    }
    bool ok = false;
    const int value = m_pFreeEdit->cleanText().toInt(&ok);
    if (!m_pFreeEdit->HoldsNumber() || !ok || value < kTempoLower || value > kTempoUpper) {
        QMessageBox::warning(this, windowTitle(),
                             tr("テンポには %1 から %2 までの整数を入力してください。")
                                 .arg(kTempoLower)
                                 .arg(kTempoUpper));
        m_pFreeEdit->setFocus();
        m_pFreeEdit->ShowTyped();
        m_pFreeEdit->selectAll();
        return;
    }
    m_nTempo = value;
    QDialog::accept();
}
