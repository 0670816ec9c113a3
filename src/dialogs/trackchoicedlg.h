// The choice of the track (and channel) a MIDI file's melody is taken from, before an import.
#pragma once

#include "formats/midiimport.h"

#include <QDialog>
#include <QStringList>

#include <vector>

class QTreeWidget;

class CTrackChoiceDlg : public QDialog {
    Q_OBJECT
public:
    /// `candidates` best first, as ListMelodyCandidates gives them; `names` their track names
    /// as text. The best one is chosen when the dialog opens.
    CTrackChoiceDlg(const std::vector<MelodyCandidate>& candidates, const QStringList& names,
                    QWidget* parent = nullptr);
    ~CTrackChoiceDlg() override;

    /// The index into the candidates of the row chosen.
    int ChosenIndex() const;

private:
    QTreeWidget* m_pList = nullptr;
};
