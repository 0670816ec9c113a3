// The choice of the tune to read from an ABC text that holds several.
#pragma once

#include "formats/abc.h"

#include <QDialog>

#include <vector>

class QTreeWidget;

class CTuneChoiceDlg : public QDialog {
    Q_OBJECT
public:
    /// `tunes` in the order ListAbcTunes gives them; the first one with notes is chosen when
    /// the dialog opens.
    explicit CTuneChoiceDlg(const std::vector<AbcTuneInfo>& tunes, QWidget* parent = nullptr);
    ~CTuneChoiceDlg() override;

    /// The index into the tunes of the row chosen.
    int ChosenIndex() const;

private:
    QTreeWidget* m_pList = nullptr;
};
