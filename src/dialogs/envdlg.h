// The settings sheet "動作環境": a modal dialog with the pages "基本" and "キー定義" that
// edit a private copy of the settings record until the sheet is accepted.
#pragma once

#include "settings/envsettings.h"

#include <QDialog>

class QDialogButtonBox;
class QTabWidget;
class CEnvPage;
class CEnvMain;
class CEnvKey;

class CEnvDlg : public QDialog {
    Q_OBJECT

public:
    enum Page { BasicPage = 0, KeyPage = 1 };

    /// Builds the sheet with both pages; firstPage is the page shown when it opens.
    explicit CEnvDlg(QWidget* parent = nullptr, int firstPage = BasicPage);
    ~CEnvDlg() override;

    /// The working copy: fill it before running the sheet, read it after OK.
    EnvSettings& GetSettings() { return m_settings; }
    const EnvSettings& GetSettings() const { return m_settings; }

    /// Runs the sheet modally; QDialog::Accepted after OK.
    int DoModal() { return exec(); }

    CEnvMain* GetMainPage() const { return m_pMainPage; }
    CEnvKey* GetKeyPage() const { return m_pKeyPage; }
    QTabWidget* GetTabs() const { return m_pTabs; }
    int GetActiveIndex() const { return m_nActivePage; }
    /// Makes a page active as a tab click would; false when the current page refused to go.
    bool SetActivePage(int index);

    /// OK: the active page must accept its values first, otherwise the sheet stays open.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnTabChanged(int index);
    CEnvPage* PageAt(int index) const;
    void UpdateDefaultButton();

    CEnvMain* m_pMainPage;
    CEnvKey* m_pKeyPage;
    EnvSettings m_settings;
    QTabWidget* m_pTabs;
    QDialogButtonBox* m_pButtons;
    int m_nActivePage;
};
