// What the MIDI layer sets for the whole process rather than for one device: the environment
// read by the libraries it loads at run time, and the built-in synthesizer's two settings that
// tests and benchmarks change.
#pragma once

#include <chrono>
#include <string>

/// Sets the environment that libjack and libpulse read, for the synthesizer's sake: libjack
/// must never start a JACK server (FluidSynth's JACK driver opens its client without
/// JackNoStartServer), and libpulse names the synthesizer's audio client after the program
/// (FluidSynth's Pulse driver takes no name from its settings), where the user has not named it.
/// Call once at the start of main, before any other thread runs: setenv is not safe beside a
/// thread that reads the environment. Until it has run, the synthesizer does not use JACK.
void PrepareMidiEnvironment();

/// How long the built-in synthesizer keeps its audio output open after the last message: ten
/// seconds unless set here (tests and benchmarks wait less). Takes effect at once.
void SetSynthIdleRelease(std::chrono::milliseconds time);

/// The file the FluidSynth library is loaded from, for tests that need one that does not load;
/// empty: the system's libfluidsynth.so.3. Matters only until a library has loaded.
void SetFluidSynthLibrary(std::string file);
