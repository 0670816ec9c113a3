// Music exchange at the application's level: the song written as a Standard MIDI File or a
// sound file and a MIDI file read in as a song, for the File menu, drops and the command line.
#pragma once

#include "midi/audiorender.h"
#include "song/abc.h"
#include "song/midifile.h"
#include "song/musicxml.h"

#include <QString>
#include <QStringList>

#include <span>
#include <stop_token>
#include <vector>

/// The file dialogs' filters for song files and for MIDI files.
QString SongFileFilter();
QString MidiFileFilter();

/// The save dialog's filters of the audio types this build can write, WAV first.
QStringList AudioFileFilters();
/// The type a filter of AudioFileFilters stands for.
AudioFileType AudioFileTypeOfFilter(const QString& filter);

/// Writes `bytes` to `path` without ever destroying a file that is not ours to replace: "-"
/// is standard output, an existing device or FIFO is written in place, a regular file is
/// replaced through WriteFileSafely (a failed write leaves the old file as it was).
bool WriteOutputFile(const QString& path, std::span<const uint8_t> bytes, QString* error);

/// Whether two paths name the same file (same device and inode, through links).
bool IsSameFile(const QString& first, const QString& second);

/// Writes the song as a format 0 file (see WriteOutputFile); the cp932 title becomes UTF-8.
bool ExportSongToMidi(const Song& song, const TimeSignature& signature, const QString& path,
                      QString* error);

/// The melody candidates of a MIDI file, best first; false with `error` when it has none.
/// The reading stops soon after `stop` is requested (false, with the words for that).
bool ReadMidiCandidates(const QString& path, std::vector<MelodyCandidate>& candidates,
                        QString* error, const std::stop_token& stop = {});

/// Reads a MIDI file into `import`, its title made cp932 (from UTF-8, else cp932 when it reads
/// as Japanese, else Latin-1) and kept in `import.song.title`. On failure `import` is
/// untouched and `error` names the fault.
bool ImportSongFromMidi(const QString& path, MidiImport& import, QString* error,
                        MelodyChoice choice = {}, const std::stop_token& stop = {});

/// The text of a name stored in a MIDI file, decoded as ImportSongFromMidi decodes titles.
QString DecodeMidiText(const std::string& bytes);

/// A name as a list or a terminal shows it: control characters (a NUL, a line break, an
/// escape) written as \xNN, so that nothing is cut off or hidden.
QString PrintableName(const QString& name);

/// Why an audio export failed, in one sentence; empty when it did not.
QString DescribeAudioFailure(const AudioRenderResult& result);

/// The remarks every import may have: tempo changes folded into one tempo, and a time
/// signature other than `signature` (the song's own, else the settings').
void AppendTempoAndMeterRemarks(QStringList& parts, int tempoChangesFolded, int timeNumerator,
                                int timeDenominator, const TimeSignature& signature);

/// The remark of an import whose song took the key its notes are in, the file having none.
void AppendKeyRemark(QStringList& parts, const Song& song, bool keyDetected);

/// What an import has to say besides success, one remark each.
QStringList ImportRemarks(const MidiImport& import, const TimeSignature& signature);

/// What the status bar says after an import: the notes refused, the events cut, the tempo
/// changes folded, a time signature other than the settings' `signature`, what was guessed.
QString DescribeImport(const MidiImport& import, const TimeSignature& signature);

/// The file dialogs' filter for MusicXML scores, plain and compressed.
QString MusicXmlFileFilter();
/// Whether a name is a MusicXML score's (.musicxml, .mxl, .xml).
bool IsMusicXmlFileName(const QString& path);

/// Writes the song as a MusicXML score (see WriteOutputFile), compressed when the name ends
/// in .mxl.
bool ExportSongToMusicXml(const Song& song, const TimeSignature& signature, const QString& path,
                          QString* error);

/// The parts of a MusicXML score (plain or compressed); false with `error` when it is none.
/// The reading stops soon after `stop` is requested (false, with the words for that).
bool ReadMusicXmlParts(const QString& path, std::vector<MusicXmlPart>& parts, QString* error,
                       const std::stop_token& stop = {});

/// Reads part `part` of a MusicXML score into `import`. On failure `import` is untouched and
/// `error` names the fault.
bool ImportSongFromMusicXml(const QString& path, MusicXmlImport& import, QString* error,
                            int part = 0, const std::stop_token& stop = {});

/// What the status bar says after a MusicXML import: what was left out or changed, a time
/// signature other than the settings' `signature`.
QStringList MusicXmlImportRemarks(const MusicXmlImport& import, const TimeSignature& signature);
QString DescribeMusicXmlImport(const MusicXmlImport& import, const TimeSignature& signature);

/// The file dialogs' filter for ABC files.
QString AbcFileFilter();
/// Whether a name is an ABC file's (.abc).
bool IsAbcFileName(const QString& path);

/// The song (or `rowCount` rows from `firstRow`) as an ABC tune: the title, `signature`, the
/// tempo, rows that start within a bar begun with a pickup; for Copy as ABC.
QString SongToAbcText(const Song& song, const TimeSignature& signature, int firstRow = 0,
                      int rowCount = kMaxEvents);
/// Writes the song as an ABC tune (see WriteOutputFile).
bool ExportSongToAbc(const Song& song, const TimeSignature& signature, const QString& path,
                     QString* error);

/// The tunes of an ABC file; false with `error` when it holds none.
bool ReadAbcTunes(const QString& path, std::vector<AbcTuneInfo>& tunes, QString* error);
/// Reads tune `index` (in the order ReadAbcTunes lists them) of an ABC file or text (a paste)
/// into `import`, its title made cp932 in `import.song.title`. On failure `import` is untouched
/// and `error` names the fault and its place ("line 7, column 12: unexpected ']'").
bool ImportSongFromAbc(const QString& path, AbcTune& import, QString* error, int index = 0);
bool ImportSongFromAbcText(const QByteArray& text, AbcTune& import, QString* error, int index = 0);
/// Why a text could not be read, with the place; `text` is the text read.
QString DescribeAbcError(const AbcReadResult& result, const QByteArray& text);

/// What the status bar says after an ABC import: what was left out, changed or guessed.
QStringList AbcImportRemarks(const AbcTune& import, const TimeSignature& signature);
QString DescribeAbcImport(const AbcTune& import, const TimeSignature& signature);

/// The command-line conversions; `songPath` is the input, `outPath` the file to write.
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
    MelodyChoice melody;   // the import's track (and channel); for a score, its part
    bool normalize = true; // the audio export's level
    int tune = -1;         // the ABC import's tune (X: number); -1 the first
};

/// Runs one conversion without a window. Returns the exit status (0, 1 for a failed
/// conversion, 2 for a usage error); on failure writes one line to `message`.
int RunConversion(Conversion conversion, const QString& outPath, const QString& inPath,
                  const ConversionOptions& options, QString* message);

/// The melody candidates of a MIDI file as a table for the command line (into `text`);
/// returns the exit status, with one line in `message` on failure.
int ListMidiTracks(const QString& path, QString* text, QString* message);

/// The ABC conversions of RunConversion, once the names are checked.
int RunAbcConversion(Conversion conversion, const QString& outPath, const QString& inPath,
                     const ConversionOptions& options, QString* message);

/// The tunes of an ABC file as a table for the command line, as ListMidiTracks.
int ListAbcFileTunes(const QString& path, QString* text, QString* message);
