// The General MIDI programs as a MIDI file's instruments are named to the user.
#pragma once

#include <QString>

/// The General MIDI family of a program (0-127) in the interface language, with its number
/// from 1 ("ピアノ (1)"); "-" for none.
QString GeneralMidiInstrumentName(int program);
