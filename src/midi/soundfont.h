// Where the General MIDI soundfont of the built-in synthesizer is found: the synthesizer and
// the audio export sound the same.
#pragma once

#include <string>

/// The first soundfont in the user's and the system's soundfont folders (the usual General
/// MIDI names first, then any .sf2/.sf3 in name order); empty when there is none.
std::string FindSoundFont();
