#include "trackchoicedlg.h"

#include "choicelist.h"
#include "formats/generalmidi.h"

#include <QTreeWidget>

CTrackChoiceDlg::CTrackChoiceDlg(const std::vector<MelodyCandidate>& candidates,
                                 const QStringList& names, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("旋律のトラック"));
    m_pList = BuildChoiceList(
        this, tr("旋律として読み込むトラックを選んでください。"),
        {tr("トラック"), tr("名前"), tr("音色"), tr("ﾁｬﾝﾈﾙ"), tr("音符数"), tr("音域")});
    for (size_t i = 0; i < candidates.size(); ++i) {
        const MelodyCandidate& candidate = candidates[i];
        auto* item = new QTreeWidgetItem(m_pList);
        item->setText(0, QString::number(candidate.track + 1));
        item->setText(1, i < size_t(names.size()) ? names[qsizetype(i)] : QString());
        item->setText(2, GeneralMidiInstrumentName(candidate.program));
        item->setText(3, QString::number(candidate.channel + 1));
        item->setText(4, QString::number(candidate.notes));
        item->setText(5, QStringLiteral("%1–%2").arg(
                             QString::fromStdString(MidiKeyName(candidate.lowestKey)),
                             QString::fromStdString(MidiKeyName(candidate.highestKey))));
        for (int column : {0, 3, 4})
            item->setTextAlignment(column, Qt::AlignRight);
    }
    FinishChoiceList(this, m_pList, 1, 0); // the best one first
}

CTrackChoiceDlg::~CTrackChoiceDlg() = default;

int CTrackChoiceDlg::ChosenIndex() const {
    const QModelIndex current = m_pList->currentIndex();
    return current.isValid() ? current.row() : 0;
}
