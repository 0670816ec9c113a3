// The application object: it owns the live settings, the MIDI connection and the document,
// builds the main frame and the view, and runs the commands that reach beyond the window
// (printer setup, about, the settings sheet, the piano method). The file commands are the
// frame's.
#pragma once

#include "midi/midiconnection.h"
#include "settings/envsettings.h"

#include <QApplication>
#include <QIcon>
#include <QStringList>

#include <filesystem>
#include <memory>

class CAutoBackup;
class CKesDoc;
class CKesView;
class CMainFrame;

class CKesApp : public QApplication {
    Q_OBJECT
public:
    /// Loads the settings before anything else.
    CKesApp(int& argc, char** argv);
    ~CKesApp() override;

    /// Sets the profile and the interface language, creates the document, frame and view and
    /// opens the song named on the command line. False when that song cannot be opened (the
    /// user has been told).
    /// Once the event loop runs, unsaved work of an earlier run is offered back.
    bool InitInstance(const QStringList& arguments);

    EnvSettings& GetSettings() { return m_settings; }
    /// The settings of a start: the file's, or for a first start (no file yet) the defaults
    /// with the built-in synthesizer as the output device.
    static EnvSettings LoadStartSettings(const std::filesystem::path& path);
    /// The window icon, with a picture for each size the desktop and the screen's pixel
    /// density may ask for.
    static QIcon ProgramIcon();
    CMidiConnection& GetMidiConnection() { return m_connection; }
    const std::filesystem::path& GetSettingsPath() const { return m_strSettingsPath; }
    CKesDoc* GetDocument() const { return m_pDocument; }
    CMainFrame* GetMainFrame() const { return m_pMainFrame; }
    CKesView* GetView() const { return m_pView; }
    /// The automatic backup of the window's song (null before InitInstance).
    CAutoBackup* GetAutoBackup() const { return m_pAutoBackup.get(); }

public Q_SLOTS:
    void OnFilePrintSetup();
    void OnAppAbout();
    /// Runs the settings sheet; on OK the new settings are saved and in force at once.
    void OnEnvironment();
    /// 鍵盤入力: the piano method on or off, saved at once as the settings command saves.
    void OnPianoInput(bool on);

private:
    std::filesystem::path m_strSettingsPath;
    EnvSettings m_settings;
    CMidiConnection m_connection; // closed until the view opens it
    CKesDoc* m_pDocument = nullptr;
    CMainFrame* m_pMainFrame = nullptr;
    CKesView* m_pView = nullptr;
    std::unique_ptr<CAutoBackup> m_pAutoBackup; // goes before the document it watches
};
