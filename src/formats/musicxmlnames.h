// Names the MusicXML writer and reader share.
#pragma once

#include "notation.h"

/// MusicXML's note types, in the order of NoteType.
constexpr const char* kNoteTypeNames[kNoteTypeCount] = {"whole", "half", "quarter", "eighth",
                                                        "16th",  "32nd", "64th",    "128th"};

/// The identification's fields that carry a song's own events and tempo byte along.
constexpr const char* kEventsField = "kesv-events";
constexpr const char* kTempoField = "kesv-tempo";
/// Which of the key and time signature are the song's own: "key", "time", both or neither.
constexpr const char* kOwnMusicField = "kesv-own";
