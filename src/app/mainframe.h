// The main window: menus, the main tool bar, the MIDI bar and the status bar around the
// score view, the file commands with the save question and the recent files, and the bar
// layout kept in the profile.
#pragma once

#include "lockkeys.h"

#include <QHash>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>

#include <array>
#include <initializer_list>

class CDisabledPrompts;
class CExchangeCommands;
class CKesDoc;
class CKesView;
struct EnvSettings;
class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    /// `settings` are the live settings (the time signature of a MIDI export); they and the
    /// document outlive the frame.
    CMainFrame(CKesDoc* document, const EnvSettings& settings, QWidget* parent = nullptr);
    ~CMainFrame() override;

    /// Puts the view in the middle and routes the view's commands to it.
    void SetView(CKesView* view);
    CKesView* GetView() const { return m_pView; }
    CKesDoc* GetDocument() const { return m_pDocument; }
    /// The action of a menu or tool-bar command, or null.
    QAction* action(int commandId) const { return m_actions.value(commandId); }
    QToolBar* toolBar() const { return m_pToolBar; }
    QToolBar* midiBar() const { return m_pMidiBar; }
    QLabel* messagePane() const { return m_pMessagePane; }
    /// The status bar's lock-key pane of a CLockKeys::Key.
    QLabel* lockPane(int key) const { return m_lockPanes.at(size_t(key)); }

    /// Asks whether to save a modified song. False when the user cancels or saving fails.
    bool SaveModified();
    bool DoSave(const QString& path);
    /// Opens a song; a failure is reported in a message box and changes nothing.
    bool OpenDocumentFile(const QString& path);
    /// A file that could not be opened or imported, in a message box; while the song of the
    /// command line opens, also in one line on standard error ("kesv: …").
    void ReportFileFailure(const QString& text);
    void SetFailuresToStandardError(bool on) { m_bFailuresToStandardError = on; }
    /// Shows the recent files in the File menu (at most four, the latest first).
    void SetRecentFiles(const QStringList& files);
    QStringList GetRecentFiles() const { return m_recentFiles; }

    /// The name of a song never saved, in titles and suggested file names.
    static QString UntitledName();
    /// Where Save As proposes to save: the song's file, else beside the file it was imported
    /// from under that file's name (tune.mid: tune.kes), else Untitled.kes.
    QString SuggestedSongPath() const;
    /// Remembers the file the song was last imported from, for SuggestedSongPath.
    void SetImportedFrom(const QString& path);

    /// Reads the bars' layout, the window's geometry and the recent files from the profile;
    /// without a saved geometry the window gets its size within the screen's available area.
    void LoadProfile();
    /// Writes the bars' layout and the geometry back (WriteProfile); a frame that never read
    /// the profile leaves it alone. False with the reason in `error`.
    bool SaveProfile(QString* error) const;

public Q_SLOTS:
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();
    /// Replaces the song with a MIDI file's melody (after the save question); a failure is
    /// reported in a message box and changes nothing.
    bool ImportMidiFile(const QString& path);
    /// A MIDI file, a MusicXML score or an ABC file is imported, anything else opened as a song.
    bool OpenOrImportFile(const QString& path);
    void UpdateTitle();
    /// Runs the view's update handlers of the MIDI commands on their actions.
    void UpdateMidiCommands();
    /// Enables cut and copy as the view's cursor and selection allow, Copy as ABC while the
    /// song has events.
    void UpdateEditCommands();
    /// Enables paste while the clipboard holds events or text.
    void UpdatePasteCommand();
    /// Shows a line in the status bar's message pane in place of the idle text; empty: idle.
    void ShowMessage(const QString& text);
    /// A failure the user must act on, in a message box that does not wait.
    void ShowFailure(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    /// A new palette, light or dark, gets the tool-bar pictures made for it.
    void changeEvent(QEvent* event) override;
    /// Song files dropped on the window open, MIDI, MusicXML and ABC files are imported.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static constexpr int kSeparator = 0; // in the id lists of menus and tool bars

    void CreateActions();
    void CreateMenus();
    QMenu* AddMenu(const QString& title, std::initializer_list<int> ids);
    void CreateToolBars();
    QToolBar* AddToolBar(const QString& title, const QString& name, std::initializer_list<int> ids);
    void CreateStatusBar();
    void UpdateCommandIcons();
    void UpdateLockPanes();
    /// The default size, within the available area of the window's screen, centred on it.
    void FitToScreen();
    void SaveGeometry() const;
    /// The file's name, or the untitled name.
    QString DocumentTitle() const;
    void AddToRecentFileList(const QString& path);

    CKesDoc* m_pDocument;
    CKesView* m_pView = nullptr;
    CExchangeCommands* m_pExchange;
    CDisabledPrompts* m_pDisabledPrompts;
    QHash<int, QAction*> m_actions;
    QAction* m_pRecentPlaceholder = nullptr;
    QList<QAction*> m_recentActions;
    QStringList m_recentFiles;
    bool m_bProfileLoaded = false;
    QToolBar* m_pToolBar = nullptr;
    QToolBar* m_pMidiBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    QMenu* m_pViewMenu = nullptr;
    CLockKeys* m_pLockKeys = nullptr;
    std::array<QLabel*, CLockKeys::KeyCount> m_lockPanes{};
    bool m_bFailuresToStandardError = false;
    QString m_strImportedFrom; // the file of the song's last import, until New
    QTimer* m_pGeometryTimer = nullptr;
    QPointer<QMessageBox> m_pFailureBox;
};
