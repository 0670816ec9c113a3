// A page of the settings sheet: built with its controls, initialised when first shown,
// asked before it is left whether its values are acceptable.
#pragma once

#include <QWidget>

class CEnvDlg;
struct EnvSettings;

class CEnvPage : public QWidget {
    Q_OBJECT

public:
    CEnvPage(CEnvDlg* sheet, const QString& title);
    ~CEnvPage() override;

    QString Title() const { return m_strTitle; }
    bool IsInitialized() const { return m_bInitialized; }

    /// Runs OnInitDialog the first time the page becomes the active one.
    void Activate();
    /// The page is left or the sheet accepted; false keeps the page active.
    virtual bool OnKillActive() { return true; }

protected:
    virtual bool OnInitDialog() { return true; }
    /// The sheet's working copy of the settings, which every page edits.
    EnvSettings& GetSettings() const;

private:
    CEnvDlg* m_pSheet;
    QString m_strTitle;
    bool m_bInitialized = false;
};
