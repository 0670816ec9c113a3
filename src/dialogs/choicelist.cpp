#include "choicelist.h"

#include <QDialog>
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

QTreeWidget* BuildChoiceList(QDialog* dialog, const QString& prompt, const QStringList& columns) {
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(prompt, dialog));
    auto* list = new QTreeWidget(dialog);
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->setHeaderLabels(columns);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(list, &QTreeWidget::itemDoubleClicked, dialog, &QDialog::accept);
    list->setFocus();
    return list;
}

void FinishChoiceList(QDialog* dialog, QTreeWidget* list, int nameColumn, int current) {
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->resizeSections(QHeaderView::ResizeToContents);
    header->resizeSection(nameColumn,
                          std::min(header->sectionSize(nameColumn),
                                   list->fontMetrics().averageCharWidth() * kNameChars));
    if (QTreeWidgetItem* item = list->topLevelItem(current))
        list->setCurrentItem(item);

    const int frame = 2 * list->frameWidth();
    int width = frame + list->verticalScrollBar()->sizeHint().width();
    for (int i = 0; i < header->count(); ++i)
        width += header->sectionSize(i);
    const int rows = std::clamp(list->topLevelItemCount(), 3, kVisibleRows);
    const int height = frame + header->sizeHint().height() + rows * list->sizeHintForRow(0);
    // The rest of the dialog (text, buttons, margins) as its layout wants it.
    const QSize around = dialog->layout()->sizeHint() - list->sizeHint();
    QSize size(std::max(width + around.width(), dialog->layout()->sizeHint().width()),
               height + around.height());
    const QWidget* anchor = dialog->parentWidget() ? dialog->parentWidget() : dialog;
    if (const QScreen* screen = anchor->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    dialog->resize(size);
}
