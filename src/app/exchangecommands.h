// The file-exchange side of the main frame: the File menu's MIDI and audio commands and
// the files dropped on the window, over the conversions of exchange.h.
#pragma once

#include <QObject>
#include <QString>

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
    /// A Standard MIDI File (.mid, .midi) or a MusicXML score (.musicxml, .mxl, .xml) is
    /// imported, anything else opened as a song.
    bool OpenOrImportFile(const QString& path);
    /// The first local file of a drag that is a song, a MIDI file or a score; empty when none is.
    static QString DroppedFile(const QMimeData* data);

public Q_SLOTS:
    void OnFileExportMidi();
    void OnFileImportMidi();
    void OnFileExportAudio();
    void OnFileExportMusicXml();
    void OnFileImportMusicXml();

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

    CMainFrame* m_pFrame;
    const EnvSettings& m_settings;
};
