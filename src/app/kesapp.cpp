#include "kesapp.h"

#include "commandids.h"
#include "dialogs/aboutdlg.h"
#include "dialogs/envcommand.h"
#include "document/autobackup.h"
#include "document/kesdoc.h"
#include "language.h"
#include "mainframe.h"
#include "menuaccessible.h"
#include "menustyle.h"
#include "midi/mididevice.h"
#include "profile.h"
#include "recoveryoffer.h"
#include "settings/settingsfile.h"
#include "settings/userfolders.h"
#include "view/kesview.h"

#include <QAction>
#include <QFile>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QSettings>

CKesApp::CKesApp(int& argc, char** argv)
    : QApplication(argc, argv), m_strSettingsPath(DefaultSettingsPath()),
      m_settings(LoadStartSettings(m_strSettingsPath)) {
    m_connection.SetDeviceNames(m_settings.InputDeviceName(), m_settings.OutputDeviceName());
}

EnvSettings CKesApp::LoadStartSettings(const std::filesystem::path& path) {
    EnvSettings settings = LoadSettings(path);
    // A first start plays out of the box through the built-in synthesizer; a settings file
    // that exists keeps its choice, no device included.
    std::error_code missing;
    if (!std::filesystem::exists(path, missing) && !missing)
        EnvSettings::SetNameField(settings.midiOutName, kBuiltinSynthName);
    return settings;
}

QIcon CKesApp::ProgramIcon() {
    QIcon icon(QStringLiteral(":/kesv.png"));
    for (int size : {16, 22, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icon/kesv-%1.png").arg(size), QSize(size, size));
    return icon;
}

CKesApp::~CKesApp() {
    delete m_pMainFrame; // the view goes with it, before the document and the settings
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

bool CKesApp::InitInstance(const QStringList& arguments) {
    UseProfileFolder(QFile::decodeName(GetUserFolders().config.c_str()));
    setApplicationDisplayName(QString());
    setWindowIcon(ProgramIcon());
    InstallMenuStyle();
    InstallMenuAccessibility();
    InstallTranslations(*this, SystemUiLanguage());
    GuardProfile();

    m_pDocument = new CKesDoc(this);
    m_pMainFrame = new CMainFrame(m_pDocument, m_settings);
    m_pView = new CKesView(m_pDocument, &m_settings, m_pMainFrame);
    m_pMainFrame->SetView(m_pView);
    m_pView->OnCreate(&m_connection);
    m_pMainFrame->LoadProfile();

    // [Recovery] AutoBackup=false in the profile turns the backup of unsaved work off.
    const QString recoveryFolder = DefaultRecoveryFolder();
    m_pAutoBackup = std::make_unique<CAutoBackup>(m_pDocument, recoveryFolder);
    m_pAutoBackup->SetEnabled(
        QSettings().value(QStringLiteral("Recovery/AutoBackup"), true).toBool());
    ShowBackupFailures(m_pMainFrame, m_pAutoBackup.get());

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
    // The session is ending: a message box could hold it up, the status bar cannot.
    connect(this, &QGuiApplication::commitDataRequest, m_pMainFrame, [this] {
        if (QString error; !m_pMainFrame->SaveProfile(&error))
            m_pMainFrame->ShowMessage(tr("プロファイルを保存できません: %1").arg(error));
    });

    m_pDocument->OnNewDocument();
    if (!arguments.isEmpty()) {
        m_pMainFrame->SetFailuresToStandardError(true);
        const bool opened = m_pMainFrame->OpenOrImportFile(arguments.constFirst());
        m_pMainFrame->SetFailuresToStandardError(false);
        if (!opened)
            return false;
    }
    QMetaObject::invokeMethod(
        this,
        [this, recoveryFolder] {
            OfferRecovery(m_pMainFrame, m_pAutoBackup.get(), recoveryFolder);
        },
        Qt::QueuedConnection);
    return true;
}

void CKesApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(m_pView->GetPrinter(), m_pMainFrame);
    dialog.exec();
}

void CKesApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainFrame);
    dialog.exec();
}
