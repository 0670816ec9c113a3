#include "envkey.h"

#include "settings/keyvocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kPairedRows = 8; // Home/End, PageUp/PageDown, up/down, left/right

// The edit functions in the order the page lists them.
struct FunctionName {
    EditFunction function;
    const char* name;
};
constexpr FunctionName kFunctionNames[] = {
    {EditFunction::None, QT_TRANSLATE_NOOP("CEnvKey", "(なし)")},
    {EditFunction::FirstRow, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを先頭へ移動")},
    {EditFunction::EndRow, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを末尾へ移動")},
    {EditFunction::PageUp, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを一頁上へ移動")},
    {EditFunction::PageDown, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを一頁下へ移動")},
    {EditFunction::PreviousBar, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを前小節へ移動")},
    {EditFunction::NextBar, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを次小節へ移動")},
    {EditFunction::RowUp, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを一行上へ移動")},
    {EditFunction::RowDown, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを一行下へ移動")},
    {EditFunction::ConfirmInput, QT_TRANSLATE_NOOP("CEnvKey", "入力確定")},
    {EditFunction::CancelInput, QT_TRANSLATE_NOOP("CEnvKey", "入力取消")},
    {EditFunction::ColumnLeft, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを左へ移動")},
    {EditFunction::ColumnRight, QT_TRANSLATE_NOOP("CEnvKey", "カーソルを右へ移動")},
    {EditFunction::InsertEvent, QT_TRANSLATE_NOOP("CEnvKey", "イベントを挿入")},
    {EditFunction::DeleteEvent, QT_TRANSLATE_NOOP("CEnvKey", "イベントを削除")},
    {EditFunction::PlusOne, QT_TRANSLATE_NOOP("CEnvKey", "値を１加算")},
    {EditFunction::MinusOne, QT_TRANSLATE_NOOP("CEnvKey", "値を１減算")},
};

// The key names the settings' table holds, for the translation: English spells out the keys
// whose names are cut short. The others show as they stand.
[[maybe_unused]] const char* const kSpelledKeyNames[] = {
    QT_TRANSLATE_NOOP("CEnvKey", "PageUp"), QT_TRANSLATE_NOOP("CEnvKey", "PageDown"),
    QT_TRANSLATE_NOOP("CEnvKey", "INS"),    QT_TRANSLATE_NOOP("CEnvKey", "DEL"),
    QT_TRANSLATE_NOOP("CEnvKey", "TAB"),
};

QString FunctionText(const FunctionName& entry) {
    return CEnvKey::tr(entry.name);
}

} // namespace

CEnvKey::CEnvKey(CEnvDlg* sheet) : CEnvPage(sheet, tr("キー定義")) {
    m_listKeys = new QTreeWidget(this);
    m_listKeys->setObjectName(QStringLiteral("listKeys"));
    m_listKeys->setAccessibleName(tr("キーと割り当てた機能"));
    m_listKeys->setRootIsDecorated(false);
    m_listKeys->setItemsExpandable(false);
    m_listKeys->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listKeys->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listKeys->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listKeys->header()->setSectionsMovable(false);
    FillKeyList();

    m_pShift = new QCheckBox(QStringLiteral("SHIFT"), this);
    m_pShift->setObjectName(QStringLiteral("checkShift"));
    m_pCtrl = new QCheckBox(QStringLiteral("CTRL"), this);
    m_pCtrl->setObjectName(QStringLiteral("checkCtrl"));

    auto* group = new QGroupBox(tr("設定の変更"), this);
    m_pKeyName = new QLabel(group);
    m_pKeyName->setObjectName(QStringLiteral("keyName"));
    m_pKeyName->setTextFormat(Qt::PlainText);
    m_pKeyName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pKeyName->setMinimumWidth(m_pKeyName->fontMetrics().averageCharWidth() * 8);
    m_comboFunction = new QComboBox(group);
    m_comboFunction->setAccessibleName(tr("割り当てる機能"));
    m_comboFunction->setObjectName(QStringLiteral("comboFunction"));
    m_comboFunction->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_pUpdate = new QPushButton(tr("更新"), group);
    m_pUpdate->setObjectName(QStringLiteral("buttonUpdate"));

    m_pPairOpposite = new QCheckBox(tr("対になるキーに、逆の機能を同時に割当てる"), this);
    m_pPairOpposite->setObjectName(QStringLiteral("checkPair"));
    m_pDefault = new QPushButton(tr("&Default"), this);
    m_pDefault->setObjectName(QStringLiteral("buttonDefault"));
    m_pDefault->setAutoDefault(false);

    // The list with the modifier boxes beside it, the change group below, then the
    // pair option with "&Default" at the bottom.
    auto* modifiers = new QVBoxLayout;
    modifiers->addWidget(m_pShift);
    modifiers->addWidget(m_pCtrl);
    modifiers->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(m_listKeys, 1);
    top->addLayout(modifiers);

    auto* change = new QHBoxLayout(group);
    change->addWidget(m_pKeyName);
    change->addWidget(m_comboFunction, 1);
    change->addWidget(m_pUpdate);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_pPairOpposite, 1);
    bottom->addWidget(m_pDefault);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(group);
    layout->addLayout(bottom);

    connect(m_pDefault, &QPushButton::clicked, this, &CEnvKey::OnDefault);
    connect(m_pUpdate, &QPushButton::clicked, this, &CEnvKey::OnUpdateBinding);
    connect(m_pCtrl, &QCheckBox::clicked, this, &CEnvKey::RefreshFunctionColumn);
    connect(m_pShift, &QCheckBox::clicked, this, &CEnvKey::RefreshFunctionColumn);
    // Any change of the focused or selected row, as the list reports item changes.
    connect(m_listKeys, &QTreeWidget::currentItemChanged, this, &CEnvKey::OnItemChanged);
    connect(m_listKeys, &QTreeWidget::itemSelectionChanged, this, &CEnvKey::OnItemChanged);
}

CEnvKey::~CEnvKey() = default;

int CEnvKey::PartnerRow(int row) {
    if (row < 0 || row >= kPairedRows)
        return -1;
    return row % 2 == 0 ? row + 1 : row - 1;
}

int CEnvKey::OppositeFunction(int id) {
    const EditFunction opposite = ::OppositeFunction(ToEditFunction(id));
    return opposite == EditFunction::None ? -1 : int(opposite);
}

void CEnvKey::MakeUpdateDefault() {
    m_pUpdate->setDefault(true);
}

bool CEnvKey::OnInitDialog() {
    CEnvPage::OnInitDialog();
    m_comboFunction->clear();
    for (const FunctionName& entry : kFunctionNames)
        m_comboFunction->addItem(FunctionText(entry), int(entry.function));

    FillKeyList();
    RefreshFunctionColumn();
    m_bPairOpposite = 1;
    UpdateData(false);
    return true;
}

void CEnvKey::FillKeyList() {
    const int charWidth = m_listKeys->fontMetrics().averageCharWidth();
    m_listKeys->clear();
    m_listKeys->setColumnCount(2);
    m_listKeys->setHeaderLabels({tr("KEY"), tr("FUNC")});
    m_listKeys->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Nine average characters, or more when a key's name would not fit in them.
    int keyWidth = charWidth * 9;
    for (const BindableKeyEntry* k = BindableKeyTable; k->name; ++k) {
        const QString name = tr(k->name);
        new QTreeWidgetItem(m_listKeys, {name, QString()});
        keyWidth =
            std::max(keyWidth, m_listKeys->fontMetrics().horizontalAdvance(name) + charWidth * 2);
    }
    m_listKeys->setColumnWidth(0, keyWidth);
    m_listKeys->setColumnWidth(1, charWidth * 25);
    // Room for every key without scrolling, known from the start so that the sheet has one
    // size for both pages.
    const int rows = m_listKeys->topLevelItemCount();
    m_listKeys->setMinimumSize(keyWidth + charWidth * 25 + 2 * m_listKeys->frameWidth(),
                               m_listKeys->header()->sizeHint().height() +
                                   m_listKeys->sizeHintForRow(0) * rows +
                                   2 * m_listKeys->frameWidth());
}

void CEnvKey::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_strKeyName = m_pKeyName->text();
        m_bCtrl = m_pCtrl->isChecked() ? 1 : 0;
        m_bShift = m_pShift->isChecked() ? 1 : 0;
        m_bPairOpposite = m_pPairOpposite->isChecked() ? 1 : 0;
    } else {
        m_pKeyName->setText(m_strKeyName);
        m_pCtrl->setChecked(m_bCtrl != 0);
        m_pShift->setChecked(m_bShift != 0);
        m_pPairOpposite->setChecked(m_bPairOpposite != 0);
    }
}

BindingTable& CEnvKey::GetCurrentTable() {
    UpdateData(true);
    const int modifiers = (m_bShift ? kModShift : 0) | (m_bCtrl ? kModCtrl : 0);
    // 0, 4, 8 and 12 always name a table.
    return *GetSettings().GetBindingTable(modifiers);
}

void CEnvKey::ShowFunctionName(int row, int id) {
    QTreeWidgetItem* item = m_listKeys->topLevelItem(row);
    if (!item)
        return;
    QString name = FunctionText(kFunctionNames[0]);
    for (const FunctionName& entry : kFunctionNames) {
        if (int(entry.function) == id) {
            name = FunctionText(entry);
            break;
        }
    }
    item->setText(1, name);
}

int CEnvKey::FocusedRow() const {
    QTreeWidgetItem* item = m_listKeys->currentItem();
    return item ? m_listKeys->indexOfTopLevelItem(item) : -1;
}

void CEnvKey::RefreshFunctionColumn() {
    const BindingTable& table = GetCurrentTable();
    const int rows = m_listKeys->topLevelItemCount();
    for (int row = 0; row < rows && row < kBindableKeyCount; ++row)
        ShowFunctionName(row, table[row]);
    if (rows == 0)
        return;
    // Clearing and setting row 0 again makes the list report the change even when row 0
    // was already focused, so the change group shows row 0's binding.
    m_listKeys->setCurrentItem(nullptr);
    m_listKeys->clearSelection();
    m_listKeys->setCurrentItem(m_listKeys->topLevelItem(0));
    m_listKeys->topLevelItem(0)->setSelected(true);
}

void CEnvKey::OnItemChanged() {
    const int row = FocusedRow();
    if (row < 0 || row >= kBindableKeyCount)
        return;
    const int id = GetCurrentTable()[row];
    int index = m_comboFunction->findData(id);
    m_comboFunction->setCurrentIndex(index < 0 ? 0 : index);
    m_strKeyName = m_listKeys->topLevelItem(row)->text(0);
    UpdateData(false);
    m_pPairOpposite->setEnabled(row < kPairedRows);
}

void CEnvKey::OnUpdateBinding() {
    const int row = FocusedRow();
    const int id = m_comboFunction->currentData().toInt();
    if (row < 0 || row >= kBindableKeyCount)
        return;
    BindingTable& table = GetCurrentTable();
    table[row] = id;
    ShowFunctionName(row, id);
    if (row >= kPairedRows || !m_bPairOpposite)
        return;
    const int partner = PartnerRow(row);
    const int opposite = OppositeFunction(id);
    if (opposite < 0)
        return;
    table[partner] = opposite;
    ShowFunctionName(partner, opposite);
}

void CEnvKey::OnDefault() {
    GetSettings().ResetKeyBindings();
    RefreshFunctionColumn();
}
