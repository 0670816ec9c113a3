#include "songmusicdlg.h"

#include "text/keynames.h"

#include "song/musickey.h"
#include "song/musictime.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kBeatUnits[] = {2, 4, 8, 16};
constexpr int kPickupStep = 120; // a sixteenth

// The key list: none, then the keys by their signatures, each major key before its minor one.
SongKey KeyOfRow(int row) {
    return {(row - 1) / 2 - 7, (row - 1) % 2 == 1};
}

int RowOfKey(const std::optional<SongKey>& key) {
    return key ? 1 + 2 * (key->fifths + 7) + (key->minor ? 1 : 0) : 0;
}

} // namespace

CSongMusicDlg::CSongMusicDlg(const std::optional<SongKey>& detected,
                             const TimeSignature& settingsTime, QWidget* parent)
    : QDialog(parent), m_detected(detected), m_settingsTime(settingsTime),
      m_pKeyList(new QComboBox(this)), m_pDetect(new QPushButton(tr("音符から検出(&D)"), this)),
      m_pOwnTime(new QCheckBox(tr("曲の拍子を使う(&T)"), this)), m_pBeats(new QSpinBox(this)),
      m_pUnit(new QComboBox(this)), m_pPickup(new QSpinBox(this)) {
    setWindowTitle(tr("調と拍子"));
    m_pKeyList->addItem(tr("なし（シャープで表示）"));
    for (int fifths = -7; fifths <= 7; ++fifths) {
        for (const bool minor : {false, true})
            m_pKeyList->addItem(SongKeyName({fifths, minor}));
    }
    m_pKeyList->setMaxVisibleItems(16);
    m_pDetect->setEnabled(m_detected.has_value());
    m_pDetect->setToolTip(m_detected ? tr("音符の調: %1").arg(SongKeyName(*m_detected))
                                     : tr("音符がありません"));
    m_pBeats->setRange(1, 99);
    m_pBeats->setAccessibleName(tr("1 小節の拍数"));
    m_pUnit->setAccessibleName(tr("拍の音価"));
    for (const int unit : kBeatUnits)
        m_pUnit->addItem(QString::number(unit), unit);
    m_pPickup->setRange(0, 0xFFFF); // what the song file holds
    m_pPickup->setSingleStep(kPickupStep);
    m_pPickup->setSpecialValueText(tr("なし"));
    m_pPickup->setSuffix(tr(" ティック"));

    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(m_pKeyList, 1);
    keyRow->addWidget(m_pDetect);
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(m_pBeats);
    timeRow->addWidget(new QLabel(QStringLiteral("/"), this));
    timeRow->addWidget(m_pUnit);
    timeRow->addStretch(1);
    auto* form = new QFormLayout;
    auto* keyLabel = new QLabel(tr("調(&K):"), this);
    keyLabel->setBuddy(m_pKeyList);
    form->addRow(keyLabel, keyRow);
    form->addRow(m_pOwnTime);
    auto* timeLabel = new QLabel(tr("拍子:"), this);
    timeLabel->setBuddy(m_pBeats);
    form->addRow(timeLabel, timeRow);
    auto* pickupLabel = new QLabel(tr("弱起(&P):"), this);
    pickupLabel->setBuddy(m_pPickup);
    form->addRow(pickupLabel, m_pPickup);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(tr("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSongMusicDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSongMusicDlg::reject);
    connect(m_pDetect, &QPushButton::clicked, this, &CSongMusicDlg::OnDetect);
    connect(m_pOwnTime, &QCheckBox::toggled, this, &CSongMusicDlg::OnOwnTime);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

CSongMusicDlg::~CSongMusicDlg() = default;

void CSongMusicDlg::OnInitDialog() {
    m_pKeyList->setCurrentIndex(RowOfKey(m_music.key));
    const TimeSignature time = m_music.time.value_or(m_settingsTime);
    m_pBeats->setValue(time.beatsPerBar);
    m_pUnit->setCurrentIndex(std::max(0, m_pUnit->findData(time.beatUnit)));
    m_pOwnTime->setChecked(m_music.time.has_value());
    OnOwnTime(m_music.time.has_value());
    m_pPickup->setValue(m_music.pickup);
}

int CSongMusicDlg::exec() {
    OnInitDialog();
    return QDialog::exec();
}

void CSongMusicDlg::OnDetect() {
    if (m_detected)
        m_pKeyList->setCurrentIndex(RowOfKey(m_detected));
}

void CSongMusicDlg::OnOwnTime(bool own) {
    m_pBeats->setEnabled(own);
    m_pUnit->setEnabled(own);
    if (!own) {
        m_pBeats->setValue(m_settingsTime.beatsPerBar);
        m_pUnit->setCurrentIndex(std::max(0, m_pUnit->findData(m_settingsTime.beatUnit)));
    }
}

TimeSignature CSongMusicDlg::ChosenTime() const {
    return {m_pBeats->value(), m_pUnit->currentData().toInt()};
}

void CSongMusicDlg::accept() {
    const TimeSignature time = m_pOwnTime->isChecked() ? ChosenTime() : m_settingsTime;
    const int bar = GetTicksPerBar(time);
    if (m_pPickup->value() >= bar) {
        QMessageBox::warning(this, windowTitle(),
                             tr("弱起は 1 小節（%1 ティック）より短くしてください。").arg(bar));
        m_pPickup->setFocus();
        m_pPickup->selectAll();
        return;
    }
    const int row = m_pKeyList->currentIndex();
    m_music.key = row > 0 ? std::optional<SongKey>(KeyOfRow(row)) : std::nullopt;
    m_music.time = m_pOwnTime->isChecked() ? std::optional<TimeSignature>(time) : std::nullopt;
    m_music.pickup = m_pPickup->value();
    QDialog::accept();
}
