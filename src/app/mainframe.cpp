#include "mainframe.h"

#include "commandids.h"
#include "document/kesdoc.h"
#include "exchange.h"
#include "kesapp.h"
#include "lockkeys.h"
#include "view/kesview.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
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
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>

CMainFrame::CMainFrame(CKesDoc* document, QWidget* parent)
    : QMainWindow(parent), m_pDocument(document) {
    setObjectName(QStringLiteral("MainFrame"));
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    connect(m_pDocument, &CKesDoc::modifiedChanged, this, &CMainFrame::UpdateTitle);
    connect(m_pDocument, &CKesDoc::pathChanged, this, &CMainFrame::UpdateTitle);
    UpdateTitle();
    setAcceptDrops(true);
    resize(800, 560);
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddAction(int id, const QString& text, const QString& prompt,
                               const QString& icon) {
    auto* action = new QAction(text, this);
    if (!prompt.isEmpty())
        action->setStatusTip(prompt);
    if (!icon.isEmpty())
        action->setIcon(QIcon(icon));
    action->setData(id);
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    QAction* a = AddAction(cmd::FileNew, QStringLiteral("新規作成(&N)"),
                           QStringLiteral("新規にﾌｧｲﾙを作成"), QStringLiteral(":/new.png"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(a, &QAction::triggered, this, &CMainFrame::OnFileNew);
    file->addAction(a);
    a = AddAction(cmd::FileOpen, QStringLiteral("開く(&O)..."), QStringLiteral("既存のﾌｧｲﾙを開く"),
                  QStringLiteral(":/open.png"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(a, &QAction::triggered, this, &CMainFrame::OnFileOpen);
    file->addAction(a);
    a = AddAction(cmd::FileSave, QStringLiteral("上書き保存(&S)"),
                  QStringLiteral("作業中のﾌｧｲﾙを上書きして保存"), QStringLiteral(":/save.png"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(a, &QAction::triggered, this, &CMainFrame::OnFileSave);
    file->addAction(a);
    a = AddAction(cmd::FileSaveAs, QStringLiteral("名前を付けて保存(&A)..."),
                  QStringLiteral("作業中のﾌｧｲﾙを新しい名前で保存"));
    connect(a, &QAction::triggered, this, &CMainFrame::OnFileSaveAs);
    file->addAction(a);
    a = AddAction(cmd::FileExportMidi, QStringLiteral("MIDI ファイルへ書き出し(&M)..."),
                  QStringLiteral("曲を Standard MIDI File に書き出し"));
    connect(a, &QAction::triggered, this, &CMainFrame::OnFileExportMidi);
    file->addAction(a);
    a = AddAction(cmd::FileImportMidi, QStringLiteral("MIDI ファイルから読み込み(&I)..."),
                  QStringLiteral("Standard MIDI File の旋律を新しい曲として読み込み"));
    connect(a, &QAction::triggered, this, &CMainFrame::OnFileImportMidi);
    file->addAction(a);
    a = AddAction(cmd::FileExportAudio, QStringLiteral("オーディオファイルへ書き出し(&W)..."),
                  QStringLiteral("曲を内蔵シンセサイザの音でオーディオファイルに書き出し"));
    connect(a, &QAction::triggered, this, &CMainFrame::OnFileExportAudio);
    file->addAction(a);
    file->addSeparator();
    a = AddAction(cmd::FilePrint, QStringLiteral("印刷(&P)..."),
                  QStringLiteral("作業中のﾌｧｲﾙを印刷"), QStringLiteral(":/print.png"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    file->addAction(a);
    file->addAction(AddAction(cmd::FilePrintPreview, QStringLiteral("印刷ﾌﾟﾚﾋﾞｭｰ(&V)"),
                              QStringLiteral("印刷ｲﾒｰｼﾞを表示")));
    file->addAction(AddAction(cmd::FilePrintSetup, QStringLiteral("ﾌﾟﾘﾝﾀの設定(&R)..."),
                              QStringLiteral("ﾌﾟﾘﾝﾀ/印刷ｵﾌﾟｼｮﾝの変更")));
    file->addSeparator();
    m_pRecentPlaceholder = file->addAction(QStringLiteral("最近使ったﾌｧｲﾙ"));
    m_pRecentPlaceholder->setEnabled(false);
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* recent =
            AddAction(cmd::FileMruFirst + i, QString(), QStringLiteral("指定のﾌｧｲﾙを開く"));
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this, [this, i] {
            if (SaveModified())
                OpenDocumentFile(m_recentFiles.value(i));
        });
        file->addAction(recent);
        m_recentActions.append(recent);
    }
    file->addSeparator();
    a = AddAction(cmd::AppExit, QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"),
                  QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示"));
    a->setMenuRole(QAction::NoRole);
    connect(a, &QAction::triggered, this, &CMainFrame::close);
    file->addAction(a);

    // The view handles the Edit commands; the undo stack and the view's state enable them.
    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    a = AddAction(cmd::EditUndo, QStringLiteral("元に戻す(&U)"),
                  QStringLiteral("直前に行った動作を元に戻す"));
    a->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    edit->addAction(a);
    a = AddAction(cmd::EditRedo, QStringLiteral("やり直し(&R)"),
                  QStringLiteral("元に戻した操作をやり直す"));
    a->setToolTip(QStringLiteral("やり直し"));
    a->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addAction(a);
    edit->addSeparator();
    a = AddAction(cmd::EditCut, QStringLiteral("切り取り(&T)"),
                  QStringLiteral("選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存"),
                  QStringLiteral(":/cut.png"));
    a->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    edit->addAction(a);
    a = AddAction(cmd::EditCopy, QStringLiteral("ｺﾋﾟｰ(&C)"),
                  QStringLiteral("選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存"),
                  QStringLiteral(":/copy.png"));
    a->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    edit->addAction(a);
    a = AddAction(cmd::EditPaste, QStringLiteral("貼り付け(&P)"),
                  QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け"), QStringLiteral(":/paste.png"));
    a->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    edit->addAction(a);
    for (int id : {cmd::EditUndo, cmd::EditRedo, cmd::EditCut, cmd::EditCopy, cmd::EditPaste}) {
        m_actions[id]->setEnabled(false);
        m_actions[id]->setShortcutContext(Qt::WindowShortcut);
    }
    QUndoStack* stack = m_pDocument->GetUndoStack();
    connect(stack, &QUndoStack::canUndoChanged, m_actions[cmd::EditUndo], &QAction::setEnabled);
    connect(stack, &QUndoStack::canRedoChanged, m_actions[cmd::EditRedo], &QAction::setEnabled);
    // The clipboard is read only when it changes: asking another program costs a round trip.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &CMainFrame::UpdatePasteCommand);
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdateEditCommands);
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdatePasteCommand);

    QMenu* play = menuBar()->addMenu(QStringLiteral("演奏(&P)"));
    play->addAction(AddAction(cmd::MidiPlay, QStringLiteral("MIDI演奏"), QString(),
                              QStringLiteral(":/play.png")));
    play->addAction(AddAction(cmd::MidiStop, QStringLiteral("MIDI中断"), QString(),
                              QStringLiteral(":/stop.png")));
    QAction* record = AddAction(cmd::MidiRecord, QStringLiteral("MIDI録音"), QString(),
                                QStringLiteral(":/record.png"));
    record->setCheckable(true);
    play->addAction(record);
    // The view handles the MIDI commands; without one nothing does. The view's update
    // handlers decide the rest, and the menu asks them again each time it opens.
    for (int id : {cmd::MidiPlay, cmd::MidiStop, cmd::MidiRecord})
        m_actions[id]->setEnabled(false);
    connect(play, &QMenu::aboutToShow, this, &CMainFrame::UpdateMidiCommands);

    QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    view->setObjectName(QStringLiteral("ViewMenu"));
    QMenu* help = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    help->addAction(AddAction(cmd::AppAbout, QStringLiteral("KesV のﾊﾞｰｼﾞｮﾝ情報(&A)..."),
                              QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"),
                              QStringLiteral(":/about.png")));
    for (QMenu* menu : {file, edit, play, view, help})
        menu->installEventFilter(this);
}

void CMainFrame::CreateToolBars() {
    m_pToolBar = new QToolBar(QStringLiteral("ﾂｰﾙ ﾊﾞｰ"), this);
    m_pToolBar->setObjectName(QStringLiteral("ToolBar"));
    m_pToolBar->setIconSize(QSize(16, 15));
    m_pToolBar->addAction(m_actions[cmd::FileNew]);
    m_pToolBar->addAction(m_actions[cmd::FileOpen]);
    m_pToolBar->addAction(m_actions[cmd::FileSave]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[cmd::EditCut]);
    m_pToolBar->addAction(m_actions[cmd::EditCopy]);
    m_pToolBar->addAction(m_actions[cmd::EditPaste]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[cmd::FilePrint]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[cmd::AppAbout]);
    addToolBar(Qt::TopToolBarArea, m_pToolBar);

    m_pMidiBar = new QToolBar(QStringLiteral("Midi接続ﾊﾞｰ"), this);
    m_pMidiBar->setObjectName(QStringLiteral("MidiBar"));
    m_pMidiBar->setIconSize(QSize(16, 15));
    m_pMidiBar->addAction(m_actions[cmd::MidiPlay]);
    m_pMidiBar->addAction(m_actions[cmd::MidiStop]);
    m_pMidiBar->addAction(m_actions[cmd::MidiRecord]);
    addToolBar(Qt::TopToolBarArea, m_pMidiBar);
    SilenceButtons(m_pToolBar);
    SilenceButtons(m_pMidiBar);

    QMenu* view = menuBar()->findChild<QMenu*>(QStringLiteral("ViewMenu"));
    QAction* toggle = m_pToolBar->toggleViewAction();
    toggle->setText(QStringLiteral("ﾂｰﾙ ﾊﾞｰ(&T)"));
    toggle->setStatusTip(QStringLiteral("ﾂｰﾙ ﾊﾞｰの 表示/非表示"));
    m_actions.insert(cmd::ViewToolBar, toggle);
    view->addAction(toggle);
    auto* status = AddAction(cmd::ViewStatusBar, QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰ(&S)"),
                             QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    view->addAction(status);
    toggle = m_pMidiBar->toggleViewAction();
    toggle->setText(QStringLiteral("Midi接続ﾊﾞｰ(&M)"));
    m_actions.insert(cmd::ViewMidiBar, toggle);
    view->addAction(toggle);
    view->addSeparator();
    QAction* piano = AddAction(cmd::PianoInput, QStringLiteral("鍵盤入力(&K)"),
                               QStringLiteral("ピアノ鍵盤の配列で音名を入力します"));
    piano->setCheckable(true);
    piano->setEnabled(false); // enabled once a handler is connected
    view->addAction(piano);
    QAction* environment =
        AddAction(cmd::Environment, QStringLiteral("動作環境"), QStringLiteral("動作環境"));
    environment->setEnabled(false); // enabled once a handler is connected
    view->addAction(environment);
}

void CMainFrame::SilenceButtons(QToolBar* bar) {
    // Tool-bar buttons show neither tool tips nor prompts.
    for (QAction* action : bar->actions()) {
        if (QWidget* button = bar->widgetForAction(action))
            button->installEventFilter(this);
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (auto* menu = qobject_cast<QMenu*>(watched)) {
        ShowDisabledPrompt(menu, event);
        return QMainWindow::eventFilter(watched, event);
    }
    if (event->type() == QEvent::ToolTip || event->type() == QEvent::StatusTip ||
        event->type() == QEvent::WhatsThis)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::ShowDisabledPrompt(QMenu* menu, QEvent* event) {
    // Qt shows the prompts of enabled items only; a disabled one gets its prompt here, sent
    // the way Qt sends the others.
    QAction* disabled = nullptr;
    if (event->type() == QEvent::MouseMove) {
        QAction* action = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (action && !action->isEnabled() && !action->isSeparator())
            disabled = action;
    } else if (event->type() != QEvent::Leave && event->type() != QEvent::Hide) {
        return;
    }
    if (disabled == m_pDisabledHover)
        return;
    m_pDisabledHover = disabled;
    if (disabled || !menu->activeAction()) {
        QStatusTipEvent tip(disabled ? disabled->statusTip() : QString());
        QCoreApplication::sendEvent(this, &tip);
    }
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    m_pMessagePane = new QLabel(QStringLiteral("ﾚﾃﾞｨ"), bar);
    bar->addWidget(m_pMessagePane, 1);
    // Lit while the lock is on; dimmed while it is off or where no lock state can be had.
    m_pLockKeys = new CLockKeys(this);
    const QString texts[CLockKeys::KeyCount] = {QStringLiteral("ｶﾅ"), QStringLiteral("CAP"),
                                                QStringLiteral("NUM"), QStringLiteral("SCRL")};
    for (int i = 0; i < CLockKeys::KeyCount; ++i) {
        auto* indicator = new QLabel(texts[i], bar);
        indicator->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        indicator->setAlignment(Qt::AlignCenter);
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
    connect(m_actions[cmd::MidiStop], &QAction::triggered, view, &CKesView::OnMidiStop);
    connect(m_actions[cmd::MidiRecord], &QAction::triggered, view, &CKesView::OnMidiRecord);
    connect(view, &CKesView::midiCommandsChanged, this, &CMainFrame::UpdateMidiCommands);
    connect(view, &CKesView::statusMessage, this, &CMainFrame::ShowMessage);
    connect(m_actions[cmd::EditUndo], &QAction::triggered, view, &CKesView::OnEditUndo);
    connect(m_actions[cmd::EditRedo], &QAction::triggered, view, &CKesView::OnEditRedo);
    connect(m_actions[cmd::EditCut], &QAction::triggered, view, &CKesView::OnEditCut);
    connect(m_actions[cmd::EditCopy], &QAction::triggered, view, &CKesView::OnEditCopy);
    connect(m_actions[cmd::EditPaste], &QAction::triggered, view, &CKesView::OnEditPaste);
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
    m_pView->OnUpdateMidiStop(m_actions[cmd::MidiStop]);
    m_pView->OnUpdateMidiRecord(m_actions[cmd::MidiRecord]);
}

void CMainFrame::UpdateEditCommands() {
    if (!m_pView)
        return;
    const bool cutOrCopy = m_pView->CanCutOrCopy();
    m_actions[cmd::EditCut]->setEnabled(cutOrCopy);
    m_actions[cmd::EditCopy]->setEnabled(cutOrCopy);
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

void CMainFrame::UpdateTitle() {
    setWindowTitle(QStringLiteral("%1[*] - KesV").arg(m_pDocument->GetTitle()));
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
    QString error;
    if (!m_pDocument->OnSaveDocument(path, &error)) {
        QMessageBox::warning(this, QStringLiteral("KesV"),
                             QStringLiteral("%1 に保存できませんでした。\n%2")
                                 .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    AddToRecentFileList(m_pDocument->GetPathName());
    return true;
}

bool CMainFrame::OpenDocumentFile(const QString& path) {
    QString error;
    if (!m_pDocument->OnOpenDocument(path, &error)) {
        QMessageBox::warning(this, QStringLiteral("KesV"),
                             QStringLiteral("%1 を開けませんでした。\n%2")
                                 .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    AddToRecentFileList(m_pDocument->GetPathName());
    return true;
}

void CMainFrame::OnFileNew() {
    if (SaveModified())
        m_pDocument->OnNewDocument();
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
    QStringList files = m_recentFiles;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    SetRecentFiles(files);
}

void CMainFrame::OnFileSave() {
    if (m_pDocument->GetPathName().isEmpty())
        OnFileSaveAs();
    else
        DoSave(m_pDocument->GetPathName());
}

void CMainFrame::OnFileSaveAs() {
    QFileDialog dialog(this, QString(), m_pDocument->GetPathName(), SongFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("kes"));
    if (m_pDocument->GetPathName().isEmpty())
        dialog.selectFile(QStringLiteral("無題.kes"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    DoSave(dialog.selectedFiles().constFirst());
}

namespace {

// The song's file name with another extension, in the song's folder; "無題" when unsaved.
QString SuggestedName(const CKesDoc* document, const QString& extension) {
    const QString path = document->GetPathName();
    if (path.isEmpty())
        return QStringLiteral("無題.") + extension;
    const QFileInfo info(path);
    return info.dir().filePath(info.completeBaseName() + QLatin1Char('.') + extension);
}

TimeSignature CurrentTimeSignature() {
    if (auto* app = qobject_cast<CKesApp*>(QCoreApplication::instance()))
        return app->GetSettings().GetTimeSignature();
    return {};
}

} // namespace

void CMainFrame::OnFileExportMidi() {
    QFileDialog dialog(this, QString(), SuggestedName(m_pDocument, QStringLiteral("mid")),
                       MidiFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("mid"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    if (!ExportSongToMidi(m_pDocument->GetSong(), CurrentTimeSignature(), path, &error)) {
        QMessageBox::warning(this, QStringLiteral("KesV"),
                             QStringLiteral("%1 に書き出せませんでした。\n%2")
                                 .arg(QDir::toNativeSeparators(path), error));
        return;
    }
    ShowMessage(QStringLiteral("%1 に書き出しました").arg(QDir::toNativeSeparators(path)));
}

void CMainFrame::OnFileImportMidi() {
    if (!SaveModified())
        return;
    QFileDialog dialog(this, QString(), QFileInfo(m_pDocument->GetPathName()).path(),
                       MidiFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        ImportMidiFile(dialog.selectedFiles().constFirst());
}

bool CMainFrame::ImportMidiFile(const QString& path) {
    MidiImport import;
    QString error;
    if (!ImportSongFromMidi(path, import, &error)) {
        QMessageBox::warning(this, QStringLiteral("KesV"),
                             QStringLiteral("%1 を読み込めませんでした。\n%2")
                                 .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    m_pDocument->ReplaceSongAsStep(import.song, m_pView->m_nCursorRow, m_pView->m_nCursorColumn);
    ShowMessage(DescribeImport(import));
    return true;
}

void CMainFrame::OnFileExportAudio() {
    const QStringList filters = AudioFileFilters();
    QFileDialog dialog(this, QString(), SuggestedName(m_pDocument, QStringLiteral("wav")),
                       filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const AudioFileType chosen = AudioFileTypeOfFilter(filter);
        dialog.setDefaultSuffix(QLatin1String(chosen == AudioFileType::Flac  ? "flac"
                                              : chosen == AudioFileType::Ogg ? "ogg"
                                                                             : "wav"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    AudioFileType type = AudioFileTypeOfFilter(dialog.selectedNameFilter());
    AudioFileTypeOfPath(QFile::encodeName(path).toStdString(), type); // a typed extension wins

    QProgressDialog progress(QStringLiteral("オーディオファイルを書き出しています..."),
                             QStringLiteral("ｷｬﾝｾﾙ"), 0, 1000, this);
    progress.setWindowTitle(QStringLiteral("KesV"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const MidiStatus result =
        RenderSongToAudio(m_pDocument->GetSong(), QFile::encodeName(path).toStdString(), type,
                          [&progress](double done) {
                              progress.setValue(int(done * 1000));
                              return !progress.wasCanceled();
                          });
    progress.reset();
    const bool cancelled = result.Code() == kMidiErrCancelled;
    if (!result && !cancelled) {
        QMessageBox::warning(
            this, QStringLiteral("KesV"),
            QStringLiteral("%1 に書き出せませんでした。\n%2")
                .arg(QDir::toNativeSeparators(path), QString::fromStdString(result.Text())));
        return;
    }
    ShowMessage(cancelled
                    ? QStringLiteral("オーディオファイルの書き出しを中止しました")
                    : QStringLiteral("%1 に書き出しました").arg(QDir::toNativeSeparators(path)));
}

namespace {

// The first local file of a drag that is a song or a MIDI file.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
        if (suffix == QLatin1String("kes") || suffix == QLatin1String("mid") ||
            suffix == QLatin1String("midi"))
            return url.toLocalFile();
    }
    return {};
}

} // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
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

bool CMainFrame::OpenOrImportFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("mid") || suffix == QLatin1String("midi"))
        return ImportMidiFile(path);
    return OpenDocumentFile(path);
}

bool CMainFrame::SaveModified() {
    if (!m_pDocument->IsModified())
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, QStringLiteral("KesV"),
        QStringLiteral("%1 への変更を保存しますか?").arg(m_pDocument->GetTitle()),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Discard)
        return true;
    OnFileSave();
    return !m_pDocument->IsModified();
}

void CMainFrame::SaveBarState() const {
    QSettings settings;
    settings.beginGroup(QStringLiteral("MainBar"));
    settings.setValue(QStringLiteral("State"), saveState());
    settings.setValue(QStringLiteral("StatusBar"), !statusBar()->isHidden());
    settings.endGroup();
}

void CMainFrame::LoadBarState() {
    QSettings settings;
    settings.beginGroup(QStringLiteral("MainBar"));
    const QByteArray state = settings.value(QStringLiteral("State")).toByteArray();
    if (!state.isEmpty())
        restoreState(state);
    const bool status = settings.value(QStringLiteral("StatusBar"), true).toBool();
    m_actions[cmd::ViewStatusBar]->setChecked(status);
    statusBar()->setVisible(status);
    settings.endGroup();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!SaveModified()) {
        event->ignore();
        return;
    }
    SaveBarState();
    event->accept();
}
