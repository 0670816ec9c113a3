#include "mainframe.h"

#include "commandids.h"
#include "commandtable.h"
#include "disabledprompts.h"
#include "document/kesdoc.h"
#include "exchange/exchange.h"
#include "exchange/songfilemessages.h"
#include "exchangecommands.h"
#include "lockkeys.h"
#include "lockpane.h"
#include "profile.h"
#include "recentfiles.h"
#include "view/drawhelpers.h"
#include "view/kesview.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>

#include <cstdio>

CMainFrame::CMainFrame(CKesDoc* document, const EnvSettings& settings, QWidget* parent)
    : QMainWindow(parent), m_pDocument(document),
      m_pExchange(new CExchangeCommands(this, settings)),
      m_pDisabledPrompts(new CDisabledPrompts(this)) {
    setObjectName(QStringLiteral("MainFrame"));
    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    connect(m_pDocument, &CKesDoc::modifiedChanged, this, &CMainFrame::UpdateTitle);
    connect(m_pDocument, &CKesDoc::pathChanged, this, &CMainFrame::UpdateTitle);
    UpdateTitle();
    setAcceptDrops(true);
    // Geometry is written soon after each move or resize, so a crash keeps it too.
    m_pGeometryTimer = new QTimer(this);
    m_pGeometryTimer->setSingleShot(true);
    m_pGeometryTimer->setInterval(500);
    connect(m_pGeometryTimer, &QTimer::timeout, this, &CMainFrame::SaveGeometry);
    FitToScreen();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateActions() {
    for (const CommandEntry& entry : FrameCommands()) {
        auto* action = new QAction(tr(entry.text), this);
        if (entry.prompt)
            action->setStatusTip(tr(entry.prompt));
        if (entry.toolTip)
            action->setToolTip(tr(entry.toolTip));
        QList<QKeySequence> shortcuts;
        for (QKeyCombination keys : entry.keys) {
            if (keys != QKeyCombination())
                shortcuts.append(QKeySequence(keys));
        }
        action->setShortcuts(shortcuts);
        action->setData(entry.id);
        m_actions.insert(entry.id, action);
    }
    for (int i = 0; i < kRecentFileCount; ++i) {
        auto* recent = new QAction(this);
        recent->setStatusTip(tr("指定のﾌｧｲﾙを開く"));
        recent->setData(cmd::FileMruFirst + i);
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this, [this, i] {
            if (SaveModified())
                OpenDocumentFile(m_recentFiles.value(i));
        });
        m_actions.insert(cmd::FileMruFirst + i, recent);
        m_recentActions.append(recent);
    }
    UpdateCommandIcons();
    m_actions[cmd::AppExit]->setMenuRole(QAction::NoRole);
    m_actions[cmd::EditRedo]->setToolTip(tr("やり直し"));
    m_actions[cmd::MidiRecord]->setCheckable(true);
    m_actions[cmd::ViewStatusBar]->setCheckable(true);
    m_actions[cmd::ViewStatusBar]->setChecked(true);
    m_actions[cmd::PianoInput]->setCheckable(true);
    m_actions[cmd::MidiAudition]->setCheckable(true);
    m_actions[cmd::MidiAudition]->setChecked(true);

    // Commands whose handlers are connected later (the view's, the application's) start
    // disabled; the view's update handlers and the undo stack decide from then on.
    for (int id : {cmd::EditUndo, cmd::EditRedo, cmd::EditCut, cmd::EditCopy, cmd::EditPaste,
                   cmd::EditCopyAsAbc, cmd::MidiPlay, cmd::MidiPlayFromCursor, cmd::MidiStop,
                   cmd::MidiRecord, cmd::PianoInput, cmd::Environment})
        m_actions[id]->setEnabled(false);
    for (int id : {cmd::EditUndo, cmd::EditRedo, cmd::EditCut, cmd::EditCopy, cmd::EditPaste,
                   cmd::EditSelectAll, cmd::EditExtendUp, cmd::EditExtendDown, cmd::EditInsertEvent,
                   cmd::EditTempo, cmd::EditTitle})
        m_actions[id]->setShortcutContext(Qt::WindowShortcut);

    const auto on = [this](int id, auto slot) {
        connect(m_actions[id], &QAction::triggered, this, slot);
    };
    on(cmd::FileNew, &CMainFrame::OnFileNew);
    on(cmd::FileOpen, &CMainFrame::OnFileOpen);
    on(cmd::FileSave, &CMainFrame::OnFileSave);
    on(cmd::FileSaveAs, &CMainFrame::OnFileSaveAs);
    on(cmd::AppExit, &CMainFrame::close);
    connect(m_actions[cmd::FileExportMidi], &QAction::triggered, m_pExchange,
            &CExchangeCommands::OnFileExportMidi);
    connect(m_actions[cmd::FileImportMidi], &QAction::triggered, m_pExchange,
            &CExchangeCommands::OnFileImportMidi);
    connect(m_actions[cmd::FileExportMusicXml], &QAction::triggered, m_pExchange,
            &CExchangeCommands::OnFileExportMusicXml);
    connect(m_actions[cmd::FileImportMusicXml], &QAction::triggered, m_pExchange,
            &CExchangeCommands::OnFileImportMusicXml);
    connect(m_actions[cmd::FileExportAudio], &QAction::triggered, m_pExchange,
            &CExchangeCommands::OnFileExportAudio);
    connect(m_actions[cmd::FileExportAbc], &QAction::triggered, m_pExchange,
            &CExchangeCommands::OnFileExportAbc);
    connect(m_actions[cmd::FileImportAbc], &QAction::triggered, m_pExchange,
            &CExchangeCommands::OnFileImportAbc);
    connect(m_actions[cmd::EditCopyAsAbc], &QAction::triggered, m_pExchange,
            &CExchangeCommands::OnEditCopyAsAbc);
    connect(m_actions[cmd::ViewStatusBar], &QAction::toggled, this,
            [this](bool visible) { statusBar()->setVisible(visible); });

    QUndoStack* stack = m_pDocument->GetUndoStack();
    connect(stack, &QUndoStack::canUndoChanged, m_actions[cmd::EditUndo], &QAction::setEnabled);
    connect(stack, &QUndoStack::canRedoChanged, m_actions[cmd::EditRedo], &QAction::setEnabled);
    // The items say what they would undo or redo: "元に戻す: 削除(&U)".
    connect(stack, &QUndoStack::undoTextChanged, this, [this](const QString& step) {
        m_actions[cmd::EditUndo]->setText(step.isEmpty() ? tr("元に戻す(&U)")
                                                         : tr("元に戻す: %1(&U)").arg(step));
    });
    connect(stack, &QUndoStack::redoTextChanged, this, [this](const QString& step) {
        m_actions[cmd::EditRedo]->setText(step.isEmpty() ? tr("やり直し(&R)")
                                                         : tr("やり直し: %1(&R)").arg(step));
    });
    // The clipboard is read only when it changes: asking another program costs a round trip.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &CMainFrame::UpdatePasteCommand);
}

QMenu* CMainFrame::AddMenu(const QString& title, std::initializer_list<int> ids) {
    QMenu* menu = menuBar()->addMenu(title);
    for (int id : ids) {
        if (id == kSeparator)
            menu->addSeparator();
        else
            menu->addAction(m_actions[id]);
    }
    m_pDisabledPrompts->Watch(menu);
    return menu;
}

void CMainFrame::CreateMenus() {
    QMenu* file =
        AddMenu(tr("ﾌｧｲﾙ(&F)"),
                {cmd::FileNew, cmd::FileOpen, cmd::FileSave, cmd::FileSaveAs, cmd::FileExportMidi,
                 cmd::FileImportMidi, cmd::FileExportMusicXml, cmd::FileImportMusicXml,
                 cmd::FileExportAbc, cmd::FileImportAbc, cmd::FileExportAudio, kSeparator,
                 cmd::FilePrint, cmd::FilePrintPreview, cmd::FilePrintSetup, kSeparator});
    // Other windows may have added to the list since.
    connect(file, &QMenu::aboutToShow, this, [this] { SetRecentFiles(LoadRecentFiles()); });
    m_pRecentPlaceholder = file->addAction(tr("最近使ったﾌｧｲﾙ"));
    m_pRecentPlaceholder->setEnabled(false);
    file->addActions(m_recentActions);
    file->addSeparator();
    file->addAction(m_actions[cmd::AppExit]);

    // The view handles the Edit and MIDI commands; their menus ask it again as they open.
    QMenu* edit = AddMenu(tr("編集(&E)"),
                          {cmd::EditUndo, cmd::EditRedo, kSeparator, cmd::EditCut, cmd::EditCopy,
                           cmd::EditCopyAsAbc, cmd::EditPaste, cmd::EditInsertEvent, kSeparator,
                           cmd::EditSelectAll, cmd::EditExtendUp, cmd::EditExtendDown, kSeparator,
                           cmd::EditTempo, cmd::EditTitle, cmd::EditSongMusic});
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdateEditCommands);
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdatePasteCommand);
    QMenu* play = AddMenu(tr("演奏(&P)"), {cmd::MidiPlay, cmd::MidiPlayFromCursor, cmd::MidiStop,
                                           cmd::MidiRecord, kSeparator, cmd::MidiAudition});
    connect(play, &QMenu::aboutToShow, this, &CMainFrame::UpdateMidiCommands);

    // The tool bars' own toggles join the View menu once the bars exist.
    m_pViewMenu = AddMenu(tr("表示(&V)"), {});
    m_pViewMenu->setObjectName(QStringLiteral("ViewMenu"));
    AddMenu(tr("ﾍﾙﾌﾟ(&H)"), {cmd::AppAbout});
}

QToolBar* CMainFrame::AddToolBar(const QString& title, const QString& name,
                                 std::initializer_list<int> ids) {
    auto* bar = new QToolBar(title, this);
    bar->setObjectName(name);
    bar->setIconSize(QSize(16, 15));
    for (int id : ids) {
        if (id == kSeparator)
            bar->addSeparator();
        else
            bar->addAction(m_actions[id]);
    }
    addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

void CMainFrame::CreateToolBars() {
    m_pToolBar = AddToolBar(tr("ﾂｰﾙ ﾊﾞｰ"), QStringLiteral("ToolBar"),
                            {cmd::FileNew, cmd::FileOpen, cmd::FileSave, kSeparator, cmd::EditCut,
                             cmd::EditCopy, cmd::EditPaste, kSeparator, cmd::FilePrint, kSeparator,
                             cmd::AppAbout});
    m_pMidiBar = AddToolBar(tr("Midi接続ﾊﾞｰ"), QStringLiteral("MidiBar"),
                            {cmd::MidiPlay, cmd::MidiStop, cmd::MidiRecord});

    QAction* toggle = m_pToolBar->toggleViewAction();
    toggle->setText(tr("ﾂｰﾙ ﾊﾞｰ(&T)"));
    toggle->setStatusTip(tr("ﾂｰﾙ ﾊﾞｰの 表示/非表示"));
    m_actions.insert(cmd::ViewToolBar, toggle);
    m_pViewMenu->addAction(toggle);
    m_pViewMenu->addAction(m_actions[cmd::ViewStatusBar]);
    toggle = m_pMidiBar->toggleViewAction();
    toggle->setText(tr("Midi接続ﾊﾞｰ(&M)"));
    toggle->setStatusTip(tr("Midi接続ﾊﾞｰの 表示/非表示"));
    m_actions.insert(cmd::ViewMidiBar, toggle);
    m_pViewMenu->addAction(toggle);
    m_pViewMenu->addSeparator();
    m_pViewMenu->addAction(m_actions[cmd::PianoInput]);
    m_pViewMenu->addAction(m_actions[cmd::Environment]);
}

void CMainFrame::UpdateCommandIcons() {
    const bool dark = IsDarkPalette(palette());
    for (const CommandEntry& entry : FrameCommands()) {
        if (entry.icon)
            m_actions[entry.id]->setIcon(CommandIcon(entry, dark));
    }
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        UpdateCommandIcons();
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    m_pMessagePane = new QLabel(tr("ﾚﾃﾞｨ"), bar);
    bar->addWidget(m_pMessagePane, 1);
    // Lit while the lock is on; dimmed while it is off or where no lock state can be had.
    m_pLockKeys = new CLockKeys(this);
    const QString texts[CLockKeys::KeyCount] = {tr("ｶﾅ"), QStringLiteral("CAP"),
                                                QStringLiteral("NUM"), QStringLiteral("SCRL")};
    for (int i = 0; i < CLockKeys::KeyCount; ++i) {
        auto* indicator = new CLockPane(texts[i], bar);
        bar->addPermanentWidget(indicator);
        m_lockPanes[size_t(i)] = indicator;
    }
    connect(m_pLockKeys, &CLockKeys::changed, this, &CMainFrame::UpdateLockPanes);
    UpdateLockPanes();
}

void CMainFrame::UpdateLockPanes() {
    for (int i = 0; i < CLockKeys::KeyCount; ++i)
        m_lockPanes[size_t(i)]->setEnabled(m_pLockKeys->IsOn(CLockKeys::Key(i)));
}

void CMainFrame::SetView(CKesView* view) {
    m_pView = view;
    setCentralWidget(view);
    connect(m_actions[cmd::FilePrint], &QAction::triggered, view, &CKesView::OnFilePrint);
    connect(m_actions[cmd::FilePrintPreview], &QAction::triggered, view,
            &CKesView::OnFilePrintPreview);
    connect(m_actions[cmd::MidiPlay], &QAction::triggered, view, &CKesView::OnMidiPlay);
    connect(m_actions[cmd::MidiPlayFromCursor], &QAction::triggered, view,
            &CKesView::OnMidiPlayFromCursor);
    view->SetAuditionEnabled(m_actions[cmd::MidiAudition]->isChecked());
    connect(m_actions[cmd::MidiAudition], &QAction::toggled, view, &CKesView::SetAuditionEnabled);
    connect(m_actions[cmd::MidiStop], &QAction::triggered, view, &CKesView::OnMidiStop);
    connect(m_actions[cmd::MidiRecord], &QAction::triggered, view, &CKesView::OnMidiRecord);
    connect(view, &CKesView::midiCommandsChanged, this, &CMainFrame::UpdateMidiCommands);
    connect(view, &CKesView::statusMessage, this, &CMainFrame::ShowMessage);
    connect(view, &CKesView::failureMessage, this, &CMainFrame::ShowFailure);
    connect(m_actions[cmd::EditUndo], &QAction::triggered, view, &CKesView::OnEditUndo);
    connect(m_actions[cmd::EditRedo], &QAction::triggered, view, &CKesView::OnEditRedo);
    connect(m_actions[cmd::EditCut], &QAction::triggered, view, &CKesView::OnEditCut);
    connect(m_actions[cmd::EditCopy], &QAction::triggered, view, &CKesView::OnEditCopy);
    // A tune in ABC is read as one before the view pastes what it holds.
    connect(m_actions[cmd::EditPaste], &QAction::triggered, m_pExchange,
            &CExchangeCommands::OnEditPaste);
    connect(m_actions[cmd::EditSelectAll], &QAction::triggered, view, &CKesView::OnEditSelectAll);
    connect(m_actions[cmd::EditExtendUp], &QAction::triggered, view, &CKesView::OnEditExtendUp);
    connect(m_actions[cmd::EditExtendDown], &QAction::triggered, view, &CKesView::OnEditExtendDown);
    connect(m_actions[cmd::EditInsertEvent], &QAction::triggered, view,
            &CKesView::OnEditInsertEvent);
    connect(m_actions[cmd::EditTempo], &QAction::triggered, view, &CKesView::OnEditTempo);
    connect(m_actions[cmd::EditTitle], &QAction::triggered, view, &CKesView::OnEditTitle);
    connect(m_actions[cmd::EditSongMusic], &QAction::triggered, view, &CKesView::OnEditSongMusic);
    connect(view, &CKesView::editCommandsChanged, this, &CMainFrame::UpdateEditCommands);
    UpdateMidiCommands();
    UpdateEditCommands();
    UpdatePasteCommand();
    view->setFocus();
}

void CMainFrame::UpdateMidiCommands() {
    if (!m_pView)
        return;
    m_pView->OnUpdateMidiPlay(m_actions[cmd::MidiPlay]);
    m_pView->OnUpdateMidiPlay(m_actions[cmd::MidiPlayFromCursor]);
    m_pView->OnUpdateMidiStop(m_actions[cmd::MidiStop]);
    m_pView->OnUpdateMidiRecord(m_actions[cmd::MidiRecord]);
}

void CMainFrame::UpdateEditCommands() {
    if (!m_pView)
        return;
    const bool cutOrCopy = m_pView->CanCutOrCopy();
    m_actions[cmd::EditCut]->setEnabled(cutOrCopy);
    m_actions[cmd::EditCopy]->setEnabled(cutOrCopy);
    m_actions[cmd::EditCopyAsAbc]->setEnabled(m_pDocument->GetSong().count > 0);
}

void CMainFrame::UpdatePasteCommand() {
    m_actions[cmd::EditPaste]->setEnabled(m_pView && CKesView::CanPaste());
}

void CMainFrame::ShowMessage(const QString& text) {
    if (!isVisible() && !text.isEmpty()) {
        // Showing the window would show the idle pane again under the message (a file
        // imported from the command line): show the message once the window is up.
        QMetaObject::invokeMethod(
            this, [this, text] { statusBar()->showMessage(text); }, Qt::QueuedConnection);
        return;
    }
    if (text.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(text);
}

void CMainFrame::ShowFailure(const QString& text) {
    // Not waited for, so a held key does not stack boxes: a second failure reuses the box.
    if (!m_pFailureBox) {
        m_pFailureBox = new QMessageBox(QMessageBox::Warning, QStringLiteral("KesV"), text,
                                        QMessageBox::Ok, this);
        m_pFailureBox->setObjectName(QStringLiteral("FailureBox"));
        m_pFailureBox->setAttribute(Qt::WA_DeleteOnClose);
        m_pFailureBox->setWindowModality(Qt::WindowModal);
    }
    m_pFailureBox->setText(text);
    statusBar()->clearMessage();
    m_pFailureBox->open();
}

QString CMainFrame::DocumentTitle() const {
    const QString title = m_pDocument->GetTitle();
    return title.isEmpty() ? UntitledName() : title;
}

QString CMainFrame::UntitledName() {
    return tr("無題");
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(tr("%1[*] - KesV").arg(DocumentTitle()));
    setWindowModified(m_pDocument->IsModified());
}

void CMainFrame::SetRecentFiles(const QStringList& files) {
    m_recentFiles = files.mid(0, kRecentFileCount);
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* action = m_recentActions[i];
        if (i < m_recentFiles.size()) {
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(
                QDir::toNativeSeparators(m_recentFiles[i])));
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
    m_pRecentPlaceholder->setVisible(m_recentFiles.isEmpty());
}

bool CMainFrame::DoSave(const QString& path) {
    SongFileError error;
    if (!m_pDocument->OnSaveDocument(path, &error)) {
        QMessageBox::warning(
            this, QStringLiteral("KesV"),
            tr("%1 に保存できませんでした。\n%2")
                .arg(QDir::toNativeSeparators(path), DescribeSongFileError(error)));
        return false;
    }
    AddToRecentFileList(m_pDocument->GetPathName());
    return true;
}

bool CMainFrame::OpenDocumentFile(const QString& path) {
    SongFileError error;
    if (!m_pDocument->OnOpenDocument(path, &error)) {
        ReportFileFailure(tr("%1 を開けませんでした。\n%2")
                              .arg(QDir::toNativeSeparators(path), DescribeSongFileError(error)));
        return false;
    }
    AddToRecentFileList(m_pDocument->GetPathName());
    return true;
}

void CMainFrame::ReportFileFailure(const QString& text) {
    if (m_bFailuresToStandardError) {
        QString line = text;
        std::fprintf(stderr, "kesv: %s\n",
                     qPrintable(line.replace(QLatin1Char('\n'), QLatin1Char(' '))));
    }
    QMessageBox::warning(this, QStringLiteral("KesV"), text);
}

void CMainFrame::OnFileNew() {
    if (SaveModified()) {
        m_pDocument->OnNewDocument();
        m_strImportedFrom.clear();
    }
}

void CMainFrame::SetImportedFrom(const QString& path) {
    m_strImportedFrom = path;
}

QString CMainFrame::SuggestedSongPath() const {
    if (!m_pDocument->GetPathName().isEmpty())
        return m_pDocument->GetPathName();
    // A song imported from tune.mid is offered as tune.kes beside it.
    if (!m_strImportedFrom.isEmpty()) {
        const QFileInfo imported(m_strImportedFrom);
        return imported.absoluteDir().filePath(imported.completeBaseName() +
                                               QStringLiteral(".kes"));
    }
    return UntitledName() + QStringLiteral(".kes");
}

void CMainFrame::OnFileOpen() {
    if (!SaveModified())
        return;
    QFileDialog dialog(this, QString(), QFileInfo(m_pDocument->GetPathName()).path(),
                       SongFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("kes"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        OpenDocumentFile(dialog.selectedFiles().constFirst());
}

void CMainFrame::AddToRecentFileList(const QString& path) {
    SetRecentFiles(AddRecentFile(path));
}

void CMainFrame::OnFileSave() {
    if (m_pDocument->GetPathName().isEmpty()) {
        OnFileSaveAs();
        return;
    }
    // Another window or program wrote the file since: ask before its work is lost.
    if (m_pDocument->HasFileChangedOnDisk()) {
        QMessageBox question(
            QMessageBox::Warning, QStringLiteral("KesV"),
            tr("%1 は、開いた後（または前回の保存の後）にほかのウィンドウかプログラムで"
               "変更されています。上書きしますか?")
                .arg(QDir::toNativeSeparators(m_pDocument->GetPathName())),
            QMessageBox::Save | QMessageBox::Cancel, this);
        question.button(QMessageBox::Save)->setText(tr("上書き保存"));
        question.setDefaultButton(QMessageBox::Cancel);
        if (question.exec() != QMessageBox::Save)
            return;
    }
    DoSave(m_pDocument->GetPathName());
}

void CMainFrame::OnFileSaveAs() {
    QFileDialog dialog(this, QString(), SuggestedSongPath(), SongFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("kes"));
    if (m_pDocument->GetPathName().isEmpty())
        dialog.selectFile(SuggestedSongPath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    DoSave(dialog.selectedFiles().constFirst());
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!CExchangeCommands::DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString path = CExchangeCommands::DroppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The save question is a modal dialog: ask once the drag has ended.
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            if (SaveModified())
                OpenOrImportFile(path);
        },
        Qt::QueuedConnection);
}

bool CMainFrame::ImportMidiFile(const QString& path) {
    return m_pExchange->ImportMidiFile(path);
}

bool CMainFrame::OpenOrImportFile(const QString& path) {
    return m_pExchange->OpenOrImportFile(path);
}

bool CMainFrame::SaveModified() {
    if (!m_pDocument->IsModified())
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, QStringLiteral("KesV"), tr("%1 への変更を保存しますか?").arg(DocumentTitle()),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Discard)
        return true;
    OnFileSave();
    return !m_pDocument->IsModified();
}

void CMainFrame::FitToScreen() {
    const QRect available = screen()->availableGeometry();
    // Room for the window's frame, which is not known before it is shown.
    resize(QSize(800, 560).boundedTo(available.size() * 0.9));
    move(available.center() - rect().center());
}

void CMainFrame::SaveGeometry() const {
    if (!m_bProfileLoaded)
        return;
    // Kept as it changes, so a crash keeps it too; a failure is told when the window closes.
    QString error;
    WriteProfile(
        [this](QSettings& settings) {
            settings.setValue(QStringLiteral("MainFrame/Geometry"), saveGeometry());
        },
        &error);
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible())
        m_pGeometryTimer->start();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isVisible())
        m_pGeometryTimer->start();
}

void CMainFrame::LoadProfile() {
    QSettings settings;
    // Qt brings a window saved on a screen that is gone, or larger than this one, back onto it.
    const QByteArray geometry = settings.value(QStringLiteral("MainFrame/Geometry")).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        FitToScreen();
    settings.beginGroup(QStringLiteral("MainBar"));
    const QByteArray state = settings.value(QStringLiteral("State")).toByteArray();
    if (!state.isEmpty())
        restoreState(state);
    const bool status = settings.value(QStringLiteral("StatusBar"), true).toBool();
    m_actions[cmd::ViewStatusBar]->setChecked(status);
    statusBar()->setVisible(status);
    m_actions[cmd::MidiAudition]->setChecked(
        settings.value(QStringLiteral("Audition"), true).toBool());
    settings.endGroup();
    SetRecentFiles(LoadRecentFiles());
    m_bProfileLoaded = true;
}

bool CMainFrame::SaveProfile(QString* error) const {
    if (!m_bProfileLoaded)
        return true;
    // The recent files are not written here: each change wrote them at once, merged with
    // what other windows wrote, and this window's list may be older than the profile's.
    return WriteProfile(
        [this](QSettings& settings) {
            settings.setValue(QStringLiteral("MainFrame/Geometry"), saveGeometry());
            settings.beginGroup(QStringLiteral("MainBar"));
            settings.setValue(QStringLiteral("State"), saveState());
            settings.setValue(QStringLiteral("StatusBar"), !statusBar()->isHidden());
            settings.setValue(QStringLiteral("Audition"),
                              m_actions[cmd::MidiAudition]->isChecked());
            settings.endGroup();
        },
        error);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!SaveModified()) {
        event->ignore();
        return;
    }
    if (QString error; !SaveProfile(&error))
        QMessageBox::warning(this, QStringLiteral("KesV"),
                             tr("ウィンドウの配置と最近使ったファイルを保存できません（%1）。\n%2")
                                 .arg(QDir::toNativeSeparators(ProfilePath()), error));
    event->accept();
}
