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
    auto* copyright = new QLabel(tr("Copyright © 2026 KesV の開発者"), this);
    auto* licence = new QLabel(tr("GNU 一般公衆利用許諾書（GPL）バージョン 3 "
                                  "以降の下で配布されるフリーソフトウェアです。"),
                               this);
    licence->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAboutDlg::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(m_pBuildLabel);
    texts->addWidget(copyright);
    texts->addWidget(licence);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    row->addWidget(buttons, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
}

CAboutDlg::~CAboutDlg() = default;

QString CAboutDlg::BuildText() {
    // The program's own language shows the date as the compiler writes it ("Sep  7 2000"); a
    // translation gets it without the padding.
    static const char* const kLine = QT_TR_NOOP("Built: %1");
    const QString line = tr(kLine);
    const QString date = QStringLiteral(KESV_SOURCE_DATE);
    return line.arg(line == QLatin1String(kLine) ? date : date.simplified());
}
