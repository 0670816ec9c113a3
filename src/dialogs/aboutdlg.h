// The about box: program name, version, when this build was made, copyright and licence.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    /// "Built: " with the date and time of the sources (the last commit, or SOURCE_DATE_EPOCH),
    /// in the words of the interface's language.
    static QString BuildText();

    QLabel* buildLabel() const { return m_pBuildLabel; }

private:
    QLabel* m_pBuildLabel;
};
