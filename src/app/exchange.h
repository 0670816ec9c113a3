// Music exchange at the application's level: the song written as a Standard MIDI File or a
// sound file and a MIDI file read in as a song, for the File menu, drops and the command line.
#pragma once

#include "midi/audiorender.h"
#include "song/midifile.h"

#include <QString>
#include <QStringList>

/// The file dialogs' filters for song files and for MIDI files.
QString SongFileFilter();
QString MidiFileFilter();

/// The save dialog's filters of the audio types this build can write, WAV first.
QStringList AudioFileFilters();
/// The type a filter of AudioFileFilters stands for.
AudioFileType AudioFileTypeOfFilter(const QString& filter);

/// Writes the song atomically as a format 0 file; the cp932 title becomes UTF-8.
bool ExportSongToMidi(const Song& song, const TimeSignature& signature, const QString& path,
                      QString* error);

/// Reads a MIDI file into `import`, its title made cp932 (from UTF-8, else taken as cp932)
/// and kept in `import.song.title`. On failure `import` is untouched and `error` names the
/// fault.
bool ImportSongFromMidi(const QString& path, MidiImport& import, QString* error);

/// Why an audio export failed, in one sentence; empty when it did not.
QString DescribeAudioFailure(const AudioRenderResult& result);

/// What the status bar says after an import: the notes refused, the events cut.
QString DescribeImport(const MidiImport& import);

/// The command-line conversions; `songPath` is the input, `outPath` the file to write.
enum class Conversion { ExportMidi, ExportAudio, ImportMidi };

/// Runs one conversion without a window. Returns the exit status; on failure writes one
/// line to `message`.
int RunConversion(Conversion conversion, const QString& outPath, const QString& inPath,
                  QString* message);
