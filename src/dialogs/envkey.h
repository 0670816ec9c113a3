// The key definition page "キー定義": which edit function each bindable key runs, for one
// combination of SHIFT and CTRL at a time, with the pair option and the default bindings.
#pragma once

#include "envpage.h"
#include "settings/envsettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class CEnvKey : public CEnvPage {
    Q_OBJECT

public:
    explicit CEnvKey(CEnvDlg* sheet);
    ~CEnvKey() override;

    /// The partner row of a paired key (rows 0 to 7), or -1.
    static int PartnerRow(int row);
    /// The opposite edit function, or -1 when the function has none.
    static int OppositeFunction(int id);

    /// Makes "更新" the sheet's default button while this page is shown.
    void MakeUpdateDefault();

    // Handlers (public so that the sheet and tests can drive the page as a user would).
    void OnDefault();
    void OnUpdateBinding();
    void RefreshFunctionColumn();
    void OnItemChanged();

    QTreeWidget* m_listKeys;
    QComboBox* m_comboFunction;
    QString m_strKeyName;
    int m_bCtrl = 0;
    int m_bShift = 0;
    int m_bPairOpposite = 0;

protected:
    bool OnInitDialog() override;

private:
    void UpdateData(bool saveAndValidate);
    /// The key names in the list (its function column empty), sized to show them all.
    void FillKeyList();
    BindingTable& GetCurrentTable();
    void ShowFunctionName(int row, int id);
    int FocusedRow() const;

    QLabel* m_pKeyName;
    QCheckBox* m_pShift;
    QCheckBox* m_pCtrl;
    QCheckBox* m_pPairOpposite;
    QPushButton* m_pUpdate;
    QPushButton* m_pDefault;
};
