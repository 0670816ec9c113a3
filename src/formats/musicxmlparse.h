// A MusicXML document parsed into what the import needs of it: the parts, the notes of
// the chosen part's voice, the titles, the tempo marks and the fields a KesV export carries.
#pragma once

#include "musicxml.h"

#include <QString>

#include <optional>
#include <vector>

// A note (or rest, key -1) of the voice read, in ticks from the start of the part.
struct ReadNote {
    double start = 0;
    double length = 0; // 0: none given
    int key = -1;
    bool tieStart = false;
    bool tieStop = false;
};

struct ParsedScore {
    std::vector<MusicXmlPart> parts;
    std::vector<ReadNote> notes;      // of the chosen part's voice (that of its first note)
    std::vector<double> chosenTempos; // quarter notes a minute, in the order of the chosen part
    std::vector<double> otherTempos;  // of the first other part that has any
    QString workTitle;
    QString movementTitle;
    QString eventsField;
    QString tempoField;
    QString ownMusicField;
    bool hasOwnMusicField = false;
    std::optional<SongKey> key; // the chosen part's first key signature, as it sounds
    int64_t pickup = 0;         // ticks of the chosen part's first bar when it is implicit
    MusicXmlImport counts;      // what was left out, and the first time signature
};

/// A duration longer than this is longer than any song (999 events of the longest length) and
/// is read as this.
constexpr double kLongestReadTicks = double(kMaxEvents) * 2 * kTicksPerWhole;

/// Reads a whole document; the notes only of part `chosenPart` (from 0; -1: none). A
/// document type that declares entities is refused before anything is expanded; the work is
/// linear in the document and ends soon after `stop` is requested.
MusicXmlReadResult ParseScore(const QByteArray& xml, int chosenPart, ParsedScore& out,
                              const std::stop_token& stop = {});
