// The file-exchange side of the main frame: the File menu's MIDI, MusicXML, ABC and audio
// commands, the files dropped on the window, and ABC text through the clipboard, over the
// conversions of exchange.h.
#pragma once

#include <QObject>
#include <QString>

#include <vector>

struct AbcTuneInfo;
class CMainFrame;
class QMimeData;
struct Song;
struct EnvSettings;

class CExchangeCommands : public QObject {
    Q_OBJECT
public:
    /// `settings` gives the time signature a MIDI export writes; it outlives the frame.
    CExchangeCommands(CMainFrame* frame, const EnvSettings& settings);
    ~CExchangeCommands() override;

    /// Replaces the song with a MIDI file's melody as one undoable step; a failure is
    /// reported in a message box and changes nothing.
    bool ImportMidiFile(const QString& path);
    /// Replaces the song with a MusicXML score's melody (the part chosen when there are
    /// several) as one undoable step; a failure is reported in a message box.
    bool ImportMusicXmlFile(const QString& path);
    /// Replaces the song with a tune of an ABC file (the one chosen when there are several)
    /// as one undoable step; a failure is reported in a message box with its line and column.
    bool ImportAbcFile(const QString& path);
    /// A Standard MIDI File (.mid, .midi), a MusicXML score (.musicxml, .mxl, .xml) or an ABC
    /// file (.abc) is imported, anything else opened as a song.
    bool OpenOrImportFile(const QString& path);
    /// The first local file of a drag that is a song, a MIDI file, a score or an ABC file;
    /// empty when none is.
    static QString DroppedFile(const QMimeData* data);

public Q_SLOTS:
    void OnFileExportMidi();
    void OnFileImportMidi();
    void OnFileExportAudio();
    void OnFileExportMusicXml();
    void OnFileImportMusicXml();
    void OnFileExportAbc();
    void OnFileImportAbc();
    /// The selection, or the whole song without one, as an ABC tune on the clipboard.
    void OnEditCopyAsAbc();
    /// A clipboard text that is an ABC tune (an X: line first) is read as one and pasted as
    /// events, one undoable step, its remarks in the status bar; anything else the view pastes.
    void OnEditPaste();

private:
    /// The song's file name with another extension, in the song's folder.
    QString SuggestedName(const QString& extension) const;
    /// Asks for a file to import with `filter`; empty when none was chosen.
    QString AskImportFile(const QString& filter);
    /// Puts an imported song in as one undoable step with `message` in the status bar, or
    /// reports why `path` could not be read; answers `imported`.
    bool FinishImport(bool imported, const QString& path, const QString& error, const Song& song,
                      const QString& message);
    /// Says in the status bar that an import was cancelled; answers false.
    bool ReportCancelled();
    /// The tune to read of several, from the tune choice; false when the user cancels.
    bool ChooseAbcTune(const std::vector<AbcTuneInfo>& tunes, int& index);

    CMainFrame* m_pFrame;
    const EnvSettings& m_settings;
};
