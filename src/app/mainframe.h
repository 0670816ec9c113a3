// The main window: menus, the main tool bar, the MIDI bar and the status bar around the
// score view, the file commands with the save question and the recent files, and the bar
// layout kept in the profile.
#pragma once

#include "lockkeys.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>

#include <array>

class CKesDoc;
class CKesView;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CKesDoc* document, QWidget* parent = nullptr);
    ~CMainFrame() override;

    /// Puts the view in the middle and routes the view's commands to it.
    void SetView(CKesView* view);
    CKesView* GetView() const { return m_pView; }
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
    /// Shows the recent files in the File menu (at most four, the latest first).
    void SetRecentFiles(const QStringList& files);
    QStringList GetRecentFiles() const { return m_recentFiles; }

    void SaveBarState() const;
    void LoadBarState();

public Q_SLOTS:
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();
    void OnFileExportMidi();
    void OnFileImportMidi();
    void OnFileExportAudio();
    /// Replaces the song with a MIDI file's melody (after the save question); a failure is
    /// reported in a message box and changes nothing.
    bool ImportMidiFile(const QString& path);
    /// A Standard MIDI File (.mid, .midi) is imported, anything else opened as a song.
    bool OpenOrImportFile(const QString& path);
    void UpdateTitle();
    /// Runs the view's update handlers of the MIDI commands on their actions.
    void UpdateMidiCommands();
    /// Enables cut and copy as the view's cursor and selection allow.
    void UpdateEditCommands();
    /// Enables paste while the clipboard holds events or text.
    void UpdatePasteCommand();
    /// Shows a line in the status bar's message pane in place of the idle text; empty: idle.
    void ShowMessage(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Song files dropped on the window open, MIDI files are imported.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* AddAction(int id, const QString& text, const QString& prompt,
                       const QString& icon = QString());
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void SilenceButtons(QToolBar* bar);
    void UpdateLockPanes();
    void AddToRecentFileList(const QString& path);
    void ShowDisabledPrompt(QMenu* menu, QEvent* event);

    CKesDoc* m_pDocument;
    CKesView* m_pView = nullptr;
    QHash<int, QAction*> m_actions;
    QAction* m_pRecentPlaceholder = nullptr;
    QList<QAction*> m_recentActions;
    QStringList m_recentFiles;
    QToolBar* m_pToolBar = nullptr;
    QToolBar* m_pMidiBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    QAction* m_pDisabledHover = nullptr; // the disabled menu item whose prompt is shown
    CLockKeys* m_pLockKeys = nullptr;
    std::array<QLabel*, CLockKeys::KeyCount> m_lockPanes{};
};
