#include "envmain.h"

#include "numberspinbox.h"

#include "settings/envsettings.h"
#include "text/cp932.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <cstring>
#include <string>

namespace {

// Technology codes and support bits of a device's capabilities.
constexpr unsigned kTechMidiPort = 1;
constexpr unsigned kTechSynth = 2;
constexpr unsigned kTechSquareSynth = 3;
constexpr unsigned kTechFmSynth = 4;
constexpr unsigned kTechMapper = 5;
constexpr uint32_t kSupportVolume = 1u << 0;
constexpr uint32_t kSupportLrVolume = 1u << 1;
constexpr uint32_t kSupportCache = 1u << 2;

std::string DeviceName(const char (&name)[kDeviceNameBytes]) {
    return std::string(name, ::strnlen(name, kDeviceNameBytes));
}

QString DeviceText(const char (&name)[kDeviceNameBytes]) {
    const std::string bytes = DeviceName(name);
    return DecodeCp932(bytes.data(), qsizetype(bytes.size()));
}

QString VersionText(const char* format, unsigned mid, unsigned pid, uint32_t version) {
    return QString::asprintf(format, mid, pid, int(version >> 8), int(version & 0xFF));
}

// A value in hexadecimal, upper case, `digits` wide.
QString Hex(unsigned value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

/// Refills a device list: "(なし)" first, then every device; the stored name stays chosen.
/// found: the catalogue's position for the stored name, which also knows names stored in
/// UTF-8 by earlier versions.
template <typename NameAt>
void FillDeviceCombo(QComboBox* combo, int count, NameAt nameAt, const std::string& stored,
                     int found) {
    combo->clear();
    combo->addItem(CEnvMain::tr("(なし)"));
    int selection = 0;
    for (int i = 0; i < count; ++i) {
        const auto& name = nameAt(i);
        combo->addItem(DeviceText(name));
        if (DeviceName(name) == stored)
            selection = i + 1; // the last device of that name wins
    }
    combo->setCurrentIndex(selection == 0 && found >= 0 ? found + 1 : selection);
}

/// A device list that shows its longest name whole even when closed (names have at most 31
/// bytes): a " (2)" at the end may be all that tells two devices apart. The sheet grows with
/// the list when a refresh finds a longer name.
class CDeviceCombo final : public QComboBox {
public:
    explicit CDeviceCombo(QWidget* parent) : QComboBox(parent) {
        setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

} // namespace

/// The number of beats.
class CBeatsSpinBox final : public CNumberSpinBox {
public:
    using CNumberSpinBox::CNumberSpinBox;
};

CEnvMain::CEnvMain(CEnvDlg* sheet) : CEnvPage(sheet, tr("基本")) {
    auto* methodBox = new QGroupBox(tr("音階の入力方法"), this);
    m_pDirect = new QRadioButton(tr("階名を直接記入する"), methodBox);
    m_pDirect->setObjectName(QStringLiteral("radioDirect"));
    m_pKeyboard = new QRadioButton(tr("鍵盤に見立てる"), methodBox);
    m_pKeyboard->setObjectName(QStringLiteral("radioKeyboard"));
    // The piano method is chosen elsewhere; the page only shows it.
    m_pDirect->setEnabled(false);
    m_pKeyboard->setEnabled(false);
    m_pMethodGroup = new QButtonGroup(this);
    m_pMethodGroup->addButton(m_pDirect, 0);
    m_pMethodGroup->addButton(m_pKeyboard, 1);
    auto* methodLayout = new QVBoxLayout(methodBox);
    methodLayout->addWidget(m_pDirect);
    methodLayout->addWidget(m_pKeyboard);

    auto* barBox = new QGroupBox(tr("小節設定"), this);
    m_pBeatsPerBar = new CBeatsSpinBox(barBox);
    m_pBeatsPerBar->setObjectName(QStringLiteral("editBeatsPerBar"));
    m_pBeatsPerBar->setAlignment(Qt::AlignRight);
    // Wider than the valid range so that a wrong number can be typed and then explained.
    m_pBeatsPerBar->setRange(0, 999);
    m_pBeatUnit = new QComboBox(barBox);
    m_pBeatUnit->setObjectName(QStringLiteral("comboBeatUnit"));
    m_pBeatUnit->addItems({QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("8")});
    // The fields of the dialogs have names a screen reader says: a label beside them is not
    // tied to them, and both device rows have a button of the same caption.
    m_pBeatsPerBar->setAccessibleName(tr("1 小節の拍数"));
    m_pBeatUnit->setAccessibleName(tr("拍の単位（何分音符を 1 拍とするか）"));
    auto* barLayout = new QHBoxLayout(barBox);
    barLayout->addWidget(m_pBeatsPerBar, 1);
    barLayout->addWidget(new QLabel(QStringLiteral("/"), barBox));
    barLayout->addWidget(m_pBeatUnit, 1);

    auto* midiBox = new QGroupBox(tr("MIDI I/F"), this);
    m_comboInput = new CDeviceCombo(midiBox);
    m_comboInput->setObjectName(QStringLiteral("comboInput"));
    m_pInputInfo = new QPushButton(tr("情報..."), midiBox);
    m_pInputInfo->setObjectName(QStringLiteral("buttonInputInfo"));
    m_comboOutput = new CDeviceCombo(midiBox);
    m_comboOutput->setObjectName(QStringLiteral("comboOutput"));
    m_pOutputInfo = new QPushButton(tr("情報..."), midiBox);
    m_pOutputInfo->setObjectName(QStringLiteral("buttonOutputInfo"));
    m_comboInput->setAccessibleName(tr("MIDI 入力デバイス"));
    m_comboOutput->setAccessibleName(tr("MIDI 出力デバイス"));
    m_pInputInfo->setAccessibleName(tr("入力デバイスの情報"));
    m_pOutputInfo->setAccessibleName(tr("出力デバイスの情報"));
    m_pRefresh = new QPushButton(tr("最新表示"), midiBox);
    m_pRefresh->setObjectName(QStringLiteral("buttonRefresh"));
    for (QPushButton* button : {m_pInputInfo, m_pOutputInfo, m_pRefresh})
        button->setAutoDefault(false);
    auto* midiLayout = new QGridLayout(midiBox);
    midiLayout->addWidget(new QLabel(tr("入力"), midiBox), 0, 0);
    midiLayout->addWidget(m_comboInput, 0, 1);
    midiLayout->addWidget(m_pInputInfo, 0, 2);
    midiLayout->addWidget(new QLabel(tr("出力"), midiBox), 1, 0);
    midiLayout->addWidget(m_comboOutput, 1, 1);
    midiLayout->addWidget(m_pOutputInfo, 1, 2);
    midiLayout->addWidget(m_pRefresh, 2, 2);
    midiLayout->setColumnStretch(1, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(methodBox, 1);
    top->addWidget(barBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(midiBox);
    layout->addStretch();

    connect(m_pInputInfo, &QPushButton::clicked, this, &CEnvMain::OnInputInfo);
    connect(m_pOutputInfo, &QPushButton::clicked, this, &CEnvMain::OnOutputInfo);
    connect(m_pRefresh, &QPushButton::clicked, this, &CEnvMain::OnRefresh);
    // Only the user's choices: refilling the lists must not rewrite the stored names.
    connect(m_comboInput, &QComboBox::activated, this, &CEnvMain::OnSelchangeInput);
    connect(m_comboOutput, &QComboBox::activated, this, &CEnvMain::OnSelchangeOutput);
}

CEnvMain::~CEnvMain() = default;

bool CEnvMain::OnInitDialog() {
    CEnvPage::OnInitDialog();
    const EnvSettings& settings = GetSettings();
    m_nBeatUnit = settings.GetBeatUnitIndex();
    m_nBeatsPerBar = settings.beatsPerBar;
    m_nInputMethod = settings.IsPianoInput() ? 1 : 0;
    FillDeviceLists();
    UpdateData(false);
    return true;
}

bool CEnvMain::UpdateData(bool saveAndValidate) {
    if (!saveAndValidate) {
        if (m_nBeatUnit >= 0 && m_nBeatUnit < m_pBeatUnit->count())
            m_pBeatUnit->setCurrentIndex(m_nBeatUnit);
        else
            m_pBeatUnit->setCurrentIndex(-1); // a beat unit of 16 has no item
        m_pBeatsPerBar->SetNumber(m_nBeatsPerBar);
        m_pMethodGroup->setExclusive(false);
        m_pDirect->setChecked(m_nInputMethod == 0);
        m_pKeyboard->setChecked(m_nInputMethod == 1);
        m_pMethodGroup->setExclusive(true);
        return true;
    }

    m_nBeatUnit = m_pBeatUnit->currentIndex();
    bool number = false;
    const int beats = m_pBeatsPerBar->cleanText().trimmed().toInt(&number);
    if (!m_pBeatsPerBar->HoldsNumber() || !number || beats < 1 || beats > kMaxBeatsPerBar) {
        QMessageBox::warning(
            this, window()->windowTitle(),
            tr("1 小節の拍数には 1 から %1 までの整数を入力してください。").arg(kMaxBeatsPerBar));
        // After the sheet has shown this page again, put the user back on the number.
        QTimer::singleShot(0, m_pBeatsPerBar, [spin = m_pBeatsPerBar] {
            spin->setFocus();
            spin->ShowTyped();
            spin->selectAll();
        });
        return false;
    }
    m_nBeatsPerBar = beats;
    m_nInputMethod = m_pMethodGroup->checkedId();
    return true;
}

bool CEnvMain::OnKillActive() {
    if (!UpdateData(true))
        return false;
    EnvSettings& settings = GetSettings();
    uint32_t flags = settings.flags & ~(EnvSettings::kBeatUnitMask | EnvSettings::kFlagPianoInput);
    // An empty beat-unit selection reads as -1, whose two low bits keep index 3.
    flags |= (uint32_t(m_nBeatUnit) & 3u) << EnvSettings::kBeatUnitShift;
    flags |= uint32_t(m_nInputMethod) & EnvSettings::kFlagPianoInput;
    settings.flags = flags;
    settings.beatsPerBar = uint8_t(m_nBeatsPerBar);
    return CEnvPage::OnKillActive();
}

void CEnvMain::FillDeviceLists() {
    m_deviceList.Refresh();
    const EnvSettings& settings = GetSettings();
    const std::string inName = EnvSettings::NameField(settings.midiInName);
    const std::string outName = EnvSettings::NameField(settings.midiOutName);
    FillDeviceCombo(
        m_comboInput, m_deviceList.GetInputCount(),
        [this](int i) -> const auto& { return m_deviceList.GetInput(i).caps.szPname; }, inName,
        m_deviceList.FindByName(inName.c_str(), true));
    FillDeviceCombo(
        m_comboOutput, m_deviceList.GetOutputCount(),
        [this](int i) -> const auto& { return m_deviceList.GetOutput(i).caps.szPname; }, outName,
        m_deviceList.FindByName(outName.c_str(), false));
    UpdateInfoButtons();
}

void CEnvMain::UpdateInfoButtons() {
    m_pInputInfo->setEnabled(m_comboInput->currentIndex() > 0);
    m_pOutputInfo->setEnabled(m_comboOutput->currentIndex() > 0);
}

void CEnvMain::OnRefresh() {
    FillDeviceLists();
}

void CEnvMain::OnSelchangeInput() {
    const int k = m_comboInput->currentIndex();
    EnvSettings& settings = GetSettings();
    if (k >= 1 && k <= m_deviceList.GetInputCount())
        EnvSettings::SetNameField(settings.midiInName,
                                  DeviceName(m_deviceList.GetInput(k - 1).caps.szPname));
    else
        std::memset(settings.midiInName, 0, kDeviceNameBytes);
    UpdateInfoButtons();
}

void CEnvMain::OnSelchangeOutput() {
    const int k = m_comboOutput->currentIndex();
    EnvSettings& settings = GetSettings();
    if (k >= 1 && k <= m_deviceList.GetOutputCount())
        EnvSettings::SetNameField(settings.midiOutName,
                                  DeviceName(m_deviceList.GetOutput(k - 1).caps.szPname));
    else
        std::memset(settings.midiOutName, 0, kDeviceNameBytes);
    UpdateInfoButtons();
}

QString CEnvMain::InputInfoText(const MidiInCaps& caps) {
    return DeviceText(caps.szPname) + VersionText("\nID : %02X %02X (Ver %d.%02d)\n", caps.wMid,
                                                  caps.wPid, caps.vDriverVersion);
}

QString CEnvMain::TechnologyText(unsigned technology) {
    switch (technology) {
    case kTechMidiPort:
        return tr("MIDIハードウェア ポート");
    case kTechSquareSynth:
        return tr("矩形波シンセサイザ");
    case kTechFmSynth:
        return tr("FMシンセサイザ");
    case kTechSynth:
        return tr("内蔵シンセサイザ");
    case kTechMapper:
        return tr("Microsoft MIDIマッパー");
    default:
        return Hex(technology, 4);
    }
}

QString CEnvMain::OutputInfoText(const MidiOutCaps& caps) {
    QString features;
    if (caps.dwSupport & kSupportLrVolume)
        features += tr("　左右別ボリューム制御\n");
    else if (caps.dwSupport & kSupportVolume)
        features += tr("　ボリューム制御\n");
    if (caps.dwSupport & kSupportCache)
        features += tr("　パッチのキャッシュ\n");

    QString text = DeviceText(caps.szPname);
    text += VersionText("\nID   : %02X %02X (Ver %d.%02d)\n", caps.wMid, caps.wPid,
                        caps.vDriverVersion);
    text += tr("種類 : ") + TechnologyText(caps.wTechnology) + u'\n';
    text += tr("機能 : %1\n").arg(Hex(caps.dwSupport, 4));
    text += features;
    if (caps.wTechnology != kTechMidiPort)
        text += tr("音声数     : %1\n同時発音数 : %2\n有効 ch.   : %3\n")
                    .arg(QString::number(caps.wVoices), QString::number(caps.wNotes),
                         Hex(caps.wChannelMask, 4));
    return text;
}

void CEnvMain::ShowInformation(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, tr("OKT:装置の情報"), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void CEnvMain::OnInputInfo() {
    const int k = m_comboInput->currentIndex();
    if (k < 1 || k > m_deviceList.GetInputCount())
        return;
    ShowInformation(InputInfoText(m_deviceList.GetInput(k - 1).caps));
}

void CEnvMain::OnOutputInfo() {
    const int k = m_comboOutput->currentIndex();
    if (k < 1 || k > m_deviceList.GetOutputCount())
        return;
    ShowInformation(OutputInfoText(m_deviceList.GetOutput(k - 1).caps));
}
