#include "trackchoicedlg.h"

#include "formats/generalmidi.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kNameChars = 24;   // a name's room before it is cut short
constexpr int kVisibleRows = 12; // rows shown before the list scrolls

} // namespace

CTrackChoiceDlg::CTrackChoiceDlg(const std::vector<MelodyCandidate>& candidates,
                                 const QStringList& names, QWidget* parent)
    : QDialog(parent), m_pList(new QTreeWidget(this)) {
    setWindowTitle(tr("旋律のトラック"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("旋律として読み込むトラックを選んでください。"), this));
    m_pList->setRootIsDecorated(false);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setHeaderLabels(
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
    // Every column as wide as its texts, but a long name is cut short ("…") rather than
    // pushing the instrument, channel, notes and range out of sight.
    QHeaderView* header = m_pList->header();
    header->setStretchLastSection(false);
    header->resizeSections(QHeaderView::ResizeToContents);
    header->resizeSection(1, std::min(header->sectionSize(1),
                                      m_pList->fontMetrics().averageCharWidth() * kNameChars));
    if (QTreeWidgetItem* best = m_pList->topLevelItem(0))
        m_pList->setCurrentItem(best);
    layout->addWidget(m_pList);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    m_pList->setFocus();
    FitToContents();
}

void CTrackChoiceDlg::FitToContents() {
    const QHeaderView* header = m_pList->header();
    const int frame = 2 * m_pList->frameWidth();
    int width = frame + m_pList->verticalScrollBar()->sizeHint().width();
    for (int i = 0; i < header->count(); ++i)
        width += header->sectionSize(i);
    const int rows = std::clamp(m_pList->topLevelItemCount(), 3, kVisibleRows);
    const int height = frame + header->sizeHint().height() + rows * m_pList->sizeHintForRow(0);
    // The rest of the dialog (text, buttons, margins) as its layout wants it.
    const QSize around = layout()->sizeHint() - m_pList->sizeHint();
    QSize size(std::max(width + around.width(), layout()->sizeHint().width()),
               height + around.height());
    const QWidget* anchor = parentWidget() ? parentWidget() : this;
    if (const QScreen* screen = anchor->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);
}

CTrackChoiceDlg::~CTrackChoiceDlg() = default;

int CTrackChoiceDlg::ChosenIndex() const {
    const QModelIndex current = m_pList->currentIndex();
    return current.isValid() ? current.row() : 0;
}
