// KesV: step entry of short melodies.
#include "app/commandline.h"
#include "app/displaycheck.h"
#include "app/kesapp.h"
#include "app/language.h"
#include "app/mainframe.h"
#include "midi/midisetup.h"
#include "settings/userfolders.h"

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    // First, while this is the only thread: the environment the MIDI layer's libraries read,
    // and the user's folders.
    PrepareMidiEnvironment();
    InitUserFolders();
    // A write past a file-size limit then fails with EFBIG, which every writer reports and
    // survives, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setApplicationName(QStringLiteral("KesV"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESV_VERSION));
    const QStringList arguments = Arguments(argc, argv);
    // Without a window the line is read after the translations are in; a wrong option is
    // found before a window is tried, so that it needs no display either.
    if (NeedsNoWindow(argc, argv) || !ParseCommandLine(arguments).error.isEmpty()) {
        QCoreApplication app(argc, argv);
        InstallTranslations(app, SystemUiLanguage());
        return RunWindowlessLine(ParseCommandLine(arguments));
    }

    if (const QString problem = DisplayProblem(); !problem.isEmpty()) {
        QCoreApplication app(argc, argv);
        InstallTranslations(app, SystemUiLanguage());
        std::fprintf(stderr, "kesv: %s\n",
                     qPrintable(CannotOpenDisplayText(DescribeDisplayProblem(problem))));
        return 1;
    }
    CKesApp app(argc, argv);
    ReleaseDisplayCheck();
    QGuiApplication::setDesktopFileName(QStringLiteral(KESV_APP_ID));
    const CommandLine line = ParseCommandLine(arguments);

    if (!app.InitInstance(line.songs))
        return 1; // the song of the command line could not be opened; the user was told
    // The window keeps the compiled-in icon; a desktop finds the theme's icon at every size
    // through the desktop file name. Looking the theme up here would search every icon
    // folder and cost a fifth of the start-up.
    CMainFrame* frame = app.GetMainFrame();
    frame->show();
    if (!line.screenshot.isEmpty() || line.probe)
        ReportWhenShown(frame, line.screenshot);
    return CKesApp::exec();
}
