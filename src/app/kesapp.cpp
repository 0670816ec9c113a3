#include "kesapp.h"

#include "commandids.h"
#include "dialogs/aboutdlg.h"
#include "dialogs/envcommand.h"
#include "document/kesdoc.h"
#include "mainframe.h"
#include "settings/settingsfile.h"
#include "view/kesview.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QSettings>
#include <QTranslator>

namespace {

void LoadQtTranslations(QCoreApplication* app) {
    auto* translator = new QTranslator(app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

CKesApp::CKesApp(int& argc, char** argv)
    : QApplication(argc, argv), m_strSettingsPath(DefaultSettingsPath()),
      m_settings(LoadSettings(m_strSettingsPath)) {
    m_connection.SetDeviceNames(m_settings.InputDeviceName(), m_settings.OutputDeviceName());
}

CKesApp::~CKesApp() {
    delete m_pMainFrame; // the view goes with it, before the document and the settings
    SaveRecentFileList();
}

void CKesApp::OnEnvironment() {
    if (RunEnvironmentCommand(m_pMainFrame, m_settings, m_strSettingsPath, m_connection) &&
        m_pView) {
        m_pView->RedrawAll();               // a new time signature changes every row
        m_pMainFrame->UpdateMidiCommands(); // recording may not have reopened
    }
}

void CKesApp::OnPianoInput(bool on) {
    if (on)
        m_settings.flags |= EnvSettings::kFlagPianoInput;
    else
        m_settings.flags &= ~EnvSettings::kFlagPianoInput;
    SaveSettingsOrReport(m_pMainFrame, m_settings, m_strSettingsPath);
}

CKesApp* CKesApp::Instance() {
    return qobject_cast<CKesApp*>(QCoreApplication::instance());
}

bool CKesApp::InitInstance(const QStringList& arguments) {
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setApplicationName(QStringLiteral("KesV"));
    setApplicationDisplayName(QString());
    setWindowIcon(QIcon(QStringLiteral(":/kesv.png")));
    LoadQtTranslations(this);
    LoadRecentFileList();

    m_pDocument = new CKesDoc(this);
    m_pMainFrame = new CMainFrame(m_pDocument);
    m_pView = new CKesView(m_pDocument, &m_settings, m_pMainFrame);
    m_pMainFrame->SetView(m_pView);
    m_pView->OnCreate(&m_connection);
    m_pMainFrame->LoadBarState();
    m_pMainFrame->SetRecentFiles(m_recentFiles);

    connect(m_pMainFrame->action(cmd::FileNew), &QAction::triggered, this, &CKesApp::OnFileNew);
    connect(m_pMainFrame->action(cmd::FileOpen), &QAction::triggered, this, &CKesApp::OnFileOpen);
    connect(m_pMainFrame->action(cmd::FilePrintSetup), &QAction::triggered, this,
            &CKesApp::OnFilePrintSetup);
    connect(m_pMainFrame->action(cmd::AppAbout), &QAction::triggered, this, &CKesApp::OnAppAbout);
    QAction* environment = m_pMainFrame->action(cmd::Environment);
    connect(environment, &QAction::triggered, this, &CKesApp::OnEnvironment);
    environment->setEnabled(true);
    QAction* piano = m_pMainFrame->action(cmd::PianoInput);
    piano->setChecked(m_settings.IsPianoInput());
    connect(piano, &QAction::triggered, this, &CKesApp::OnPianoInput);
    piano->setEnabled(true);
    connect(m_pMainFrame, &CMainFrame::recentFileChosen, this, [this](const QString& path) {
        if (m_pMainFrame->SaveModified())
            OpenDocumentFile(path);
    });
    connect(m_pMainFrame, &CMainFrame::documentSaved, this, &CKesApp::AddToRecentFileList);
    connect(this, &QGuiApplication::commitDataRequest, m_pMainFrame,
            [this] { m_pMainFrame->SaveBarState(); });

    m_pDocument->OnNewDocument();
    if (!arguments.isEmpty() && !OpenDocumentFile(arguments.constFirst()))
        return false;
    return true;
}

bool CKesApp::OpenDocumentFile(const QString& path) {
    QString error;
    if (!m_pDocument->OnOpenDocument(path, &error)) {
        QMessageBox::warning(m_pMainFrame, QStringLiteral("KesV"),
                             QStringLiteral("%1 を開けませんでした。\n%2")
                                 .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    AddToRecentFileList(m_pDocument->GetPathName());
    return true;
}

void CKesApp::OnFileNew() {
    if (m_pMainFrame->SaveModified())
        m_pDocument->OnNewDocument();
}

void CKesApp::OnFileOpen() {
    if (!m_pMainFrame->SaveModified())
        return;
    QFileDialog dialog(m_pMainFrame, QString(), QFileInfo(m_pDocument->GetPathName()).path(),
                       SongFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("kes"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        OpenDocumentFile(dialog.selectedFiles().constFirst());
}

void CKesApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(m_pView->GetPrinter(), m_pMainFrame);
    dialog.exec();
}

void CKesApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainFrame);
    dialog.exec();
}

void CKesApp::AddToRecentFileList(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_recentFiles.removeAll(absolute);
    m_recentFiles.prepend(absolute);
    while (m_recentFiles.size() > kRecentFileCount)
        m_recentFiles.removeLast();
    if (m_pMainFrame)
        m_pMainFrame->SetRecentFiles(m_recentFiles);
}

void CKesApp::LoadRecentFileList() {
    QSettings settings;
    settings.beginGroup(QStringLiteral("Recent File List"));
    m_recentFiles.clear();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty())
            m_recentFiles.append(file);
    }
}

void CKesApp::SaveRecentFileList() const {
    if (applicationName() != QStringLiteral("KesV"))
        return; // InitInstance never ran: no profile to write
    QSettings settings;
    settings.beginGroup(QStringLiteral("Recent File List"));
    for (int i = 1; i <= kRecentFileCount; ++i) {
        if (i <= m_recentFiles.size())
            settings.setValue(QStringLiteral("File%1").arg(i), m_recentFiles[i - 1]);
        else
            settings.remove(QStringLiteral("File%1").arg(i));
    }
}
