// The conversions of the command line: one file converted without a window, and the tables
// of a MIDI file's melody candidates and an ABC file's tunes.
#pragma once

#include "formats/midiimport.h"
#include "song/musictime.h"

#include <QString>

/// The command-line conversions; `inPath` is the file read, `outPath` the file written.
enum class Conversion {
    ExportMidi,
    ExportAudio,
    ImportMidi,
    ExportMusicXml,
    ImportMusicXml,
    ExportAbc,
    ImportAbc,
};

struct ConversionOptions {
    MelodyChoice melody;     // the import's track (and channel); for a score, its part
    bool normalize = true;   // the audio export's level
    int tune = -1;           // the ABC import's tune (X: number); -1 the first
    TimeSignature signature; // the bars of an export, the meter an import is compared with
};

/// Runs one conversion without a window. Returns the exit status (0, 1 for a failed
/// conversion, 2 for a usage error); on failure writes one line to `message`.
int RunConversion(Conversion conversion, const QString& outPath, const QString& inPath,
                  const ConversionOptions& options, QString* message);

/// The melody candidates of a MIDI file as a table for the command line (into `text`);
/// returns the exit status, with one line in `message` on failure.
int ListMidiTracks(const QString& path, QString* text, QString* message);

/// The tunes of an ABC file as a table for the command line, as ListMidiTracks.
int ListAbcFileTunes(const QString& path, QString* text, QString* message);
