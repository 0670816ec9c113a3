#include "envdlg.h"

#include "envkey.h"
#include "envmain.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

CEnvDlg::CEnvDlg(QWidget* parent, int firstPage)
    : QDialog(parent), m_pMainPage(nullptr), m_pKeyPage(nullptr), m_pTabs(nullptr),
      m_pButtons(nullptr), m_nActivePage(-1) {
    m_settings.SetDefaults();
    setWindowTitle(tr("動作環境"));
    setModal(true);

    m_pTabs = new QTabWidget(this);
    m_pMainPage = new CEnvMain(this);
    m_pKeyPage = new CEnvKey(this);
    m_pTabs->addTab(m_pMainPage, m_pMainPage->Title());
    m_pTabs->addTab(m_pKeyPage, m_pKeyPage->Title());

    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pButtons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_pButtons->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CEnvDlg::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CEnvDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTabs);
    layout->addWidget(m_pButtons);

    if (firstPage < 0 || firstPage >= m_pTabs->count())
        firstPage = BasicPage;
    m_pTabs->setCurrentIndex(firstPage);
    m_nActivePage = firstPage;
    connect(m_pTabs, &QTabWidget::currentChanged, this, &CEnvDlg::OnTabChanged);
}

CEnvDlg::~CEnvDlg() = default;

CEnvPage* CEnvDlg::PageAt(int index) const {
    switch (index) {
    case BasicPage:
        return m_pMainPage;
    case KeyPage:
        return m_pKeyPage;
    default:
        return nullptr;
    }
}

void CEnvDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A page is initialised when it is first shown, after the caller filled the copy.
    if (CEnvPage* page = PageAt(m_nActivePage))
        page->Activate();
    UpdateDefaultButton();
}

bool CEnvDlg::SetActivePage(int index) {
    if (!PageAt(index))
        return false;
    m_pTabs->setCurrentIndex(index);
    return m_nActivePage == index;
}

void CEnvDlg::OnTabChanged(int index) {
    if (index == m_nActivePage)
        return;
    CEnvPage* leaving = PageAt(m_nActivePage);
    if (leaving && leaving->IsInitialized() && !leaving->OnKillActive()) {
        // The page refused to be left: show it again without asking anybody.
        const QSignalBlocker blocker(m_pTabs);
        m_pTabs->setCurrentIndex(m_nActivePage);
        return;
    }
    m_nActivePage = index;
    if (CEnvPage* page = PageAt(index))
        page->Activate();
    UpdateDefaultButton();
}

void CEnvDlg::UpdateDefaultButton() {
    // The key page's "更新" is its default button while that page is shown; OK otherwise.
    if (m_nActivePage == KeyPage)
        m_pKeyPage->MakeUpdateDefault();
    else
        m_pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
}

void CEnvDlg::accept() {
    CEnvPage* page = PageAt(m_nActivePage);
    if (page && page->IsInitialized() && !page->OnKillActive())
        return;
    QDialog::accept();
}
