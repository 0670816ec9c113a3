// A one-line text dialog with the caller's caption; the view edits the song title with it.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

class CInputDlg : public QDialog {
    Q_OBJECT
public:
    explicit CInputDlg(const QString& caption, QWidget* parent = nullptr);
    ~CInputDlg() override;

    /// Set before exec(), read after it returns Accepted.
    QString m_strText;

    int exec() override;
    void accept() override;

    QLineEdit* edit() const { return m_pEdit; }
    /// Puts m_strText into the edit; exec() does it before showing the dialog.
    void OnInitDialog();

private:
    QLineEdit* m_pEdit;
};
