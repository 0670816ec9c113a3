// Keys: notes spelt by a key signature, and the key a melody is in, found from its notes.
#pragma once

#include "song.h"

#include <array>
#include <cstdint>
#include <optional>

/// A key as written: step letter, alteration (1 a sharp, -1 a flat) and octave (4 holds middle
/// C; the octave goes with the letter, so B♯3 sounds as C4 and C♭5 as B4).
struct KeySpelling {
    char step = 'C';
    int alter = 0;
    int octave = 4;
};

/// A MIDI key spelt in `key`: the key's own notes as its signature writes them, the others by
/// where they stand from its tonic (in C major C♯ E♭ F♯ G♯ B♭; in A minor B♭ C♯ D♯ F♯ G♯),
/// never with a double sharp or flat.
KeySpelling SpellKeyIn(int midiKey, const SongKey& key);

/// The alteration the signature of `key` gives a step letter ('A' to 'G').
int SignatureAlter(char step, const SongKey& key);

/// The pitch class (0 C to 11 B) of a key's tonic.
int TonicPitchClass(const SongKey& key);

/// The three characters of a note name as GetNoteName gives them, spelt in `key` when there is
/// one: "Bb4", "C#5", "Cb5"; without a key exactly GetNoteName(pitch).
std::array<char, 3> GetNoteName(uint8_t pitch, const std::optional<SongKey>& key);

/// The major or minor key whose Temperley–Kostka–Payne profile correlates best with how long
/// each pitch class sounds in the song (ties merged into the note they end in). Nothing for a
/// song without a note.
std::optional<SongKey> DetectKey(const Song& song);
