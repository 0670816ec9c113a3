#include "envpage.h"

#include "envdlg.h"

CEnvPage::CEnvPage(CEnvDlg* sheet, const QString& title)
    : QWidget(nullptr), m_pSheet(sheet), m_strTitle(title) {}

CEnvPage::~CEnvPage() = default;

void CEnvPage::Activate() {
    if (m_bInitialized)
        return;
    m_bInitialized = true;
    OnInitDialog();
}

EnvSettings& CEnvPage::GetSettings() const {
    return m_pSheet->GetSettings();
}
