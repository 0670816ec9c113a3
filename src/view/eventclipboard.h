// Events on the clipboard: our own type with the code and pitch bytes, plain text a person
// can read (one event a line), and note names typed elsewhere to be pasted as events.
#pragma once

#include "document/songcommands.h"
#include "song/musictime.h"

#include <QString>

#include <memory>
#include <vector>

class QMimeData;

inline constexpr char kEventsMimeType[] = "application/x-kesv-events";

/// The events [first, first + count) of the song as our type and as text.
std::unique_ptr<QMimeData> EventsToMimeData(const Song& song, int first, int count,
                                            const TimeSignature& signature);

/// What a paste would insert, or why it can't.
struct PastedEvents {
    enum Error { NoError, NotANoteName, NotALength };
    std::vector<EventBytes> events;
    Error error = NoError;
    QString badToken; // the first word (or length) of the text that could not be read
};

/// Our type when present, else the text's note names ("C4", "D#4", "休" or "r" for a rest,
/// "↓" for a tie), each followed by its length as the list shows it ("1/ 24", "12") or
/// else given the length code `code`. A note name outside the range the editor enters is
/// brought into it as typing the name does. Empty when nothing is usable.
PastedEvents EventsFromMimeData(const QMimeData* data, uint8_t code,
                                const TimeSignature& signature);

/// Whether Paste has anything to work with: our type holding events, or text with a word.
bool HasPastableContent(const QMimeData* data);
