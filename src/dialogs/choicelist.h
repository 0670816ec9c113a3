// The list the import dialogs ask from: one row a track, a part or a tune, every column in
// sight, the dialog sized to its rows within the screen.
#pragma once

#include <QStringList>

class QDialog;
class QTreeWidget;

/// Lays out `dialog`: the prompt, a list with these columns, OK and Cancel; Enter or a double
/// click takes the current row.
QTreeWidget* BuildChoiceList(QDialog* dialog, const QString& prompt, const QStringList& columns);

/// Once the rows are in: every column as wide as its texts, but `nameColumn` cut short ("…")
/// rather than pushing the others out of sight; row `current` chosen; the dialog as large as
/// every column and a dozen rows need, within the screen.
void FinishChoiceList(QDialog* dialog, QTreeWidget* list, int nameColumn, int current);
