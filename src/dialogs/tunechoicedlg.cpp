#include "tunechoicedlg.h"

#include "choicelist.h"

#include <QTreeWidget>

#include <algorithm>

namespace {

QString FieldText(const std::string& text) {
    return text.empty() ? QStringLiteral("-") : QString::fromStdString(text);
}

} // namespace

CTuneChoiceDlg::CTuneChoiceDlg(const std::vector<AbcTuneInfo>& tunes, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("ABC の曲"));
    m_pList =
        BuildChoiceList(this, tr("読み込む曲を選んでください。"),
                        {QStringLiteral("X:"), tr("曲名"), tr("調"), tr("拍子"), tr("イベント数")});
    int first = -1;
    for (const AbcTuneInfo& tune : tunes) {
        auto* item = new QTreeWidgetItem(m_pList);
        item->setText(0, QString::number(tune.number));
        item->setText(1, QString::fromStdString(tune.title));
        item->setText(2, FieldText(tune.key));
        item->setText(3, FieldText(tune.meter));
        // A tune that gives no song stays in the list: taking it says why.
        const bool readable = tune.read.error == AbcError::None && tune.events > 0;
        item->setText(4, readable ? QString::number(tune.events) : QStringLiteral("-"));
        for (int column : {0, 4})
            item->setTextAlignment(column, Qt::AlignRight);
        if (readable && first < 0)
            first = m_pList->topLevelItemCount() - 1;
    }
    FinishChoiceList(this, m_pList, 1, std::max(first, 0));
}

CTuneChoiceDlg::~CTuneChoiceDlg() = default;

int CTuneChoiceDlg::ChosenIndex() const {
    const QModelIndex current = m_pList->currentIndex();
    return current.isValid() ? current.row() : 0;
}
