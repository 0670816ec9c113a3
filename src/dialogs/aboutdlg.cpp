#include "aboutdlg.h"

#include "sourcedate.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("KesVのﾊﾞｰｼﾞｮﾝ情報"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    auto* version = new QLabel(QStringLiteral("KesV Version " KESV_VERSION), this);
    m_pBuildLabel = new QLabel(BuildText(), this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAboutDlg::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(m_pBuildLabel);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    row->addWidget(buttons, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
}

CAboutDlg::~CAboutDlg() = default;

QString CAboutDlg::BuildText() {
    return QStringLiteral("Built: %1").arg(QStringLiteral(KESV_SOURCE_DATE));
}
