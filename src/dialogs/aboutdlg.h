// The about box: program name, version and when this build was made.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    /// "Built: " with the build date and time.
    static QString BuildText();

    QLabel* buildLabel() const { return m_pBuildLabel; }

private:
    QLabel* m_pBuildLabel;
};
