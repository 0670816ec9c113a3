#include "trackchoicedlg.h"

#include "choicelist.h"

#include <QTreeWidget>

namespace {

// The sixteen families of eight General MIDI programs each.
constexpr const char* kFamilies[] = {
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "ピアノ"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "クロマチック打楽器"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "オルガン"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "ギター"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "ベース"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "ストリングス"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "アンサンブル"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "ブラス"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "リード"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "パイプ"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "シンセリード"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "シンセパッド"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "シンセ効果"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "民族楽器"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "打楽器"),
    QT_TRANSLATE_NOOP("CTrackChoiceDlg", "効果音"),
};

} // namespace

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
        item->setText(2, InstrumentName(candidate.program));
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

QString CTrackChoiceDlg::InstrumentName(int program) {
    if (program < 0 || program > 127)
        return QStringLiteral("-");
    return QStringLiteral("%1 (%2)").arg(tr(kFamilies[program / 8])).arg(program + 1);
}
