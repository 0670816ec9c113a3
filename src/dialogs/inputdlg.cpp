#include "inputdlg.h"

#include "song/songcodec.h"
#include "text/cp932.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

CInputDlg::CInputDlg(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(caption);
    m_pEdit = new QLineEdit(this);
    m_pEdit->setMinimumWidth(280);
    m_pEdit->setAccessibleName(caption);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(tr("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CInputDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CInputDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pEdit);
    layout->addWidget(buttons);
}

CInputDlg::~CInputDlg() = default;

void CInputDlg::OnInitDialog() {
    m_pEdit->setText(m_strText);
    m_pEdit->selectAll();
}

int CInputDlg::exec() {
    OnInitDialog();
    return QDialog::exec();
}

void CInputDlg::accept() {
    const QString text = m_pEdit->text();
    const std::optional<std::string> bytes = EncodeCp932(text);
    QString problem;
    if (!bytes)
        problem = tr("このタイトルには曲ファイルに保存できない文字が含まれています。");
    else if (bytes->size() > kMaxTitleBytes)
        problem = tr("タイトルが長すぎます（%1 バイト）。半角で %2 文字、全角で %3 "
                     "文字までにしてください。")
                      .arg(bytes->size())
                      .arg(kMaxTitleBytes)
                      .arg(kMaxTitleBytes / 2);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem);
        m_pEdit->setFocus();
        return;
    }
    m_strText = text;
    QDialog::accept();
}
