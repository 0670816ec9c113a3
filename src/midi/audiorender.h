// Audio export: the song's performance rendered through the built-in synthesizer's
// soundfont into a sound file, faster than real time and without an audio device.
#pragma once

#include "midiresult.h"
#include "song/song.h"

#include <functional>
#include <string>
#include <vector>

enum class AudioFileType { Wav, Flac, Ogg };

constexpr int kAudioSampleRate = 44100;
/// Silence after the song's end, so that the last note rings out.
constexpr double kAudioTailSeconds = 0.5;

/// The types this FluidSynth build can write (WAV always; FLAC and OGG when libsndfile has
/// them).
std::vector<AudioFileType> AvailableAudioFileTypes();

/// The type of a file name's extension (.wav, .flac, .ogg/.oga); false for anything else.
bool AudioFileTypeOfPath(const std::string& path, AudioFileType& type);

/// Length of the rendered file: the song's length at its tempo plus the tail.
double RenderedAudioSeconds(const Song& song);

/// Progress from 0 to 1; answering false cancels the render.
using AudioProgress = std::function<bool(double done)>;

/// How an audio export ended: what failed, with what it concerned. The user interface puts it
/// into words; Status() is the code with English words, for logs and tests.
struct AudioRenderResult {
    enum class Failure {
        None,
        Cancelled,           // the progress callback answered false
        NoLibrary,           // libfluidsynth.so.3 cannot be loaded
        NoSoundFont,         // no General MIDI soundfont is installed
        CannotCreate,        // no file can be created beside the target (systemError)
        SynthFailed,         // FluidSynth could not start
        TypeUnsupported,     // this FluidSynth cannot write the type (subject: its name)
        SoundFontUnreadable, // subject: the soundfont
        CannotWrite,         // writing or the final rename failed (systemError, 0 if none)
    };
    Failure failure = Failure::None;
    int systemError = 0;
    std::string subject;

    explicit operator bool() const { return failure == Failure::None; }
    MidiStatus Status(const std::string& path) const;
};

struct AudioRenderOptions {
    bool normalize = true;  // scale the song so that its loudest sample peaks at peakDbfs
    double peakDbfs = -1.0; // the peak, in dB below full scale
};

/// Renders 44.1 kHz stereo 16-bit audio of BuildPerformance at the song's tempo (normalised
/// in a first pass that only measures). A regular file is written beside `path` (through a
/// symbolic link, beside its target) under a temporary name and renamed over it at the end,
/// so a cancelled or failed render leaves no partial file (and an older file untouched); it
/// keeps an older file's mode, else gets the mode any new file gets. An existing device or
/// FIFO is written in place and "-" is standard output, both from a temporary file in the
/// temporary folder.
AudioRenderResult RenderSongToAudio(const Song& song, const std::string& path, AudioFileType type,
                                    const AudioProgress& progress,
                                    const AudioRenderOptions& options = {});

/// Makes SIGINT and SIGTERM remove the temporary file of a render in progress before the
/// program ends as the signal would end it. For programs without a window.
void RemoveAudioTemporaryOnSignals();
