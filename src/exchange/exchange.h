// Music exchange at the application's level: the song written as a Standard MIDI File, a
// MusicXML score, an ABC tune or a sound file, and such files read in as a song, with the words
// for what went wrong or what an import changed; for the File menu, drops and the command line.
#pragma once

#include "formats/abc.h"
#include "formats/midifile.h"
#include "formats/musicxml.h"
#include "midi/audiorender.h"

#include <QString>
#include <QStringList>

#include <stop_token>
#include <vector>

/// The file dialogs' filters for song files and for MIDI files.
QString SongFileFilter();
QString MidiFileFilter();

/// The save dialog's filters of the audio types this build can write, WAV first.
QStringList AudioFileFilters();
/// The type a filter of AudioFileFilters stands for.
AudioFileType AudioFileTypeOfFilter(const QString& filter);

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

/// The bytes of an ABC file, refused when it is no regular file or larger than any tune book.
bool ReadAbcFile(const QString& path, QByteArray& bytes, QString* error);
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
